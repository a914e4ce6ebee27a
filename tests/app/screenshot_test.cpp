// Keeps the sample files of examples/ byte-exact with the program's own writer (the pictures made
// from them are in look_test.cpp).
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

} // namespace
} // namespace qmv::test
