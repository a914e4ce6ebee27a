// The program-wide options kept in the user's settings store between runs.
#pragma once

#include <QSize>
#include <QString>
#include <array>

#include "output/printlayout.h"

class QSettings;

namespace qmv {

struct ProgramSettings {
    QString DataFolder;
    int DListIndex = 0; // SensorModelIndex of the download dialog
    int Width = 0;
    int Height = 0;
    int Top = 0;
    int Left = 0;
    int WindowSt = 0; // 0 normal, 1 minimised, 2 maximised
    bool Point = false;
    bool Marker = false;
    bool StdLine = false;
    PrintOptions Print = AllPrintOptions;
};

// Reads every value, a missing or unreadable one giving its default, and moves a window edge
// that would lie off the screen back to 0.
ProgramSettings ReadSettings(QSettings& store, const QSize& screen,
                             const QString& defaultDataFolder);

// Writes every value; the placement (Width, Height, Top, Left) only when writePlacement is set,
// so that a maximised or minimised window leaves the last normal placement stored.
void WriteSettings(QSettings& store, const ProgramSettings& values, bool writePlacement);

// ProgramFolder + "QMVData" where that folder can be written or made, else QMVData in the home
// folder. Run by root (privileged), always the home folder: the program folder is then a
// system folder such as /usr/bin, which takes no data. Does not create anything.
QString DefaultDataFolder(const QString& programFolder, bool privileged);

} // namespace qmv
