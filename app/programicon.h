// The program's picture: the window icon and the picture of the version box.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace qmv {

// The picture drawn at size by size pixels.
QPixmap ProgramPicture(int size);
// The picture at the sizes a desktop asks for.
QIcon ProgramIcon();

} // namespace qmv
