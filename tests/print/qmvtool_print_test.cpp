// qmvtool print: into PDF files, and on a real CUPS queue that writes PDF files.
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>
#include <unistd.h>

#include "data/codepage.h"
#include "data/version.h"
#include "printtest.h"

namespace qmv::test {
namespace {

class QmvtoolPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        // qmvtool reads the settings store of this folder, never the user's own.
        QDir().mkpath(tmp_.filePath("config/Brasketon"));
        QFile store(tmp_.filePath("config/Brasketon/QMV27Win.conf"));
        ASSERT_TRUE(store.open(QIODevice::WriteOnly));
        store.write("[Print]\nMemo=false\n");
    }

    QString Path(const QString& name) const { return tmp_.filePath(name); }

    QString WriteDoc(const QString& name, const std::string& memo) {
        DocumentData d = LoggerDocument(3);
        d.Memo = {memo};
        EXPECT_EQ(SaveDataFile(Path(name).toStdString(), d, VersionText()).status, SaveStatus::Ok);
        return Path(name);
    }

    // As under ssh or cron: no platform chosen, and a display named that does not answer.
    int Run(const QStringList& args, QString* err = nullptr) {
        QProcess p;
        QProcessEnvironment env = env_;
        env.insert("XDG_CONFIG_HOME", tmp_.filePath("config"));
        env.insert("DISPLAY", "localhost:99"); // X servers take no TCP connections by default
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start(tool_, QStringList{"print"} + args);
        EXPECT_TRUE(p.waitForFinished(30000));
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QTemporaryDir tmp_;
    QString tool_ = QStringLiteral(QMV_BINARY_DIR "/bin/qmvtool");
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
};

TEST_F(QmvtoolPrintTest, PdfPerFileWithTheStoredOrTheNamedOptions) {
    const QString a = WriteDoc("a.q27", "memo of a");
    const QString b = WriteDoc("b.q27", "memo of b");
    ASSERT_EQ(Run({a, b, "--pdf", Path("out.pdf")}), 0);
    EXPECT_FALSE(QFile::exists(Path("out.pdf")));
    const QString first = PdfText(Path("out-1.pdf"));
    EXPECT_TRUE(first.contains(QRegularExpression("File +a.q27")));
    EXPECT_TRUE(first.contains("Minimum sound level"));
    EXPECT_FALSE(first.contains("memo of a")); // the store turns the memo off
    EXPECT_TRUE(PdfText(Path("out-2.pdf")).contains(QRegularExpression("File +b.q27")));

    // Named options replace the stored ones; every other one is off.
    ASSERT_EQ(Run({a, "--pdf", Path("one.pdf"), "--options", "memo,note"}), 0);
    const QString one = PdfText(Path("one.pdf"));
    EXPECT_TRUE(one.contains("memo of a"));
    EXPECT_FALSE(one.contains("Minimum sound level"));
    EXPECT_FALSE(one.contains("Data No."));

    QString err;
    EXPECT_EQ(Run({a, "--pdf", Path("x.pdf"), "--options", "memo,colour"}, &err), 2);
    EXPECT_TRUE(err.contains("colour"));
    EXPECT_EQ(Run({Path("missing.q27"), "--pdf", Path("y.pdf")}), 1);
}

TEST_F(QmvtoolPrintTest, RefusesAnOutputThatWouldReplaceAFileAndPrintsNothing) {
    const QString a = WriteDoc("a.q27", "memo of a");
    const QString b = WriteDoc("b.q27", "memo of b");
    const QByteArray data = ReadFile(a);
    ASSERT_EQ(::link(QFile::encodeName(a), QFile::encodeName(Path("same.pdf"))), 0);
    WriteFile(Path("out-2.pdf"), "%PDF-1.4 earlier");
    const std::pair<QStringList, QString> cases[] = {
        {{a, "--pdf", Path("same.pdf")}, "same.pdf: is one of the data files"},
        {{b, "--pdf", a}, "a.q27: exists and is not a PDF file"},
        {{a, b, "--pdf", Path("out.pdf")}, "out-2.pdf: exists already"},
    };
    for (const auto& [args, says] : cases) {
        QString err;
        EXPECT_EQ(Run(args, &err), 2) << err.toStdString();
        EXPECT_TRUE(err.contains(says)) << err.toStdString();
    }
    EXPECT_EQ(ReadFile(a), data);
    EXPECT_EQ(ReadFile(Path("out-2.pdf")), "%PDF-1.4 earlier");
    EXPECT_FALSE(QFile::exists(Path("out-1.pdf")));
}

TEST_F(QmvtoolPrintTest, PrintsOnACupsQueue) {
    const QString queue = QStringLiteral("QMVwinTest");
    if (const std::string why = SetUpPdfQueue(queue); !why.empty())
        GTEST_SKIP() << "no CUPS queue for PDF files: " << why;

    // In Japanese, whose desktop font has Latin letters too: it printed text the queue lost.
    ASSERT_TRUE(QFile::copy(tool_, Path("qmvtool")) &&
                QFile::copy(QMV_SOURCE_DIR "/lang/ja/QMVLanguage.Lib", Path("QMVLanguage.Lib")));
    tool_ = Path("qmvtool");
    env_.insert("QMVWIN_CODEPAGE", "932");
    env_.insert("LC_ALL", "ja_JP.UTF-8");
    // A name of this run only, since the queue's folder keeps the files of earlier runs.
    const QString caption = QStringLiteral("cups%1.q27").arg(QDateTime::currentMSecsSinceEpoch());
    const QString memo = QStringLiteral("測定場所：北側、15:25から雨");
    const QString file = WriteDoc(caption, Utf8ToCodePage(memo.toStdString(), 932));
    ASSERT_EQ(Run({file, "--printer", queue, "--options", "graph,list,record,note,memo"}), 0);

    // cups-pdf names the file after the job's title, blanks made underscores.
    const QDir out(QDir::homePath() + QStringLiteral("/PDF"));
    const QString prefix = QStringLiteral("QMVwin_") + caption;
    QString pdf;
    QString text;
    const QDeadlineTimer deadline(45000);
    while (!deadline.hasExpired()) {
        const QStringList found = out.entryList({prefix + "*.pdf"}, QDir::Files);
        if (!found.isEmpty()) {
            pdf = out.filePath(found.first());
            QProcess info;
            info.start(QStringLiteral("pdfinfo"), {pdf});
            // Complete once it reads as a PDF file.
            if (info.waitForFinished(10000) && info.exitCode() == 0) {
                text = QString::fromUtf8(info.readAllStandardOutput());
                break;
            }
        }
        QThread::msleep(100);
    }
    ASSERT_FALSE(text.isEmpty()) << "no PDF file " << prefix.toStdString() << "* in "
                                 << out.path().toStdString();
    EXPECT_TRUE(text.contains(
        QRegularExpression("Title: +\\(?QMVwin " + QRegularExpression::escape(caption))))
        << text.toStdString();
    const QString page = PdfText(pdf);
    EXPECT_TRUE(page.contains(QRegularExpression("\\n *3 +N3\\n"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QRegularExpression("ファイル +" + caption + "\\s+機種 +QMV-27")));
    EXPECT_TRUE(page.contains(QStringLiteral("最小レベル(dB)")));
    EXPECT_TRUE(page.contains(QRegularExpression("メモ\\s+" + memo)));
    QFile::remove(pdf);
}

} // namespace
} // namespace qmv::test
