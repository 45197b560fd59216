#include "app/InterfaceFont.h"

#include <QApplication>
#include <QFont>

namespace varo {

void ApplyInterfaceFont() {
    QFont font(QStringLiteral("WenQuanYi Micro Hei Mono"));
    font.setPixelSize(12);
    // A hair narrower, so that labels sized to the pixel for their text fit.
    font.setLetterSpacing(QFont::PercentageSpacing, 98);
    QApplication::setFont(font);
}

}  // namespace varo
