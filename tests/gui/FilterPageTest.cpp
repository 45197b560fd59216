#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>

#include "GuiHarness.h"
#include "app/messages/FileDialogs.h"
#include "app/messages/MessageBoxes.h"
#include "app/pages/filter/FilterGridView.h"
#include "app/pages/filter/FilterPage.h"
#include "app/widgets/GridFindBox.h"
#include "platform/FileIo.h"
#include "support/TestSupport.h"

using namespace varo;
using varo::test::GuiHarness;
using varo::test::ItemRow;

namespace {

const QString kSuccessText =
    QStringLiteral("列表过滤文件写入成功！\n本地已生成  lsDefaultItemFilter.txt  文件");

struct FilterFixture {
    FilterFixture() {
        harness.UseItemDatabase({ItemRow("木剑", "1", "0"), ItemRow("金创药", "3", "0"),
                                 ItemRow("骨头", "7", "0"),
                                 ItemRow(std::nullopt, std::nullopt, "0")});
    }

    FilterPage& Page() { return *harness.Window().filterPage; }
    FilterGridModel& Model() { return Page().Model(); }
    bool Flag(int row, int column) {
        return Model().index(row, column).data(Qt::CheckStateRole).value<Qt::CheckState>() ==
               Qt::Checked;
    }
    // Loads the grid and shows the page in the active window, as for typing.
    bool ShowLoadedPage() {
        Page().LoadFilterGrid();
        test::WaitForItemTable();
        harness.Window().选择夹1->setCurrentIndex(1);
        harness.Window().activateWindow();
        return QTest::qWaitForWindowActive(&harness.Window());
    }
    QString FilterFile() const {
        return harness.OutputFile(QStringLiteral("lsDefaultItemFilter.txt"));
    }

    GuiHarness harness;
};

}  // namespace

class FilterPageTest : public QObject {
    Q_OBJECT

  private slots:
    void loadFillsNamesKindsTitlesAndWidths() {
        FilterFixture fixture;
        QAbstractItemModelTester tester(&fixture.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(fixture.Model().GridRowCount(), 1);
        QCOMPARE(fixture.Model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString());
        QTest::mouseClick(fixture.Page().按钮_载入数据库, Qt::LeftButton);
        test::WaitForItemTable();
        QCOMPARE(fixture.Model().GridRowCount(), 5);
        const QStringList titles = {QStringLiteral("物品名字"), QStringLiteral("物品类型"),
                                    QStringLiteral("是否显示极品(红字)"),
                                    QStringLiteral("自动捡取"), QStringLiteral("显示名字")};
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(fixture.Model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                     titles[column]);
            QCOMPARE(fixture.Page().高级表格_过滤文件生成->columnWidth(column), 110);
        }
        const QStringList names = {QStringLiteral("木剑"), QStringLiteral("金创药"),
                                   QStringLiteral("骨头"), QString()};
        const QStringList kinds = {QStringLiteral("武器"), QStringLiteral("药水"),
                                   QStringLiteral("其它"), QStringLiteral("其它")};
        for (int row = 0; row < 4; ++row) {
            QCOMPARE(fixture.Model().index(row, 0).data().toString(), names[row]);
            QCOMPARE(fixture.Model().index(row, 1).data().toString(), kinds[row]);
        }
        QCOMPARE(fixture.Page().高级表格_过滤文件生成->FrozenColumn()->columnWidth(0), 110);
    }

    // A load that fails warns with the path and the reason, and the grid keeps
    // its rows and the user's ticks; a write afterwards writes them.
    void failedLoadsWarnAndKeepTheGrid() {
        FilterFixture fixture;
        FilterPage& page = fixture.Page();
        page.LoadFilterGrid();
        test::WaitForItemTable();
        fixture.Model().setData(fixture.Model().index(1, 2), Qt::Checked, Qt::CheckStateRole);
        const QString notADatabase = fixture.harness.InputFile(QStringLiteral("text.DB"));
        test::WriteFile(notADatabase.toStdString(), std::string(4096, 'x'));
        const QString otherTables = fixture.harness.InputFile(QStringLiteral("other.DB"));
        QCOMPARE(test::RunSql(otherTables.toStdString(), "CREATE TABLE Other (a);"), std::string());
        const struct {
            QString path;
            QString reason;
        } cases[] = {
            {QString(), QStringLiteral("尚未选择数据库文件")},
            {fixture.harness.InputFile(QStringLiteral("absent.DB")), QStringLiteral("文件不存在")},
            {notADatabase, QStringLiteral("不是SQLite数据库文件")},
            {otherTables, QStringLiteral("数据库中没有StdItems表")},
        };
        for (const auto& c : cases) {
            fixture.harness.Window().编辑框_数据库文件路径->setText(c.path);
            page.LoadFilterGrid();
            test::WaitForItemTable();
            QCOMPARE(fixture.Model().GridRowCount(), 5);
            QVERIFY(fixture.Flag(1, 2));
            const test::ShownMessage& shown = fixture.harness.Messages().last();
            QVERIFY(shown.kind == MessageKind::Warning);
            QVERIFY2(shown.text.contains(QDir::toNativeSeparators(c.path)) &&
                         shown.text.contains(c.reason),
                     qPrintable(shown.text));
        }
        QCOMPARE(fixture.harness.Messages().size(), 4);
        page.WriteFilterFile(FilterFileForm::Pc);
        QCOMPARE(test::ReadBytes(fixture.FilterFile()).count('\n'), 4);
    }

    void bulkButtonsActOnTheirColumns_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("value");
        QTest::newRow("全部显示极品") << QStringLiteral("按钮_全部显示极品") << 2 << true;
        QTest::newRow("取消全部显示极品") << QStringLiteral("按钮_取消全部显示极品") << 2 << false;
        QTest::newRow("全部显示 checks 自动捡取") << QStringLiteral("按钮_全部显示") << 3 << true;
        QTest::newRow("取消全部显示") << QStringLiteral("按钮_取消全部显示") << 3 << false;
        QTest::newRow("全部捡取 checks 显示名字") << QStringLiteral("按钮_全部捡取") << 4 << true;
        QTest::newRow("取消全部捡取") << QStringLiteral("按钮_取消全部捡取") << 4 << false;
    }

    void bulkButtonsActOnTheirColumns() {
        QFETCH(QString, button);
        QFETCH(int, column);
        QFETCH(bool, value);
        FilterFixture fixture;
        fixture.Page().LoadFilterGrid();
        test::WaitForItemTable();
        // Start from the opposite of the button's value in every column.
        for (int c = 2; c <= 4; ++c) {
            fixture.Model().SetFlagForAll(c, !value);
        }
        QTest::mouseClick(fixture.harness.Window().findChild<QPushButton*>(button), Qt::LeftButton);
        for (int row = 0; row < 4; ++row) {
            for (int c = 2; c <= 4; ++c) {
                QCOMPARE(fixture.Flag(row, c), c == column ? value : !value);
            }
        }
    }

    void findBoxAndSpaceOverSelectedRows() {
        FilterFixture fixture;
        FilterPage& page = fixture.Page();
        QVERIFY(fixture.ShowLoadedPage());
        FilterGridView* grid = page.高级表格_过滤文件生成;
        const QRect gridPlace = grid->geometry();

        // Ctrl+F opens the box over the grid; typing finds, F3 and Shift+F3 go on.
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
        GridFindBox* box = page.FindBox();
        QVERIFY(box->isVisible());
        QVERIFY(box->Edit()->hasFocus());
        QCOMPARE(grid->geometry(), gridPlace);
        QVERIFY(grid->rect().contains(box->geometry()));
        const auto type = [&](const QString& text) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
            QApplication::sendEvent(box->Edit(), &key);
        };
        type(QStringLiteral("骨"));
        QCOMPARE(grid->currentIndex().row(), 2);
        box->Edit()->clear();
        type(QStringLiteral("金"));
        QCOMPARE(grid->currentIndex().row(), 1);
        type(QStringLiteral("鱼"));  // 金鱼: in no name
        QCOMPARE(box->Status()->text(), QStringLiteral("无匹配"));
        QCOMPARE(grid->currentIndex().row(), 1);
        box->Edit()->setText(QStringLiteral("剑"));
        QTest::keyClick(box->Edit(), Qt::Key_F3);
        QCOMPARE(grid->currentIndex().row(), 0);
        // Its place among the matches, and that it went round the end.
        QCOMPARE(box->Status()->text(), QStringLiteral("第 1 / 1 个，已从头重新开始"));
        box->Edit()->setText(QStringLiteral("金"));
        QTest::keyClick(box->Edit(), Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(grid->currentIndex().row(), 1);
        QCOMPARE(box->Status()->text(), QStringLiteral("第 1 / 1 个，已从末尾重新开始"));
        box->Edit()->setText(QString());
        type(QStringLiteral("金"));
        QCOMPARE(box->Status()->text(), QStringLiteral("第 1 / 1 个"));
        QTest::keyClick(box->Edit(), Qt::Key_Escape);
        QVERIFY(box->isHidden());
        QVERIFY(grid->hasFocus());

        // Click row 0, Shift+click row 2 in 自动捡取: rows 0-2 selected, nothing toggled.
        const auto click = [&](int row, int column, Qt::KeyboardModifiers modifiers) {
            const QRect cell = grid->visualRect(fixture.Model().index(row, column));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, cell.center());
        };
        click(0, 1, {});
        click(2, 3, Qt::ShiftModifier);
        QCOMPARE(grid->currentIndex(), fixture.Model().index(2, 3));
        QVERIFY(!fixture.Flag(0, 3) && !fixture.Flag(1, 3) && !fixture.Flag(2, 3));
        QTest::keyClick(grid, Qt::Key_Space);
        QVERIFY(fixture.Flag(0, 3) && fixture.Flag(1, 3) && fixture.Flag(2, 3));
        QVERIFY(!fixture.Flag(3, 3) && !fixture.Flag(0, 2) && !fixture.Flag(0, 4));
        // Ctrl+click adds row 3; the space bar follows the current cell (now unticked).
        click(3, 3, Qt::ControlModifier);
        QTest::keyClick(grid, Qt::Key_Space);
        QVERIFY(fixture.Flag(3, 3));
        QTest::keyClick(grid, Qt::Key_Space);
        QVERIFY(!fixture.Flag(0, 3) && !fixture.Flag(1, 3) && !fixture.Flag(2, 3) &&
                !fixture.Flag(3, 3));
    }

    // After a find, Esc gives the grid back its focus: space toggles the
    // current cell's column, the one that was chosen before the find.
    void spaceAfterAFindTogglesTheCurrentColumn() {
        FilterFixture fixture;
        FilterPage& page = fixture.Page();
        QVERIFY(fixture.ShowLoadedPage());
        FilterGridView* grid = page.高级表格_过滤文件生成;
        const QRect cell = grid->visualRect(fixture.Model().index(0, 2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(fixture.Flag(0, 2));
        QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("金"));
        QApplication::sendEvent(page.FindBox()->Edit(), &key);
        QCOMPARE(grid->currentIndex(), fixture.Model().index(1, 2));
        QTest::keyClick(page.FindBox()->Edit(), Qt::Key_Escape);
        QVERIFY(grid->hasFocus());
        QCOMPARE(grid->currentIndex(), fixture.Model().index(1, 2));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(fixture.Flag(1, 2));
        QVERIFY(!fixture.Flag(1, 3) && !fixture.Flag(1, 4));
    }

    void clickAndSpaceToggleOneFlagAndALoadClearsThem() {
        FilterFixture fixture;
        fixture.Page().LoadFilterGrid();
        test::WaitForItemTable();
        QTableView* grid = fixture.Page().高级表格_过滤文件生成;
        const QRect cell = grid->visualRect(fixture.Model().index(1, 3));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(fixture.Flag(1, 3));
        QVERIFY(!fixture.Flag(0, 3) && !fixture.Flag(1, 2) && !fixture.Flag(1, 4));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(!fixture.Flag(1, 3));
        // The clicked cell is the current one: the space bar acts there next.
        QCOMPARE(grid->currentIndex(), fixture.Model().index(1, 3));
        QTest::keyClick(grid, Qt::Key_Space);
        QVERIFY(fixture.Flag(1, 3));

        grid->setFocus();
        grid->setCurrentIndex(fixture.Model().index(2, 4));
        QTest::keyClick(grid, Qt::Key_Space);
        QVERIFY(fixture.Flag(2, 4));

        fixture.Model().SetFlagForAll(2, true);
        QTest::mouseClick(fixture.Page().按钮_载入数据库, Qt::LeftButton);
        test::WaitForItemTable();
        for (int row = 0; row < 4; ++row) {
            QVERIFY(!fixture.Flag(row, 2) && !fixture.Flag(row, 3) && !fixture.Flag(row, 4));
        }
    }

    // Flags set by hand since the grid was filled or written are asked about
    // before a load or an import replaces them; space on a name does nothing.
    void handWorkIsAskedAboutBeforeALoadOrAnImportReplacesIt() {
        FilterFixture fixture;
        FilterPage& page = fixture.Page();
        page.LoadFilterGrid();
        test::WaitForItemTable();
        page.LoadFilterGrid();
        test::WaitForItemTable();
        QVERIFY(fixture.harness.Questions().isEmpty());
        QTableView* grid = page.高级表格_过滤文件生成;
        grid->setFocus();
        grid->setCurrentIndex(fixture.Model().index(1, 3));
        QTest::keyClick(grid, Qt::Key_Space);
        grid->setCurrentIndex(fixture.Model().index(2, 0));
        QTest::keyClick(grid, Qt::Key_Space);
        QCOMPARE(grid->currentIndex(), fixture.Model().index(2, 0));

        fixture.harness.AnswerNextQuestion(false);
        page.LoadFilterGrid();
        test::WaitForItemTable();
        QCOMPARE(fixture.harness.Questions().size(), 1);
        QVERIFY2(fixture.harness.Questions()[0].startsWith(QStringLiteral("表格中有1行的标记")),
                 qPrintable(fixture.harness.Questions()[0]));
        QVERIFY(fixture.Flag(1, 3));

        // Written, the flags are in the file: nothing is lost by a load.
        page.WriteFilterFile(FilterFileForm::Pc);
        page.LoadFilterGrid();
        test::WaitForItemTable();
        QCOMPARE(fixture.harness.Questions().size(), 1);
        QVERIFY(!fixture.Flag(1, 3));

        // A flag set and set back is no hand work.
        fixture.Model().SetFlagForAll(kFilterBestColumn, true);
        fixture.Model().SetFlagForAll(kFilterBestColumn, false);
        fixture.harness.AnswerNextDialog({fixture.FilterFile()});
        page.ImportFilterFile();
        QCOMPARE(fixture.harness.Questions().size(), 1);
    }

    void writesBothFormsAndImportsThemBack_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("mobile")
            << QStringLiteral("按钮_生成手机过滤文件")
            << QByteArray("木剑,4,1,0,0\r\n金创药,4,0,0,1\r\n骨头,4,0,0,0\r\n,4,0,0,0\r\n");
        QTest::newRow("pc")
            << QStringLiteral("按钮_生成PC过滤文件")
            << QByteArray(
                   "\xC4\xBE\xBD\xA3,4,1,0,0\r\n\xBD\xF0\xB4\xB4\xD2\xA9,4,0,0,1\r\n"
                   "\xB9\xC7\xCD\xB7,4,0,0,0\r\n,4,0,0,0\r\n");
    }

    void writesBothFormsAndImportsThemBack() {
        QFETCH(QString, button);
        QFETCH(QByteArray, bytes);
        FilterFixture fixture;
        FilterPage& page = fixture.Page();
        page.LoadFilterGrid();
        test::WaitForItemTable();
        fixture.Model().setData(fixture.Model().index(0, 2), Qt::Checked, Qt::CheckStateRole);
        fixture.Model().setData(fixture.Model().index(1, 4), Qt::Checked, Qt::CheckStateRole);
        QTest::mouseClick(fixture.harness.Window().findChild<QPushButton*>(button), Qt::LeftButton);
        QCOMPARE(test::ReadBytes(fixture.FilterFile()), bytes);
        QCOMPARE(fixture.harness.Messages().size(), 1);
        QCOMPARE(fixture.harness.Messages()[0].caption, QStringLiteral("生成成功"));
        QCOMPARE(fixture.harness.Messages()[0].text, kSuccessText);

        fixture.harness.AnswerNextDialog({fixture.FilterFile()});
        QTest::mouseClick(page.按钮_导入过滤文件, Qt::LeftButton);
        const OpenFileRequest request = fixture.harness.DialogRequests().last();
        QCOMPARE(request.filter, QStringLiteral("物品过滤文件(*.txt)|*.txt"));
        QCOMPARE(request.fileName, QStringLiteral("lsDefaultItemFilter.txt"));
        QCOMPARE(request.title, QStringLiteral("选择数据库文件"));
        // The shared dialog carries nothing over: the database choice is as ever.
        fixture.harness.AnswerNextDialog({});
        QTest::mouseClick(fixture.harness.Window().按钮_选择数据库, Qt::LeftButton);
        QCOMPARE(fixture.harness.DialogRequests().last().filter,
                 QStringLiteral("DB数据库文件(*.DB)|*.DB"));
        QCOMPARE(fixture.harness.DialogRequests().last().fileName, QStringLiteral("QELDA.DB"));
        QCOMPARE(fixture.Model().GridRowCount(), 5);
        QVERIFY(!fixture.Model().Titled());
        QCOMPARE(fixture.Model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString());
        QCOMPARE(page.高级表格_过滤文件生成->columnWidth(0), 60);
        QCOMPARE(fixture.Model().index(1, 0).data().toString(), QStringLiteral("金创药"));
        QCOMPARE(fixture.Model().index(1, 1).data().toString(), QStringLiteral("其它"));
        QVERIFY(fixture.Flag(0, 2) && !fixture.Flag(0, 3) && fixture.Flag(1, 4));

        QFile::remove(fixture.FilterFile());
        QTest::mouseClick(fixture.harness.Window().findChild<QPushButton*>(button), Qt::LeftButton);
        QCOMPARE(test::ReadBytes(fixture.FilterFile()), bytes);
    }

    void importThatCannotBeReadChangesNothingAndSaysWhy() {
        FilterFixture fixture;
        FilterPage& page = fixture.Page();
        page.LoadFilterGrid();
        test::WaitForItemTable();
        fixture.Model().setData(fixture.Model().index(0, 3), Qt::Checked, Qt::CheckStateRole);
        const QString notText = fixture.harness.InputFile(QStringLiteral("binary.txt"));
        test::WriteFile(notText.toStdString(), "\xFF\xFF\xFF,4,1,1,1\r\n");
        const QStringList answers[] = {
            {}, {fixture.harness.InputFile(QStringLiteral("absent.txt"))}, {notText}};
        for (const QStringList& answer : answers) {
            fixture.harness.AnswerNextDialog(answer);
            QTest::mouseClick(page.按钮_导入过滤文件, Qt::LeftButton);
            QCOMPARE(fixture.Model().GridRowCount(), 5);
            QVERIFY(fixture.Model().Titled());
            QVERIFY(fixture.Flag(0, 3));
            QCOMPARE(page.高级表格_过滤文件生成->columnWidth(0), 110);
        }
        // A cancel says nothing; a file that cannot be read or decoded is named with its reason.
        const QList<test::ShownMessage>& messages = fixture.harness.Messages();
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0].kind == MessageKind::Warning &&
                messages[1].kind == MessageKind::Warning);
        QVERIFY(messages[0].text.contains(QStringLiteral("absent.txt")));
        QVERIFY(messages[0].text.contains(QStringLiteral("文件或目录不存在")));
        QVERIFY(messages[1].text.contains(QStringLiteral("第1行")));
        QVERIFY(messages[1].text.contains(QStringLiteral("FF")));
    }

    // A file that does not look like a filter file is imported only after a Yes.
    void importOfAnotherKindOfFileAsksFirst() {
        FilterFixture fixture;
        FilterPage& page = fixture.Page();
        page.LoadFilterGrid();
        test::WaitForItemTable();
        const QString pillarFile =
            fixture.harness.InputFile(QStringLiteral("CustomItemNameColors.txt"));
        test::WriteFile(pillarFile.toStdString(), "a\t255\t0\t20\t1\r\nb\t255\t0\t20\t1\r\n");
        fixture.harness.AnswerNextQuestion(false);
        fixture.harness.AnswerNextDialog({pillarFile});
        QTest::mouseClick(page.按钮_导入过滤文件, Qt::LeftButton);
        QCOMPARE(fixture.harness.Questions().size(), 1);
        QVERIFY(fixture.harness.Questions()[0].contains(QDir::toNativeSeparators(pillarFile)));
        QCOMPARE(fixture.Model().GridRowCount(), 5);  // No: the grid as it was
        QVERIFY(fixture.Model().Titled());

        fixture.harness.AnswerNextDialog({pillarFile});
        QTest::mouseClick(page.按钮_导入过滤文件, Qt::LeftButton);  // Yes
        QCOMPARE(fixture.Model().GridRowCount(), 3);
        QVERIFY(!fixture.Model().Titled());
    }

    // LF line ends read as lines; a file over 64 MiB is refused unread.
    void importAndApplyReadLfLinesAndRefuseOversizedFiles() {
        FilterFixture fixture;
        FilterPage& page = fixture.Page();
        page.LoadFilterGrid();
        test::WaitForItemTable();
        const QString lf = fixture.harness.InputFile(QStringLiteral("lf.txt"));
        test::WriteFile(lf.toStdString(), "木剑,4,1,0,0\n骨头,4,0,1,1\n");
        fixture.harness.AnswerNextDialog({lf});
        page.ApplyFilterFile();
        QVERIFY(fixture.Flag(0, 2) && !fixture.Flag(0, 3) && fixture.Flag(2, 3) &&
                fixture.Flag(2, 4));
        QVERIFY(fixture.harness.Messages().last().text.startsWith(QStringLiteral("已按名称为2行")));

        const QString huge = fixture.harness.InputFile(QStringLiteral("huge.txt"));
        test::WriteFile(huge.toStdString(), "");
        QVERIFY(QFile::resize(huge, static_cast<qint64>(kLargestWholeFile) + 1));
        for (const auto action : {&FilterPage::ImportFilterFile, &FilterPage::ApplyFilterFile}) {
            const qsizetype before = fixture.harness.Messages().size();
            fixture.harness.AnswerNextDialog({huge});
            (page.*action)();
            QCOMPARE(fixture.harness.Messages().size(), before + 1);
            QCOMPARE(fixture.harness.Messages().last().kind, MessageKind::Warning);
            QVERIFY(
                fixture.harness.Messages().last().text.contains(QStringLiteral("大于64\u00A0MiB")));
            QCOMPARE(fixture.Model().GridRowCount(), 5);
            QVERIFY(fixture.Flag(0, 2) && fixture.Flag(2, 4));
        }

        fixture.harness.AnswerNextDialog({lf});
        page.ImportFilterFile();
        QCOMPARE(fixture.Model().GridRowCount(), 3);
        QCOMPARE(fixture.Model().index(1, 0).data().toString(), QStringLiteral("骨头"));
    }

    // A file written from the grid and applied again gives every row its own
    // flags back, names on several rows included (the demo database has 木剑
    // twice): the k-th row of a name takes the k-th line.
    void applyingTheGridsOwnFileGivesRepeatedNamesTheirOwnFlags() {
        GuiHarness harness;
        harness.UseItemDatabase(
            {ItemRow("木剑", "1", "0"), ItemRow("青铜剑", "1", "0"), ItemRow("木剑", "1", "0")});
        FilterPage& page = *harness.Window().filterPage;
        page.LoadFilterGrid();
        test::WaitForItemTable();
        QVERIFY(page.Model().setData(page.Model().index(0, kFilterBestColumn), Qt::Checked,
                                     Qt::CheckStateRole));
        page.WriteFilterFile(FilterFileForm::Pc);
        const QString written = harness.OutputFile(QStringLiteral("lsDefaultItemFilter.txt"));
        page.LoadFilterGrid();
        test::WaitForItemTable();
        harness.AnswerNextDialog({written});
        page.ApplyFilterFile();
        QVERIFY(page.Model().Rows()[0].best);
        QVERIFY(!page.Model().Rows()[2].best);
        const QString summary = harness.Messages().last().text;
        QVERIFY2(summary.startsWith(QStringLiteral("已按名称为3行设置了标记。")) &&
                     summary.contains(QStringLiteral("其中1个名字出现在多行")),
                 qPrintable(summary));
    }

    // The found row is never under the find box; Ctrl+F and F3 act wherever
    // the focus is while the page is shown; a load starts at the first row.
    void findKeepsTheFoundRowInSightAndLoadsStartAtTheTop() {
        GuiHarness harness;
        std::vector<test::Row> items;
        for (int i = 0; i < 60; ++i) {
            items.push_back(ItemRow("物品" + std::to_string(i), "1", "0"));
        }
        harness.UseItemDatabase(items);
        MainWindow& window = harness.Window();
        FilterPage& page = *window.filterPage;
        FilterGridView* grid = page.高级表格_过滤文件生成;
        window.选择夹1->setCurrentIndex(1);
        page.LoadFilterGrid();
        test::WaitForItemTable();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        window.编辑框_数据库文件路径->setFocus();
        QTest::keyClick(window.编辑框_数据库文件路径, Qt::Key_F, Qt::ControlModifier);
        GridFindBox* box = page.FindBox();
        QVERIFY(box->isVisible());
        for (const int row : {58, 59, 30, 0}) {
            box->Edit()->setText(QStringLiteral("物品%1").arg(row));
            QTest::keyClick(box->Edit(), Qt::Key_Return);
            QCOMPARE(grid->currentIndex().row(), row);
            const QRect found(grid->viewport()->x(),
                              grid->viewport()->y() + grid->rowViewportPosition(row),
                              grid->viewport()->width(), grid->rowHeight(row));
            QVERIFY2(!found.intersects(box->geometry()), qPrintable(QString::number(row)));
            QVERIFY(grid->viewport()->geometry().contains(found));
        }
        QTest::keyClick(box->Edit(), Qt::Key_Escape);
        window.编辑框_数据库文件路径->setFocus();
        box->Edit()->setText(QStringLiteral("物品5"));
        QTest::keyClick(window.编辑框_数据库文件路径, Qt::Key_F3);
        QVERIFY(box->isVisible());
        QCOMPARE(grid->currentIndex().row(), 5);

        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
        QTest::mouseClick(page.按钮_载入数据库, Qt::LeftButton);
        test::WaitForItemTable();
        QCOMPARE(grid->verticalScrollBar()->value(), 0);
    }

    // The first column is a view of its own over the grid's left edge: the
    // same menu and the same selection colour as every other column.
    // The first column and the rest scroll as one, after every key and
    // scroll-bar move, to the very end of a large grid.
    void theFrozenColumnKeepsInLineWithTheGrid() {
        GuiHarness harness;
        std::vector<test::Row> rows;
        for (int i = 0; i < 20000; ++i) {
            rows.push_back(ItemRow("物品" + std::to_string(i), "1", "0"));
        }
        harness.UseItemDatabase(rows);
        harness.Window().选择夹1->setCurrentIndex(1);
        FilterPage& page = *harness.Window().filterPage;
        page.LoadFilterGrid();
        test::WaitForItemTable();
        FilterGridView* grid = page.高级表格_过滤文件生成;
        QTableView* frozen = grid->FrozenColumn();
        const auto inLine = [&](int row) {
            const QPoint gridTop = grid->viewport()->mapToGlobal(
                grid->visualRect(page.Model().index(row, 2)).topLeft());
            const QPoint frozenTop = frozen->viewport()->mapToGlobal(
                frozen->visualRect(page.Model().index(row, 0)).topLeft());
            return gridTop.y() == frozenTop.y();
        };
        QApplication::processEvents();
        grid->setFocus();
        grid->setCurrentIndex(page.Model().index(3, 2));
        const int last = page.Model().rowCount() - 1;
        const struct {
            const char* label;
            std::function<void()> move;
            int row;  // a row in view afterwards
        } moves[] = {
            {"Ctrl+End", [&] { QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier); }, last},
            {"Page Up", [&] { QTest::keyClick(grid, Qt::Key_PageUp); }, last - 20},
            {"Ctrl+Home", [&] { QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier); }, 0},
            {"scroll bar to the end",
             [&] { grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum()); },
             last},
            {"scroll bar one step back",
             [&] { grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() - 1); },
             last - 5},
            {"Down past the view",
             [&] {
                 grid->setCurrentIndex(page.Model().index(100, 2));
                 QTest::keyClick(grid, Qt::Key_Down);
             },
             101},
        };
        for (const auto& move : moves) {
            move.move();
            QApplication::processEvents();
            QVERIFY2(inLine(move.row), move.label);
            QCOMPARE(frozen->verticalScrollBar()->value(), grid->verticalScrollBar()->value());
        }
    }

    void theFirstColumnHasTheMenuAndTheSelectionColourOfTheOthers() {
        // The styles that paint selections in the palette's colours (Windows'
        // themed one draws the ends of a row differently from its middle).
        const QString previousName = QApplication::style()->name();
        for (const QString& styleName : {QStringLiteral("Windows"), QStringLiteral("Fusion")}) {
            QApplication::setStyle(QStyleFactory::create(styleName));
            // As on Windows: a view without the focus shows its selection grey.
            QPalette palette = QApplication::palette();
            palette.setColor(QPalette::Active, QPalette::Highlight, QColor(0, 120, 215));
            palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(204, 204, 204));
            QApplication::setPalette(palette);
            FilterFixture fixture;
            fixture.harness.Window().选择夹1->setCurrentIndex(1);
            fixture.Page().LoadFilterGrid();
            test::WaitForItemTable();
            FilterGridView* grid = fixture.Page().高级表格_过滤文件生成;
            QTableView* frozen = grid->FrozenColumn();
            grid->selectRow(1);
            // The current cell elsewhere: its focus frame is no selection colour.
            grid->selectionModel()->setCurrentIndex(fixture.Model().index(3, 4),
                                                    QItemSelectionModel::NoUpdate);
            grid->setFocus();
            QVERIFY(QTest::qWaitForWindowActive(&fixture.harness.Window()));

            // The colour a cell is drawn in, a little in from its left edge.
            const auto colourAt = [](QTableView* view, const QModelIndex& index) {
                const QImage image = view->viewport()->grab().toImage();
                const QRect cell = view->visualRect(index);
                return image.pixelColor(cell.left() + 3, cell.center().y());
            };
            QCOMPARE(colourAt(frozen, fixture.Model().index(1, 0)),
                     colourAt(grid, fixture.Model().index(1, 2)));

            QStringList shown;
            QTimer::singleShot(0, [&] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                    for (const QAction* action : menu->actions()) {
                        shown << action->text();
                    }
                    menu->close();
                }
            });
            const QPoint inFirstColumn = frozen->visualRect(fixture.Model().index(2, 0)).center();
            QContextMenuEvent click(QContextMenuEvent::Mouse, inFirstColumn,
                                    frozen->viewport()->mapToGlobal(inFirstColumn));
            QApplication::sendEvent(frozen->viewport(), &click);
            QCOMPARE(shown, (QStringList{QStringLiteral("按名称套用过滤文件…"),
                                         QStringLiteral("查找物品名字…")}));
        }
        QApplication::setStyle(QStyleFactory::create(previousName));
    }

    void failedWriteKeepsThePreviousFileAndShowsNoSuccess() {
        FilterFixture fixture;
        fixture.Page().LoadFilterGrid();
        test::WaitForItemTable();
        fixture.Page().WriteFilterFile(FilterFileForm::Pc);
        const QByteArray previous = test::ReadBytes(fixture.FilterFile());
        QCOMPARE(fixture.harness.Messages().size(), 1);
        // A name with a byte that has no UTF-8 form cannot be written in the mobile form.
        fixture.Model().setData(fixture.Model().index(2, 0), QString(), Qt::EditRole);
        FilterRows rows = fixture.Model().Rows();
        rows[2].itemName = test::GbkString("bad\xFF");
        fixture.Model().Import(rows);
        fixture.Page().WriteFilterFile(FilterFileForm::Mobile);
        QCOMPARE(test::ReadBytes(fixture.FilterFile()), previous);
        QCOMPARE(fixture.harness.Messages().size(), 2);
        QVERIFY(fixture.harness.Messages()[1].kind == MessageKind::Warning);
        QVERIFY(fixture.harness.Messages()[1].text.contains(QStringLiteral("第3行")));
    }
};

QTEST_MAIN(FilterPageTest)
#include "FilterPageTest.moc"
