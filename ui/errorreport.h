// The program's general error report: every command and every handler that can fail runs inside
// it, so that no exception ever reaches the Qt event loop.
#pragma once

#include <QString>
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "data/fileio.h"

class QWidget;

namespace qmv {

// The program's own message about a file: the text of "Msg"/key, the file, and why in the user's
// words. Without a fault (a failure that is none of the file system's) the reason is left out.
QString FileErrorText(const char* key, const QString& path, FileFault fault);

// A file that could not be opened or created, for the general error report, which shows the
// message and sounds the beep as for every file error. what() keeps the system's detail in
// English, for the log.
class FileError : public std::runtime_error {
public:
    FileError(const char* key, const QString& path, FileFault fault, const std::string& detail);
    const QString& Text() const { return text_; }

private:
    QString text_;
};

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
