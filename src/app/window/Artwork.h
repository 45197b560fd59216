#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace varo {

// The program's own artwork, drawn at start-up: the window icon, a column
// of light over an item, and the picture of the donation line.
QIcon ApplicationIcon();
// The icon at one size, as the window, Explorer and the desktop show it.
QImage ApplicationIconImage(int side);
QPixmap DonationPicture(const QSize& size);

}  // namespace varo
