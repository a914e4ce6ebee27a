// qmvwin: the desktop program.
#include <QApplication>
#include <exception>

#include "app/mainform.h"
#include "app/programicon.h"
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
    QApplication::setWindowIcon(qmv::ProgramIcon());

    qmv::MainFormOptions options;
    QStringList args = QApplication::arguments();
    args.removeFirst();
    options.arguments = args;
    options.languageFile = QString::fromStdString(qmv::FindLanguageFile(qmv::ProgramFolder()));

    // The main window makes and owns the windows that live for the whole run.
    qmv::TMainForm mainForm(options);
    mainForm.ShowAtStart();
    return QApplication::exec();
}
