// qmvwin: the desktop program.
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/mainform.h"
#include "app/programicon.h"
#include "data/codepage.h"
#include "data/paths.h"
#include "data/version.h"
#include "ui/errorreport.h"
#include "ui/qttranslation.h"

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

const char* const UsageText = R"(usage: qmvwin [FILE...]
       qmvwin FILE M [TOP LEFT HEIGHT WIDTH]

Shows sound level records: downloads them from a QMV-27 logger or a PLX01 device over its
USB-serial bridge, and opens, edits, prints and saves data files (*.q27).

  FILE...      data files to open, each in a document window of its own
  FILE M ...   opens FILE alone, view only, without menu and toolbar; the main window at TOP,
               LEFT with HEIGHT and WIDTH, each when given
  --help       this text
  --version    the program's version, and where its language file and manual were found

Environment:
  QMVWIN_SERIAL_DEVICE   the instrument's serial device, instead of the first CP210x bridge
  QMVWIN_CODEPAGE        the code page of texts and files (932, 936, 949, 950 or 1252)
)";

// Answered before anything needs a display.
bool AnswerInformationSwitch(int argc, char** argv) {
    if (argc != 2)
        return false;
    const std::string a = argv[1];
    if (a == "--help" || a == "-h") {
        std::fputs(UsageText, stdout);
        return true;
    }
    if (a == "--version") {
        // Where the shared files were found too: the first thing to know about an installation.
        const std::string folder = qmv::ProgramFolder();
        const auto shown = [](const std::string& path) {
            struct stat st {};
            return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? path
                                                                         : path + " (missing)";
        };
        std::printf("qmvwin %s\nlanguage file: %s\nmanual: %s\n", qmv::VersionText().c_str(),
                    shown(qmv::FindLanguageFile(folder)).c_str(),
                    shown(qmv::FindManual(folder)).c_str());
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // A write past the file size limit must fail as a write, so that the save puts the old bytes
    // back and says so, instead of the kernel ending the program with the file cut short.
    std::signal(SIGXFSZ, SIG_IGN);
    if (AnswerInformationSwitch(argc, argv))
        return 0;
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QMVwin"));
    QApplication::setOrganizationName(QStringLiteral("Brasketon"));
    QApplication::setWindowIcon(qmv::ProgramIcon());
    // Qt's own dialogs speak the language of the program's texts.
    const auto qtTranslation = qmv::InstallQtTranslation(qmv::ActiveCodePage());

    qmv::MainFormOptions options;
    QStringList args = QApplication::arguments();
    args.removeFirst();
    options.arguments = args;
    options.languageFile = QString::fromStdString(qmv::FindLanguageFile(qmv::ProgramFolder()));
    // Started with sudo to reach the port, say.
    options.privileged = ::geteuid() == 0;

    // The main window makes and owns the windows that live for the whole run.
    qmv::TMainForm mainForm(options);
    mainForm.ShowAtStart();
    return QApplication::exec();
}
