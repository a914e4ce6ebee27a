#include "settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "output/printing.h"

namespace qmv {

namespace {

int ReadInt(QSettings& store, const char* key, int fallback) {
    const QVariant v = store.value(QLatin1String(key));
    bool ok = false;
    const int value = v.toInt(&ok);
    return v.isValid() && ok ? value : fallback;
}

bool ReadBool(QSettings& store, const char* key, bool fallback) {
    const QVariant v = store.value(QLatin1String(key));
    if (!v.isValid())
        return fallback;
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return fallback;
}

// An edge within 100 pixels of the far side of the screen, or before its start, goes to 0.
int ClampEdge(int edge, int screenExtent) {
    if (edge < 0)
        return 0;
    if (edge > screenExtent - 100)
        return 0;
    return edge;
}

} // namespace

ProgramSettings ReadSettings(QSettings& store, const QSize& screen,
                             const QString& defaultDataFolder) {
    ProgramSettings s;
    store.beginGroup(QStringLiteral("System"));
    const QVariant folder = store.value(QStringLiteral("DataFolder"));
    // An empty value counts as none: files must never be written to the file system's root.
    s.DataFolder = folder.isValid() && !folder.toString().trimmed().isEmpty() ? folder.toString()
                                                                              : defaultDataFolder;
    s.DListIndex = ReadInt(store, "DListIndex", 0);
    // Three quarters of the screen at first: room for a document window with its chart.
    s.Width = ReadInt(store, "Width", screen.width() * 3 / 4);
    s.Height = ReadInt(store, "Height", screen.height() * 3 / 4);
    s.Top = ReadInt(store, "Top", 0);
    s.Left = ReadInt(store, "Left", 0);
    s.WindowSt = ReadInt(store, "WindowSt", 0);
    store.endGroup();
    s.Left = ClampEdge(s.Left, screen.width());
    s.Top = ClampEdge(s.Top, screen.height());

    store.beginGroup(QStringLiteral("Graph"));
    s.Point = ReadBool(store, "Point", false);
    s.Marker = ReadBool(store, "Marker", false);
    s.StdLine = ReadBool(store, "StdLine", false);
    store.endGroup();

    s.Print = ReadPrintOptions(store);
    return s;
}

void WriteSettings(QSettings& store, const ProgramSettings& v, bool writePlacement) {
    store.beginGroup(QStringLiteral("System"));
    store.setValue(QStringLiteral("DataFolder"), v.DataFolder);
    store.setValue(QStringLiteral("DListIndex"), v.DListIndex);
    store.setValue(QStringLiteral("WindowSt"), v.WindowSt);
    if (writePlacement) {
        store.setValue(QStringLiteral("Width"), v.Width);
        store.setValue(QStringLiteral("Height"), v.Height);
        store.setValue(QStringLiteral("Top"), v.Top);
        store.setValue(QStringLiteral("Left"), v.Left);
    }
    store.endGroup();

    store.beginGroup(QStringLiteral("Graph"));
    store.setValue(QStringLiteral("Point"), v.Point);
    store.setValue(QStringLiteral("Marker"), v.Marker);
    store.setValue(QStringLiteral("StdLine"), v.StdLine);
    store.endGroup();

    store.beginGroup(QStringLiteral("Print"));
    for (int i = 0; i < PrintOptionCount; ++i)
        store.setValue(QLatin1String(PrintOptionKeys[i]), v.Print[i]);
    store.endGroup();
    store.sync();
}

QString DefaultDataFolder(const QString& programFolder, bool privileged) {
    const QString beside = programFolder + QStringLiteral("QMVData");
    const QFileInfo folder(beside);
    // One that an earlier run by root left beside an installed program is no user's to write.
    const bool usable = folder.isDir() ? folder.isWritable()
                                       : !folder.exists() && QFileInfo(programFolder).isWritable();
    if (usable && !privileged)
        return beside;
    return QDir::homePath() + QStringLiteral("/QMVData");
}

} // namespace qmv
