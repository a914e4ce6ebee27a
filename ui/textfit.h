// Room for texts in the font in use: columns and panels are measured, not given fixed pixels, so
// that a language with wider glyphs than the design's still reads whole.
#pragma once

#include <QStringList>

class QTreeWidget;
class QWidget;

namespace qmv {

// Widens each column of list, never narrows it, to its caption and to what its rows show;
// samples[c], when given, is a text column c must hold even while the list is empty.
void FitColumns(QTreeWidget* list, const QStringList& samples = {});

// The width list needs to show all its columns beside its vertical scroll bar.
int ColumnsWidth(const QTreeWidget* list);

// The height list needs for its header and rows rows.
int RowsHeight(const QTreeWidget* list, int rows);

} // namespace qmv
