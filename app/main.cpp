// qmvwin: the desktop program.
#include <QApplication>
#include <exception>

#include "app/mainform.h"
#include "data/paths.h"
#include "ui/errorreport.h"

namespace {

// The last net under every event handler: an exception is shown, never passed to the event loop.
class Application : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            qmv::ReportException(activeWindow(), e);
        } catch (...) {
            qmv::ReportUnknownException(activeWindow());
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QMVwin"));
    QApplication::setOrganizationName(QStringLiteral("Brasketon"));

    qmv::MainFormOptions options;
    QStringList args = QApplication::arguments();
    args.removeFirst();
    options.arguments = args;
    options.languageFile = QString::fromStdString(qmv::FindLanguageFile(qmv::ProgramFolder()));

    // The windows that live for the whole run, in their order; the record editor, the connection
    // prompt, the graph settings and the other settings dialogs join as they are built. The save
    // prompt is made by the main window, which owns it.
    qmv::TMainForm mainForm(options);
    mainForm.ShowAtStart();
    return QApplication::exec();
}
