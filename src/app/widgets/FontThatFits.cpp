#include "app/widgets/FontThatFits.h"

#include <QFontInfo>

namespace varo {

QFont FontThatFits(QFont font, const std::function<bool(const QFont&)>& fits) {
    if (font.pixelSize() <= 0) {
        font.setPixelSize(QFontInfo(font).pixelSize());
    }
    while (font.pixelSize() > 9 && !fits(font)) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

}  // namespace varo
