// Test entry point for suites that need a QApplication: headless unless told otherwise.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "data/codepage.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QMVWIN_CODEPAGE"))
        qputenv("QMVWIN_CODEPAGE", "1252");
    // Downloads of tests are kept in the build tree, never in the user's own history.
    qputenv("XDG_DATA_HOME", QMV_BINARY_DIR "/test-data-home");
    // Recovery records of each run in a folder of its own: no run is asked about another's.
    QTemporaryDir stateHome(QMV_BINARY_DIR "/test-state-XXXXXX");
    qputenv("XDG_STATE_HOME", stateHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QMVwin"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
