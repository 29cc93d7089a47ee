// The program's picture (a folder of case files), drawn in code so it needs no
// image file: the login's Picture1, the main menu and the window icon.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace gp::app {

QPixmap practiceArtwork(int size);
QIcon practiceIcon();

} // namespace gp::app
