#pragma once

#include <QIcon>
#include <QPixmap>

namespace varo {

// The program's own artwork, drawn at start-up: the window icon, a column
// of light over an item, and the picture of the donation line.
QIcon ApplicationIcon();
QPixmap DonationPicture(const QSize& size);

}  // namespace varo
