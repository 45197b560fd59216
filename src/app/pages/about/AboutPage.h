#pragma once

#include "app/window/PageCanvas.h"

class QLabel;
class QPlainTextEdit;

namespace varo {

// pages/about: the page "关于".
//
// The page "关于": the update log, where to report problems, the links.
class AboutPage : public PageCanvas {
  public:
    explicit AboutPage(QWidget* tabControl);

    QLabel* 标签_更新日志;
    QPlainTextEdit* 编辑框_更新日志;
    QLabel* 标签2;
    QLabel* 标签3;
    QLabel* 标签4;
    QLabel* 超级链接框1;
    QLabel* 超级链接框2;
    QLabel* 标签1;
    QLabel* 图片框1;

    // The update log as the program holds it: lines joined with CR LF.
    static const char* const kUpdateLog;
};

}  // namespace varo
