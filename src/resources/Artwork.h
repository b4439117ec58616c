#pragma once

#include <QPixmap>

// The program's own pictures, compiled in from artwork.qrc. name is a file
// name there, e.g. "lock.png"; an unknown name gives a null pixmap.
QPixmap Artwork(const char* name);
