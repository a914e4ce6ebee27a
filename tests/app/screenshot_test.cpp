// Renders the main window with a logger and a sensor document, for a person to look at, and
// keeps the sample files of examples/ byte-exact with the program's own writer.
#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QPixmap>

#include "apptest.h"
#include "examples.h"

namespace qmv::test {
namespace {

std::string ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().toStdString();
}

TEST(Examples, SampleFilesAreWhatTheWriterProduces) {
    const QString folder = QStringLiteral(QMV_SOURCE_DIR "/examples/");
    const bool write = qEnvironmentVariableIsSet("QMV_WRITE_EXAMPLES");
    for (const auto& [name, doc] :
         {std::pair{"logger.q27", ExampleLogger()}, std::pair{"sensor.q27", ExampleSensor()}}) {
        std::string bytes;
        ASSERT_TRUE(FormatDataFile(doc, VersionText(), bytes)) << name;
        if (write) {
            QFile out(folder + name);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(bytes.data(), static_cast<qint64>(bytes.size()));
        }
        EXPECT_EQ(ReadAll(folder + name), bytes) << name;
        DocumentData back;
        ASSERT_EQ(ParseDataFile(bytes, back).status, LoadStatus::Ok) << name;
        EXPECT_EQ(back.Records, doc.Records);
        EXPECT_NO_THROW(CheckForDisplay(back));
    }
}

class ScreenshotTest : public AppTest {};

TEST_F(ScreenshotTest, MainWindowWithTwoDocuments) {
    TMainForm& form = Form({QStringLiteral(QMV_SOURCE_DIR "/examples/sensor.q27")});
    form.resize(1280, 800);
    form.Command("AcStdLine")->setChecked(true);
    form.Command("AcPoint")->setChecked(true);
    form.OpenDroppedFiles({QStringLiteral(QMV_SOURCE_DIR "/examples/logger.q27")});
    ASSERT_EQ(form.Documents().size(), 2u);
    EXPECT_TRUE(dialogs_.messages.empty());
    form.Command("AcTile")->trigger();
    for (TMDIChild* doc : form.Documents())
        doc->DrawChart();
    QApplication::processEvents();

    const QImage image = form.grab().toImage();
    ASSERT_FALSE(image.isNull());
    const QString dir = QStringLiteral(QMV_BINARY_DIR "/artifacts");
    QDir().mkpath(dir);
    EXPECT_TRUE(image.save(dir + "/qmvwin-main.png"));
    if (qEnvironmentVariableIsSet("QMV_WRITE_SCREENSHOT")) {
        EXPECT_TRUE(image.save(QStringLiteral(QMV_SOURCE_DIR "/docs/screenshot.png")));
    }
    // Something was drawn beyond the background: the chart's blue series at least.
    int blue = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            blue += QColor(image.pixel(x, y)) == QColor(0, 0, 255) ? 1 : 0;
    EXPECT_GT(blue, 50);
}

} // namespace
} // namespace qmv::test
