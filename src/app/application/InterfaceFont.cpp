#include "app/application/InterfaceFont.h"

#include <QApplication>
#include <QFont>

namespace varo {

void ApplyInterfaceFont() {
    // WenQuanYi where it is installed (Linux, and Wine through fontconfig),
    // else Windows' own Chinese interface font.
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei Mono"),
                      QStringLiteral("Microsoft YaHei UI"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("SimSun")});
    font.setPixelSize(12);
    // A hair narrower, so that labels sized to the pixel for their text fit.
    font.setLetterSpacing(QFont::PercentageSpacing, 98);
    QApplication::setFont(font);
}

}  // namespace varo
