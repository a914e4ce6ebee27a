// The program's general error report: every command and every handler that can fail runs inside
// it, so that no exception ever reaches the Qt event loop.
#pragma once

#include <QString>
#include <exception>
#include <utility>

class QWidget;

namespace qmv {

// Shows the exception's text in an error box with an OK button.
void ReportException(QWidget* parent, const std::exception& e);
void ReportUnknownException(QWidget* parent);

// Runs f; an exception is shown by ReportException and swallowed. Returns true when f returned
// normally.
template <typename F> bool RunReported(QWidget* parent, F&& f) {
    try {
        std::forward<F>(f)();
        return true;
    } catch (const std::exception& e) {
        ReportException(parent, e);
    } catch (...) {
        ReportUnknownException(parent);
    }
    return false;
}

} // namespace qmv
