// Writes the program's picture, as the program draws it, into the PNG files of the hicolor icon
// theme: FOLDER/NxN/apps/com.brasketon.qmvwin.png for every size a desktop asks for.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "app/programicon.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: qmviconpng FOLDER\n");
        return 2;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        const QString file = folder + QStringLiteral("/com.brasketon.qmvwin.png");
        if (!QDir().mkpath(folder) || !qmv::ProgramPicture(size).save(file, "PNG")) {
            std::fprintf(stderr, "qmviconpng: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
