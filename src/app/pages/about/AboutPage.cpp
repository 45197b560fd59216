#include "app/pages/about/AboutPage.h"

#include <QLabel>
#include <QPlainTextEdit>

#include "app/window/Artwork.h"
#include "app/window/ProjectLinks.h"

namespace varo {

const char* const AboutPage::kUpdateLog =
    "\r\n"
    "20211205更新说明： 2.1.1版\r\n"
    "1.修复数据库过滤文件生成工具BUG.\r\n"
    "\r\n"
    "20210727更新说明： 2.1.0版\r\n"
    "1.增加生成json文件自定义目录(扩展字体更新等).\r\n"
    "2.重写json文件生成选项,在计算之前选择对应的参数.\r\n"
    "\r\n"
    "20210724更新说明： 2.0.8版\r\n"
    "1.增加数据库过滤文件两种生成模式.\r\n"
    "\r\n"
    "20210721更新说明： 2.0.7版\r\n"
    "1.更新热更新json生成自动匹配目录.\r\n"
    "2.增加微端与热更选项,详情请点击手游微端与热更json生成.\r\n"
    "\r\n"
    "20210719更新说明： 2.0.5版\r\n"
    "1.修复数据库过滤文件生成格式错误.\r\n"
    "2.修复数据库导入txt文件时提示文件名错误.\r\n"
    "3.修复编码导致手游端读取错乱问题.\r\n"
    "4.修复json生成细节问题.\r\n"
    "\r\n"
    "20210717更新说明： 2.0.1版\r\n"
    "1.更新1.0.1版本PC数据库文件光柱shine值转手机端特效同步，自定义写法，双击表格支持单项修改。\r\n"
    "\r\n"
    "2.增加数据库过滤文件生成，支持导入，单独修改，全局修改方式。\r\n"
    "\r\n"
    "3.增加手游微端、热更的data、map、mp3文件直接生成json单文件与独立文件。";

namespace {

QLabel* Link(QWidget* parent, const QString& caption, const char* target) {
    auto* label = new QLabel(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(QString::fromUtf8(target), caption), parent);
    label->setOpenExternalLinks(true);
    label->setTextFormat(Qt::RichText);
    label->setToolTip(QString::fromUtf8(target));
    return label;
}

}  // namespace

AboutPage::AboutPage(QWidget* tabControl) : PageCanvas(tabControl) {
    QWidget* canvas = Canvas();
    标签_更新日志 =
        Place(new QLabel(QStringLiteral("更新日志"), canvas), "标签_更新日志", 207, 25, 48, 24);
    编辑框_更新日志 = Place(new QPlainTextEdit(canvas), "编辑框_更新日志", 7, 49, 496, 459);
    编辑框_更新日志->setReadOnly(true);
    编辑框_更新日志->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    编辑框_更新日志->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    编辑框_更新日志->setStyleSheet(
        QStringLiteral("QPlainTextEdit { color: rgb(0, 255, 0); background: black; }"));
    编辑框_更新日志->setPlainText(
        QString::fromUtf8(kUpdateLog).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    标签2 = Place(new QLabel(QStringLiteral("本程序为Varo三端引擎专用，不支持其它引擎。"), canvas),
                  "标签2", 551, 54, 240, 24);
    // One line: wrapped, its second line would touch the label below. The
    // canvas gives a one-line label that is a little too wide a smaller font.
    标签3 = Place(new QLabel(QStringLiteral("发现BUG请到项目主页反馈问题"), canvas), "标签3", 551,
                  78, 168, 24);
    标签4 = Place(new QLabel(QStringLiteral("交流群：Varo工具合集用户组"), canvas), "标签4", 551,
                  102, 168, 24);
    超级链接框1 = Place(Link(canvas, QStringLiteral("Varo工具合集项目主页"), kProjectHomePage),
                        "超级链接框1", 550, 126, 165, 24);
    超级链接框2 = Place(Link(canvas, QStringLiteral("点我在线观看视频教程"), kProjectTutorialPage),
                        "超级链接框2", 551, 174, 120, 24);
    标签1 = Place(
        new QLabel(QStringLiteral("本程序永久免费使用|如果软件对你有帮助就来打赏下！"), canvas),
        "标签1", 510, 257, 296, 24);
    图片框1 = Place(new QLabel(canvas), "图片框1", 543, 280, 224, 232);
    图片框1->setPixmap(DonationPicture(图片框1->size()));
}

}  // namespace varo
