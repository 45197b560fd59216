#pragma once

#include <QProxyStyle>

namespace varo {

// Tabs as low as the pages' layout expects: the first controls sit 22 pixels
// below the top of the tab control.
class CompactTabStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
};

}  // namespace varo
