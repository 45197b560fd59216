#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTreeView>

#include "GuiHarness.h"
#include "app/application/InterfaceFont.h"
#include "app/application/InterfaceLanguage.h"
#include "app/application/WindowCommandLine.h"
#include "app/application/WindowSettings.h"
#include "app/messages/FileDialogs.h"
#include "app/messages/MessageBoxes.h"
#include "app/pages/about/AboutPage.h"
#include "app/pages/filter/FilterGridView.h"
#include "app/pages/filter/FilterPage.h"
#include "app/pages/manifest/ManifestPage.h"
#include "app/pages/pillar/LightPillarPage.h"
#include "app/widgets/LineListBox.h"
#include "app/widgets/WrappingButton.h"
#include "db/SqliteApi.h"
#include "platform/Path.h"
#include "platform/ProgramDirectory.h"
#include "support/TestSupport.h"

using namespace varo;
using varo::test::GuiHarness;

namespace {

// Where a control's coordinates are counted from.
enum class Frame { Client, Tab, Group };

struct ExpectedControl {
    const char* name;
    const char* className;
    Frame frame;
    QRect geometry;
    const char* text;  // nullptr: not checked
    bool visible;
    bool enabled;
};

// Every named control with its kind, place, size, initial text and state.
const ExpectedControl kControls[] = {
    {"编辑框_数据库文件路径", "QLineEdit", Frame::Client, {8, 10, 248, 20}, "", true, true},
    {"按钮_选择数据库",
     "QPushButton",
     Frame::Client,
     {260, 8, 108, 23},
     "选择Sqlite数据库",
     true,
     true},
    {"选择夹1", "QTabWidget", Frame::Client, {1, 34, 815, 514}, nullptr, true, true},
    {"标签5", "QLabel", Frame::Tab, {210, 22, 48, 16}, "全部颜色", true, true},
    {"编辑框_颜色值", "QLineEdit", Frame::Tab, {196, 39, 80, 20}, "255", true, true},
    {"标签6", "QLabel", Frame::Tab, {435, 23, 109, 16}, "特效图片数量自计算", true, true},
    {"编辑框_特效图片数量自计算", "QLineEdit", Frame::Tab, {449, 39, 80, 20}, "20", true, true},
    {"标签8", "QLabel", Frame::Tab, {569, 22, 83, 16}, "gz.wzl文件序号", true, true},
    {"编辑框_光柱wzl文件序号", "QLineEdit", Frame::Tab, {571, 39, 80, 20}, "1", true, true},
    {"标签9", "QLabel", Frame::Tab, {15, 38, 136, 16}, "双击表格内容可单独修改", true, true},
    {"超级列表框1", "QTreeView", Frame::Tab, {7, 62, 704, 447}, nullptr, true, true},
    {"编辑框_AFI超级列表框编辑", "QLineEdit", Frame::Tab, {87, 118, 80, 20}, "", false, true},
    {"标签7", "QLabel", Frame::Tab, {727, 71, 80, 32}, "计算之前\n设置基本参数", true, true},
    {"按钮_DB一键计算", "QPushButton", Frame::Tab, {727, 110, 80, 32}, "DB一键计算", true, true},
    {"按钮_生成光柱文件",
     "QPushButton",
     Frame::Tab,
     {727, 150, 80, 32},
     "生成光柱文件",
     true,
     true},
    {"高级表格_过滤文件生成", "QTableView", Frame::Tab, {7, 28, 581, 479}, nullptr, true, true},
    {"按钮_载入数据库", "QPushButton", Frame::Tab, {608, 34, 80, 32}, "载入数据库", true, true},
    {"按钮_导入过滤文件", "QPushButton", Frame::Tab, {720, 34, 80, 32}, "导入过滤文件", true, true},
    {"按钮_生成手机过滤文件",
     "QPushButton",
     Frame::Tab,
     {607, 78, 192, 32},
     "生成手机版过滤文件[UTF-8编码]",
     true,
     true},
    {"按钮_生成PC过滤文件",
     "QPushButton",
     Frame::Tab,
     {608, 120, 192, 32},
     "生成PC版过滤文件[ANSI编码]",
     true,
     true},
    {"按钮_全部显示极品",
     "QPushButton",
     Frame::Tab,
     {592, 174, 108, 32},
     "全部显示极品",
     true,
     true},
    {"按钮_取消全部显示极品",
     "QPushButton",
     Frame::Tab,
     {592, 214, 107, 32},
     "取消全部显示极品",
     true,
     true},
    {"按钮_全部显示", "QPushButton", Frame::Tab, {720, 174, 80, 32}, "全部显示", true, true},
    {"按钮_取消全部显示",
     "QPushButton",
     Frame::Tab,
     {720, 216, 80, 32},
     "取消全部显示",
     true,
     true},
    {"按钮_全部捡取", "QPushButton", Frame::Tab, {720, 256, 80, 32}, "全部捡取", true, true},
    {"按钮_取消全部捡取",
     "QPushButton",
     Frame::Tab,
     {720, 298, 80, 32},
     "取消全部捡取",
     true,
     true},
    {"标签13",
     "QLabel",
     Frame::Tab,
     {15, 30, 568, 16},
     "文件名                                 MD5码                             字节大小kb",
     true,
     true},
    {"编辑框_json文件", "QAbstractScrollArea", Frame::Tab, {6, 54, 577, 453}, "", true, true},
    {"标签16",
     "QLabel",
     Frame::Tab,
     {591, 54, 176, 16},
     "导入全部格式文件,自定义目录名",
     true,
     true},
    {"标签17", "QLabel", Frame::Tab, {593, 83, 76, 16}, "目录名(字体)：", true, true},
    {"编辑框_自定义目录名", "QLineEdit", Frame::Tab, {680, 81, 64, 20}, "layout", true, false},
    {"选择框_自定义目录名",
     "QCheckBox",
     Frame::Tab,
     {591, 114, 104, 16},
     "自定义目录模式",
     true,
     true},
    {"选择框_微端模式", "QCheckBox", Frame::Tab, {591, 138, 68, 16}, "微端模式", true, true},
    {"选择框_热更模式", "QCheckBox", Frame::Tab, {591, 160, 68, 16}, "热更模式", true, true},
    {"分组框1", "QGroupBox", Frame::Tab, {111, 174, 440, 40}, "计算MD5中请耐心等待", false, true},
    {"标签14", "QLabel", Frame::Group, {4, 16, 52, 16}, "当前进度：", false, true},
    {"进度条1", "QProgressBar", Frame::Group, {62, 18, 371, 14}, nullptr, false, true},
    {"按钮_导入资源文件",
     "QPushButton",
     Frame::Tab,
     {599, 198, 80, 32},
     "导入资源文件并计算",
     true,
     true},
    {"按钮_清空json表内容", "QPushButton", Frame::Tab, {719, 198, 80, 32}, "清空内容", true, true},
    {"标签15", "QLabel", Frame::Tab, {648, 293, 94, 16}, "手动复制更新专用", true, true},
    {"按钮_生成单json文件",
     "QPushButton",
     Frame::Tab,
     {647, 310, 96, 32},
     "生成单json文件",
     true,
     true},
    {"标签11",
     "QLabel",
     Frame::Tab,
     {643, 362, 104, 27},
     "输入版本号后\n生成独立json文件",
     true,
     true},
    {"标签10", "QLabel", Frame::Tab, {644, 398, 40, 16}, "版本号：", true, true},
    {"编辑框_版本号", "QLineEdit", Frame::Tab, {686, 398, 61, 18}, "1.2.5", true, true},
    {"按钮_生成独立json文件",
     "QPushButton",
     Frame::Tab,
     {642, 420, 105, 32},
     "生成独立json文件",
     true,
     true},
    {"标签12", "QLabel", Frame::Tab, {622, 453, 144, 24}, "温馨提示：版本号注意格式", true, true},
    {"标签_更新日志", "QLabel", Frame::Tab, {207, 25, 48, 24}, "更新日志", true, true},
    {"编辑框_更新日志", "QPlainTextEdit", Frame::Tab, {7, 49, 496, 459}, nullptr, true, true},
    {"标签2",
     "QLabel",
     Frame::Tab,
     {551, 54, 240, 24},
     "本程序为Varo三端引擎专用，不支持其它引擎。",
     true,
     true},
    {"标签3", "QLabel", Frame::Tab, {551, 78, 168, 24}, nullptr, true, true},
    {"标签4", "QLabel", Frame::Tab, {551, 102, 168, 24}, nullptr, true, true},
    {"超级链接框1", "QLabel", Frame::Tab, {550, 126, 165, 24}, nullptr, true, true},
    {"超级链接框2", "QLabel", Frame::Tab, {551, 174, 120, 24}, nullptr, true, true},
    {"标签1",
     "QLabel",
     Frame::Tab,
     {510, 257, 296, 24},
     "本程序永久免费使用|如果软件对你有帮助就来打赏下！",
     true,
     true},
    {"图片框1", "QLabel", Frame::Tab, {543, 280, 224, 232}, nullptr, true, true},
};

QString TextOf(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return edit->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        return button->text();
    }
    if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
        return box->toPlainText();
    }
    if (auto* list = dynamic_cast<LineListBox*>(control)) {
        return list->Text();
    }
    if (auto* group = qobject_cast<QGroupBox*>(control)) {
        return group->title();
    }
    return QStringLiteral("<no text>");
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    // First, while nothing in this process has touched SQLite.
    void startingAndClosingNeverLoadsSqlite() {
        {
            GuiHarness harness;
            QVERIFY(harness.Window().isVisible());
        }
        QVERIFY(!sqlite::Library().IsLoaded());
    }

    void settingsComeBackAndOddOnesAreIgnored() {
        test::TempDir folder;
        QString database;
        {
            GuiHarness harness;
            MainWindow& window = harness.Window();
            database = harness.UseItemDatabase({});
            window.lightPillarPage->编辑框_颜色值->setText(QStringLiteral("１８０"));
            window.manifestPage->选择框_自定义目录名->click();
            window.manifestPage->编辑框_自定义目录名->setText(QStringLiteral("字体\\new"));
            window.lightPillarPage->编辑框_特效图片数量自计算->setText(QStringLiteral("2\n0"));
            window.manifestPage->编辑框_版本号->setText(QStringLiteral("2.0.1"));
            window.选择夹1->setCurrentIndex(2);
            harness.AnswerNextDialog({QString::fromStdString(folder.File("a.wzl"))});
            window.manifestPage->ImportResources();
            QVERIFY(test::WaitForImport(*window.manifestPage));
            const std::string path = folder.File("sub/varo-toolkit.ini");
            QVERIFY(SaveSettingsFile(path, ReadSettingsFile(path), window.RememberedSettings())
                        .outcome == SettingsSave::Outcome::Written);
        }
        GuiHarness harness;  // a new start
        MainWindow& window = harness.Window();
        window.Restore(ReadSettingsFile(folder.File("sub/varo-toolkit.ini")).settings);
        // A value no line can carry is not remembered: the box keeps its first-run text.
        QCOMPARE(window.lightPillarPage->编辑框_特效图片数量自计算->text(), QStringLiteral("20"));
        QCOMPARE(window.编辑框_数据库文件路径->text(), database);
        QCOMPARE(window.lightPillarPage->编辑框_颜色值->text(), QStringLiteral("１８０"));
        QCOMPARE(window.manifestPage->Mode(), ManifestMode::CustomDirectory);
        QVERIFY(window.manifestPage->编辑框_自定义目录名->isEnabled());
        QCOMPARE(window.manifestPage->编辑框_自定义目录名->text(), QStringLiteral("字体\\new"));
        QCOMPARE(window.manifestPage->编辑框_版本号->text(), QStringLiteral("2.0.1"));
        QCOMPARE(window.选择夹1->currentIndex(), 2);
        window.manifestPage->ImportResources();  // opens where the last one chose from
        QCOMPARE(harness.DialogRequests().last().directory,
                 QDir::toNativeSeparators(
                     QFileInfo(QString::fromStdString(folder.Path())).absoluteFilePath()));

        // Values that fit no control leave it as it is.
        window.Restore({{"manifest.mode", "hot "}, {"page", "9"}});
        window.Restore({{"page", "-1"}, {"page2", "0"}});
        QCOMPARE(window.manifestPage->Mode(), ManifestMode::CustomDirectory);
        QCOMPARE(window.选择夹1->currentIndex(), 2);
    }

    // A file that is no settings file is named once at start and never
    // written; a save that fails names the file and the reason.
    void settingsFileThatIsNoneOrCannotBeSavedIsSaidSo() {
        test::TempDir folder;
        GuiHarness harness;
        const std::string database = folder.File("server1.DB");
        const std::string header = std::string("SQLite format 3\0", 16) + "rest";
        test::WriteFile(database, header);
        const SettingsFileState foreign = ReadSettingsFile(database);
        ReportSettingsFileAtStart(database, foreign);
        SaveSettingsAtClose(database, foreign, harness.Window().RememberedSettings());
        QCOMPARE(test::ReadFile(database), header);
        QCOMPARE(harness.Messages().size(), 1);
        QCOMPARE(harness.Messages()[0].text,
                 QStringLiteral("文件“%1”不是设置文件，本次的设置不会保存。")
                     .arg(QString::fromStdString(DisplayPath(database))));

        // Under a regular file no folder can be made: the close says why.
        test::WriteFile(folder.File("plain"), "");
        const std::string blocked = folder.File("plain/varo-toolkit.ini");
        const SettingsFileState absent = ReadSettingsFile(blocked);
        ReportSettingsFileAtStart(blocked, absent);
        QCOMPARE(harness.Messages().size(), 1);
        SaveSettingsAtClose(blocked, absent, harness.Window().RememberedSettings());
        QCOMPARE(harness.Messages().size(), 2);
        QCOMPARE(harness.Messages()[1].kind, MessageKind::Warning);
        QVERIFY(harness.Messages()[1].text.contains(QString::fromStdString(DisplayPath(blocked))));
#ifndef Q_OS_WIN
        QVERIFY(harness.Messages()[1].text.contains(QStringLiteral("不是目录")));
#endif
    }

    // The longest text every box takes (32,767 characters, Chinese at that)
    // would make a file its reader refuses at the next start: the close keeps
    // the file readable, leaves those values out and names them.
    void theLongestValuesNeverMakeAnUnreadableSettingsFile() {
        test::TempDir folder;
        GuiHarness harness;
        MainWindow& window = harness.Window();
        const std::string path = folder.File("varo-toolkit.ini");
        const SettingsFileState state = ReadSettingsFile(path);
        const QList<QLineEdit*> boxes = window.findChildren<QLineEdit*>();
        QVERIFY(boxes.size() >= 6);
        for (QLineEdit* box : boxes) {
            box->setText(QString(box->maxLength(), QChar(0x4E2D)));  // 中
            QCOMPARE(box->text().size(), 32767);
        }
        window.lightPillarPage->编辑框_颜色值->setText(QStringLiteral("200"));
        SaveSettingsAtClose(path, state, window.RememberedSettings());
        const SettingsFileState reread = ReadSettingsFile(path);
        QCOMPARE(reread.kind, SettingsFileState::Kind::Settings);
        QCOMPARE(reread.settings.at("pillar.color"), std::string("200"));
        QCOMPARE(harness.Messages().size(), 1);
        const QString said = harness.Messages()[0].text;
        QVERIFY2(
            said.contains(QStringLiteral("数据库路径")) && said.contains(QStringLiteral("版本号")),
            qPrintable(said));
        QVERIFY(!said.contains(QStringLiteral("全部颜色")));
    }

    void windowCommandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("exitCode");
        const auto row = [](const char* name, QStringList arguments,
                            WindowCommandLine::Action action, const char* settings, int exitCode) {
            arguments.prepend(QStringLiteral("varo-toolkit"));
            QTest::newRow(name) << arguments << static_cast<int>(action)
                                << QString::fromUtf8(settings) << exitCode;
        };
        using Action = WindowCommandLine::Action;
        row("nothing", {}, Action::Run, "", 0);
        row("--settings FILE", {"--settings", "服务器1.ini"}, Action::Run, "服务器1.ini", 0);
        row("--settings=FILE", {"--settings=D:\\a b.ini"}, Action::Run, "D:\\a b.ini", 0);
        row("--help", {"--help"}, Action::Help, "", 0);
        row("-h", {"-h"}, Action::Help, "", 0);
        row("--version", {"--version"}, Action::Version, "", 0);
        row("unknown option", {"--bogus"}, Action::Error, "", 2);
        row("missing value", {"--settings"}, Action::Error, "", 2);
        row("a database", {"D:\\server\\QELDA.DB"}, Action::Run, "", 0);
        row("a database and --settings", {"a.DB", "--settings", "b.ini"}, Action::Run, "b.ini", 0);
        row("quotes of 复制为路径", {"--settings", "\"服务器1.ini\""}, Action::Run, "服务器1.ini",
            0);
        row("two stray arguments", {"a.DB", "b.DB"}, Action::Error, "", 2);
    }

    void windowCommandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, settings);
        QFETCH(int, exitCode);
        const WindowCommandLine parsed = ParseWindowCommandLine(arguments);
        QCOMPARE(static_cast<int>(parsed.action), action);
        QCOMPARE(parsed.settingsPath, settings);
        QCOMPARE(parsed.exitCode, exitCode);
        if (parsed.action == WindowCommandLine::Action::Error) {
            QVERIFY(parsed.text.contains(QStringLiteral("用法：varo-toolkit")));
        }
        const bool database = arguments.size() > 1 && arguments[1].endsWith(QStringLiteral(".DB"));
        QCOMPARE(parsed.databasePath.isEmpty(),
                 !database || parsed.action == WindowCommandLine::Action::Error);
    }

    // Windows shows the usage in a box: its option lines become a table, so
    // that the columns line up whatever the font; names with a hyphen stay
    // on one line.
    void usageInABoxIsATable() {
        const QString html = CommandLineTextAsHtml(
            ParseWindowCommandLine({QStringLiteral("varo-toolkit"), QStringLiteral("--help")})
                .text);
        QCOMPARE(html.count(QStringLiteral("<tr>")), 4);
        QVERIFY(html.startsWith(QStringLiteral("<p>用法：varo-")));
        QVERIFY2(html.contains(QStringLiteral("<nobr>--settings 文件</nobr></td><td>设置")) &&
                     html.contains(QStringLiteral("<br>例如每台服务器一个")),
                 qPrintable(html));
        for (int width = 100; width <= 600; width += 4) {
            QTextDocument document;
            document.setHtml(html);
            document.setTextWidth(width);
            document.size();  // lays it out
            for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
                for (int i = 0; i < block.layout()->lineCount(); ++i) {
                    const QTextLine line = block.layout()->lineAt(i);
                    const QString text = block.text().mid(line.textStart(), line.textLength());
                    QVERIFY2(!text.endsWith(QStringLiteral("varo-")),
                             qPrintable(QString::number(width)));
                }
            }
        }
    }

    void settingsLiveInTheProgramFolderWhenItTakesFiles() {
        test::TempDir folder;
        QCOMPARE(DisplayPath(SettingsFilePath(folder.Path())),
                 DisplayPath(folder.File("varo-toolkit.ini")));
        QCOMPARE(QDir(QString::fromStdString(folder.Path()))
                     .entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());  // the probe is gone
        const std::string elsewhere = SettingsFilePath(folder.File("missing"));
        QVERIFY(elsewhere.find(folder.Path()) == std::string::npos);
        QCOMPARE(PathFileName(elsewhere), std::string("varo-toolkit.ini"));
    }

    void programExitsWithZeroWhenClosed() {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
#ifdef Q_OS_WIN
        // terminate() posts WM_CLOSE, which only a real window receives.
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
#else
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
#endif
        program.setProcessEnvironment(environment);
        // A settings file with noise among its lines: the program starts with
        // what it can use and writes it back when it closes.
        test::TempDir folder;
        const std::string settings = folder.File("server.ini");
        test::WriteFile(settings, std::string("[settings]\r\n\xC0 garbage\r\npage=3\r\n"
                                              "manifest.version=9.9\r\n\x00=\x01\n",
                                              57));
        // A database given as the one argument (dropped on the program's
        // icon) is taken into the path box and remembered.
        const std::string database = folder.File("服务器.DB");
        test::CreateItemDatabase(database, 40, {});
        program.start(QString::fromStdString(ProgramDirectory() + "/varo-toolkit"),
                      {QStringLiteral("--settings=") + QString::fromStdString(settings),
                       QString::fromStdString(database)});
        QVERIFY(program.waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(program.state(), QProcess::Running);
        program.terminate();  // closes the window as its close box would
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const Settings kept = ReadSettingsFile(settings).settings;
        QCOMPARE(kept.at("page"), std::string("3"));
        QCOMPARE(kept.at("manifest.version"), std::string("9.9"));
        QCOMPARE(kept.at("pillar.color"), std::string("255"));
        QCOMPARE(kept.at("database"), DisplayPath(database));

#ifndef Q_OS_WIN  // where they show a message box instead
        // Closed while a message box is open (a settings file of another kind
        // is named at start): the box is answered, the window closes.
        const std::string foreign = folder.File("foreign.ini");
        test::WriteFile(foreign, "; only someone's notes\r\n");
        QProcess boxed;
        boxed.setProcessEnvironment(environment);
        boxed.start(QString::fromStdString(ProgramDirectory() + "/varo-toolkit"),
                    {QStringLiteral("--settings=") + QString::fromStdString(foreign)});
        QVERIFY(boxed.waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(boxed.state(), QProcess::Running);
        boxed.terminate();
        QVERIFY(boxed.waitForFinished(10000));
        QCOMPARE(boxed.exitCode(), 0);
        QCOMPARE(test::ReadFile(foreign), std::optional<std::string>("; only someone's notes\r\n"));

        // --help and --version answer and end; an unknown option is an error.
        const struct {
            const char* argument;
            int exitCode;
            const char* output;
        } answers[] = {{"--help", 0, "用法：varo-toolkit"},
                       {"--version", 0, "varo-toolkit 2.1.1"},
                       { "--bogus",
                         2,
                         "未知的选项：--bogus" }};
        for (const auto& answer : answers) {
            QProcess asked;
            asked.start(QString::fromStdString(ProgramDirectory() + "/varo-toolkit"),
                        {QString::fromUtf8(answer.argument)});
            QVERIFY(asked.waitForFinished(10000));
            QCOMPARE(asked.exitCode(), answer.exitCode);
            const QString output =
                QString::fromUtf8(asked.readAllStandardOutput() + asked.readAllStandardError());
            QVERIFY2(output.contains(QString::fromUtf8(answer.output)), qPrintable(output));
        }
#endif
    }

    void everyControlHasItsKindPlaceTextAndState() {
        GuiHarness harness;
        MainWindow& window = harness.Window();
        QWidget* tab = window.findChild<QWidget*>(QStringLiteral("选择夹1"));
        QWidget* group = window.findChild<QWidget*>(QStringLiteral("分组框1"));
        QVERIFY(tab && group);
        for (const ExpectedControl& expected : kControls) {
            const QString name = QString::fromUtf8(expected.name);
            QWidget* control = window.findChild<QWidget*>(name);
            QVERIFY2(control != nullptr, qPrintable(name));
            QVERIFY2(control->inherits(expected.className), qPrintable(name));
            QWidget* frame = expected.frame == Frame::Client ? static_cast<QWidget*>(&window)
                             : expected.frame == Frame::Tab  ? tab
                                                             : group;
            const QRect geometry(control->mapTo(frame, QPoint(0, 0)), control->size());
            QVERIFY2(geometry == expected.geometry, qPrintable(name));
            if (expected.text != nullptr) {
                QVERIFY2(TextOf(control) == QString::fromUtf8(expected.text), qPrintable(name));
            }
            QVERIFY2(control->isVisibleTo(control->parentWidget()) == expected.visible ||
                         (expected.frame == Frame::Group && !group->isVisible()),
                     qPrintable(name));
            QVERIFY2(control->isEnabled() == expected.enabled, qPrintable(name));
        }
        QVERIFY(
            !window.findChild<QWidget*>(QStringLiteral("编辑框_AFI超级列表框编辑"))->isVisible());
        QVERIFY(!group->isVisible());
        QCOMPARE(window.findChild<QCheckBox*>(QStringLiteral("选择框_微端模式"))->isChecked(),
                 true);
        QCOMPARE(window.findChild<QCheckBox*>(QStringLiteral("选择框_热更模式"))->isChecked(),
                 false);
        QCOMPARE(window.findChild<QCheckBox*>(QStringLiteral("选择框_自定义目录名"))->isChecked(),
                 false);
        QCOMPARE(window.findChild<QProgressBar*>(QStringLiteral("进度条1"))->value(), 0);
        QVERIFY(window.findChild<QObject*>(QStringLiteral("通用对话框1")) != nullptr);
    }

    // No label's text spills out of its fixed place onto its neighbours.
    void everyLabelFitsItsPlace() {
        ApplyInterfaceFont();  // as the program does at start-up
        GuiHarness harness;
        MainWindow& window = harness.Window();
        for (int tab = 0; tab < window.选择夹1->count(); ++tab) {
            window.选择夹1->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            for (QLabel* label : window.选择夹1->widget(tab)->findChildren<QLabel*>()) {
                if (label->textFormat() == Qt::RichText || label->text().isEmpty()) {
                    continue;
                }
                // Each of its lines fits its width unwrapped (a wrapped line
                // would run into the control below), and the lines its height,
                // give or take the descent of the last one.
                const QFontMetrics metrics = label->fontMetrics();
                const QStringList lines = label->text().split(QLatin1Char('\n'));
                int width = 0;
                for (const QString& line : lines) {
                    width = std::max(width, metrics.horizontalAdvance(line));
                }
                const QSize needed(width, static_cast<int>(lines.size()) * metrics.lineSpacing() -
                                              metrics.descent());
                QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                         qPrintable(QStringLiteral("%1 needs %2x%3, has %4x%5")
                                        .arg(label->objectName())
                                        .arg(needed.width())
                                        .arg(needed.height())
                                        .arg(label->width())
                                        .arg(label->height())));
            }
        }
    }

    // On a screen area smaller than the window with its frame (a scale of
    // 1.5 on 1366 x 768), the window fits the area, its title bar on it, and
    // scroll bars reach every control; where the area is large enough there
    // are none.
    void aWindowLargerThanTheScreenScrolls() {
        GuiHarness harness;
        MainWindow& window = harness.Window();
        auto* scroll = window.findChild<QScrollArea*>();
        QVERIFY(scroll != nullptr);
        const struct {
            QRect area;
            bool across;  // a horizontal scroll bar
            bool down;    // a vertical one
        } cases[] = {{QRect(0, 0, 910, 485), false, true},
                     {QRect(40, 20, 600, 700), true, false},
                     {QRect(0, 0, 500, 400), true, true},
                     {QRect(0, 0, 1366, 768), false, false}};
        for (const auto& c : cases) {
            window.FitInto(c.area);
            const QSize room = c.area.size() - QSize(826 - 820, 582 - 553);
            QVERIFY(window.width() <= room.width() && window.height() <= room.height());
            QVERIFY(window.width() >= std::min(820, room.width()) &&
                    window.height() >= std::min(553, room.height()));
            QVERIFY(window.x() >= c.area.x() && window.y() >= c.area.y());
            QCOMPARE(scroll->size(), window.size());
            QTest::qWait(0);
            QCOMPARE(scroll->horizontalScrollBar()->maximum() > 0, c.across);
            QCOMPARE(scroll->verticalScrollBar()->maximum() > 0, c.down);
            QCOMPARE(window.size() == QSize(820, 553), !c.across && !c.down);
            for (QWidget* control : {static_cast<QWidget*>(window.按钮_选择数据库),
                                     static_cast<QWidget*>(window.filterPage->按钮_取消全部捡取)}) {
                window.选择夹1->setCurrentIndex(1);
                scroll->ensureWidgetVisible(control, 0, 0);
                const QRect shown(control->mapTo(scroll->viewport(), QPoint(0, 0)),
                                  control->size());
                QVERIFY2(scroll->viewport()->rect().contains(shown),
                         qPrintable(control->objectName()));
            }
        }
    }

    void windowShapeCaptionTabsAndTexts() {
        GuiHarness harness;
        MainWindow& window = harness.Window();
        QCOMPARE(window.size(), QSize(820, 553));
        // Centred by the outer frame of 826 x 582 on the screen's available
        // area; on a smaller one (the offscreen screen is 800 wide) its title
        // bar stays on the screen.
        const QRect available = window.screen()->availableGeometry();
        QCOMPARE(window.pos(),
                 QPoint(std::max(available.x(), available.x() + (available.width() - 826) / 2),
                        std::max(available.y(), available.y() + (available.height() - 582) / 2)));
        QVERIFY(window.x() >= available.x() && window.y() >= available.y());
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("Varo三端引擎专用工具合集")));
        QVERIFY(window.windowTitle().endsWith(QStringLiteral("版本号2.1.1")));
        QVERIFY(!window.windowIcon().isNull());
        const QStringList tabs = {QStringLiteral("PC光柱转手机端同步"),
                                  QStringLiteral("数据库过滤文件生成"),
                                  QStringLiteral("手游微端与热更json生成"), QStringLiteral("关于")};
        QCOMPARE(window.选择夹1->count(), tabs.size());
        for (int i = 0; i < tabs.size(); ++i) {
            QCOMPARE(window.选择夹1->tabText(i), tabs[i]);
        }
        QCOMPARE(window.选择夹1->currentIndex(), 0);

        const QByteArray log(AboutPage::kUpdateLog);
        QVERIFY(log.startsWith("\r\n20211205更新说明： 2.1.1版\r\n"));
        QVERIFY(
            log.endsWith("3.增加手游微端、热更的data、map、mp3文件直接生成json单文件与独立文件。"));
        QCOMPARE(log.count("\r\n"), 26);
        QCOMPARE(
            window.findChild<QPlainTextEdit*>(QStringLiteral("编辑框_更新日志"))->toPlainText(),
            QString::fromUtf8(log).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QVERIFY(!window.findChild<QLabel*>(QStringLiteral("图片框1"))->pixmap().isNull());

        QCOMPARE(window.findChild<QWidget*>(QStringLiteral("按钮_导入资源文件"))->toolTip(),
                 QStringLiteral("注意：生成微端json文件只支持wzl格式\n选择热更新支持所有格式"));
        for (const char* name : {"编辑框_自定义目录名", "选择框_自定义目录名"}) {
            QCOMPARE(window.findChild<QWidget*>(QString::fromUtf8(name))->toolTip(),
                     QStringLiteral("可空数据\n\n默认字体目录"));
        }
        QVERIFY(window.findChild<QPlainTextEdit*>(QStringLiteral("编辑框_更新日志"))->isReadOnly());
        for (const char* name : {"编辑框_json文件", "编辑框_更新日志"}) {
            auto* box = window.findChild<QWidget*>(QString::fromUtf8(name));
            QCOMPARE(box->palette().color(QPalette::Text), QColor(0, 255, 0));
            QCOMPARE(box->palette().color(QPalette::Base), QColor(0, 0, 0));
        }
    }

    void databaseChoiceProposesQeldaEveryTimeAndCancelKeepsThePath() {
        GuiHarness harness;
        MainWindow& window = harness.Window();
        harness.AnswerNextDialog({QStringLiteral("/data/first/QELDA.DB")});
        QTest::mouseClick(window.按钮_选择数据库, Qt::LeftButton);
        QCOMPARE(window.编辑框_数据库文件路径->text(),
                 QDir::toNativeSeparators(QStringLiteral("/data/first/QELDA.DB")));

        harness.AnswerNextDialog({});
        QTest::mouseClick(window.按钮_选择数据库, Qt::LeftButton);
        QCOMPARE(window.编辑框_数据库文件路径->text(),
                 QDir::toNativeSeparators(QStringLiteral("/data/first/QELDA.DB")));

        harness.AnswerNextDialog({QStringLiteral("/data/二/items.DB")});
        QTest::mouseClick(window.按钮_选择数据库, Qt::LeftButton);
        QCOMPARE(window.编辑框_数据库文件路径->text(),
                 QDir::toNativeSeparators(QStringLiteral("/data/二/items.DB")));

        QCOMPARE(harness.DialogRequests().size(), 3);
        for (const OpenFileRequest& request : harness.DialogRequests()) {
            QCOMPARE(request.title, QStringLiteral("选择数据库文件"));
            QCOMPARE(request.fileName, QStringLiteral("QELDA.DB"));
            QCOMPARE(request.filter, QStringLiteral("DB数据库文件(*.DB)|*.DB"));
            QCOMPARE(request.directory, QString::fromStdString(ProgramDirectory()));
            QVERIFY(!request.multipleFiles);
        }
    }

    // Qt's own texts in Chinese when the translation is beside the program;
    // English, and everything working, when it is not.
    void qtTextsFollowTheTranslationBesideTheProgram() {
        QVERIFY(LoadQtTranslation());
        const auto okText = [] {
            QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), QStringLiteral("x"),
                            QMessageBox::Ok);
            return box.button(QMessageBox::Ok)->text();
        };
        const auto menuTexts = [] {
            QLineEdit edit;
            const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
            QStringList texts;
            for (const QAction* action : menu->actions()) {
                texts << action->text();
            }
            return texts.join(QLatin1Char('|'));
        };
        QCOMPARE(okText(), QStringLiteral("确定"));
        QVERIFY2(menuTexts().contains(QStringLiteral("粘贴")), qPrintable(menuTexts()));

        test::TempDir empty;
        QVERIFY(!LoadQtTranslation({QString::fromStdString(empty.Path())}));
        QCOMPARE(okText(), QStringLiteral("OK"));
        QVERIFY(menuTexts().contains(QStringLiteral("Paste")));
        GuiHarness harness;  // the window starts and works without it
        harness.UseItemDatabase({test::ItemRow("木剑", "1", "150")});
        harness.Window().lightPillarPage->ComputeFromDatabase();
        test::WaitForItemTable();
        QCOMPARE(harness.Window().lightPillarPage->Model().rowCount(), 1);
    }

    // Under Windows' own style too, every button caption and every column
    // title fits the room it has: two lines at most, broken between words,
    // never one character alone on a line.
    void everyCaptionFitsItsRoomUnderTheWindowsStyle() {
        QStyle* previous = QApplication::style();
        const QString previousName = previous->name();
        for (const QString& styleName : {QStringLiteral("Windows"), previousName}) {
            QApplication::setStyle(QStyleFactory::create(styleName));
            ApplyInterfaceFont();
            GuiHarness harness;
            MainWindow& window = harness.Window();
            harness.UseItemDatabase({test::ItemRow("木剑", "1", "150")});
            window.filterPage->LoadFilterGrid();
            test::WaitForItemTable();
            for (WrappingButton* button : window.findChildren<WrappingButton*>()) {
                const ButtonTextLayout layout = button->TextLayout();
                const QFontMetrics metrics(layout.font);
                const QString name = styleName + QLatin1Char(' ') + button->objectName();
                QVERIFY2(layout.lines.size() <= 2, qPrintable(name));
                QVERIFY2(layout.lines.size() * metrics.height() <= button->TextRoom().height(),
                         qPrintable(name));
                for (const QString& line : layout.lines) {
                    QVERIFY2(metrics.horizontalAdvance(line) <= button->TextRoom().width(),
                             qPrintable(name + QStringLiteral(": ") + line));
                    QVERIFY2(layout.lines.size() == 1 || line.size() >= 2,
                             qPrintable(name + QStringLiteral(": ") + line));
                }
                QCOMPARE(layout.lines.join(QString()).remove(QLatin1Char(' ')),
                         button->text().remove(QLatin1Char(' ')));
            }
            FilterGridView* grid = window.filterPage->高级表格_过滤文件生成;
            const QFontMetrics header(grid->horizontalHeader()->font());
            for (int section = 0; section < grid->model()->columnCount(); ++section) {
                const QString title = grid->model()->headerData(section, Qt::Horizontal).toString();
                QVERIFY2(header.horizontalAdvance(title) <= grid->HeaderLabelRect(section).width(),
                         qPrintable(styleName + QLatin1Char(' ') + title));
            }
        }
        QApplication::setStyle(QStyleFactory::create(previousName));
    }

    // A load that does not end (an endless view) is stopped by Esc, by 取消
    // in the box that shows after a moment, or by closing the window; the
    // page keeps its rows, nothing is said, and a second load meanwhile waits.
    void anEndlessLoadIsStoppedAndThePageStays() {
        enum class Stop { Esc, BusyBox, Close };
        for (const Stop stop : {Stop::Esc, Stop::BusyBox, Stop::Close}) {
            GuiHarness harness;
            MainWindow& window = harness.Window();
            harness.UseItemDatabase({test::ItemRow("木剑", "1", "150")});
            window.lightPillarPage->ComputeFromDatabase();
            test::WaitForItemTable();
            const QString endless = harness.InputFile(QStringLiteral("endless.DB"));
            QCOMPARE(test::RunSql(endless.toStdString(),
                                  "CREATE VIEW StdItems AS WITH RECURSIVE n(i) AS (SELECT 1 UNION "
                                  "ALL SELECT i + 1 FROM n) SELECT i, NULL FROM n;"),
                     std::string());
            window.编辑框_数据库文件路径->setText(endless);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.lightPillarPage->ComputeFromDatabase();
            window.filterPage->LoadFilterGrid();  // one load at a time
            QCOMPARE(harness.Messages().size(), 1);
            QCOMPARE(harness.Messages()[0].caption, QStringLiteral("正在载入"));
            auto* busyBox = window.findChild<QProgressDialog*>();
            QVERIFY(busyBox != nullptr);
            QTRY_VERIFY(busyBox->isVisible());
            QVERIFY(window.itemTableLoader->IsLoading());
            switch (stop) {
                case Stop::Esc:
                    QTest::keyClick(window.lightPillarPage->超级列表框1, Qt::Key_Escape);
                    break;
                case Stop::BusyBox:
                    QTest::keyClick(busyBox, Qt::Key_Escape);
                    break;
                case Stop::Close:
                    window.close();
                    break;
            }
            QTRY_VERIFY_WITH_TIMEOUT(!window.itemTableLoader->IsLoading(), 1000);
            QCOMPARE(window.lightPillarPage->Model().rowCount(), 1);
            QCOMPARE(window.filterPage->Model().rowCount(), 0);
            QCOMPARE(harness.Messages().size(), 1);
            QCOMPARE(QApplication::overrideCursor(), nullptr);
        }
    }

    // A path pasted from Explorer's 复制为路径 comes in double quotes.
    void aQuotedDatabasePathIsTakenWithoutItsQuotes() {
        GuiHarness harness;
        MainWindow& window = harness.Window();
        const QString database = harness.UseItemDatabase({test::ItemRow("木剑", "1", "150")});
        window.编辑框_数据库文件路径->setText(
            QLatin1Char('"') + QDir::toNativeSeparators(database) + QLatin1Char('"'));
        window.lightPillarPage->ComputeFromDatabase();
        test::WaitForItemTable();
        QCOMPARE(window.lightPillarPage->Model().rowCount(), 1);
        QVERIFY(harness.Messages().isEmpty());
        harness.AnswerNextDialog({database});
        QTest::mouseClick(window.按钮_选择数据库, Qt::LeftButton);
        QCOMPARE(window.编辑框_数据库文件路径->text(), QDir::toNativeSeparators(database));
    }

    void dialogFiltersInQtForm_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qtFilters");
        QTest::newRow("database") << QStringLiteral("DB数据库文件(*.DB)|*.DB")
                                  << QStringLiteral("DB数据库文件(*.DB) (*.DB)");
        QTest::newRow("resources")
            << QStringLiteral("资源文件(*.wzl;*.wzx)|*.wzl;*.wzx|地图文件(*.map)|*.map")
            << QStringLiteral("资源文件(*.wzl;*.wzx) (*.wzl *.wzx);;地图文件(*.map) (*.map)");
        QTest::newRow("caption without patterns")
            << QStringLiteral("全部|*.*") << QStringLiteral("全部 (*.*)");
        QTest::newRow("empty") << QString() << QString();
    }

    void dialogFiltersInQtForm() {
        QFETCH(QString, filter);
        QFETCH(QString, qtFilters);
        QCOMPARE(QtNameFilters(filter), qtFilters);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
