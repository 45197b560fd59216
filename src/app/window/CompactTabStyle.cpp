#include "app/window/CompactTabStyle.h"

#include <QStyleOption>

namespace varo {
namespace {

constexpr int kTabHeight = 20;

}  // namespace

QSize CompactTabStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                        const QSize& size, const QWidget* widget) const {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_TabBarTab) {
        result.setHeight(kTabHeight);
    }
    return result;
}

}  // namespace varo
