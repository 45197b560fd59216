#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "GuiHarness.h"
#include "app/messages/TextBridge.h"
#include "support/TestSupport.h"

using namespace varo;
using varo::test::GuiHarness;
using varo::test::ItemRow;

namespace {

const QString kSuccessText =
    QStringLiteral("手机端光柱文件写入本地成功！\n\nCustomItemNameColors.txt 该文件在本目录下！");

// A window whose path field names a database of `count` items named item1,
// item2, ... with shine values 101, 102, ...
struct PillarFixture {
    explicit PillarFixture(int count = 5) {
        std::vector<test::Row> rows;
        for (int i = 1; i <= count; ++i) {
            rows.push_back(ItemRow("item" + std::to_string(i), "1", std::to_string(100 + i)));
        }
        harness.UseItemDatabase(rows);
    }

    LightPillarPage& Page() { return *harness.Window().lightPillarPage; }
    QString Cell(int row, int column) { return FromGbk(Page().Model().CellText(row, column)); }

    // Double-clicks the middle of a cell, as the user does.
    void DoubleClickCell(int row, int column) {
        QTreeView* list = Page().超级列表框1;
        const QRect cell = list->visualRect(Page().Model().index(row, column));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

    GuiHarness harness;
};

}  // namespace

class LightPillarPageTest : public QObject {
    Q_OBJECT

  private slots:
    void computesRowsAndKeepsThemWhenTheQueryFails() {
        PillarFixture fixture(3);
        LightPillarPage& page = fixture.Page();
        QAbstractItemModelTester tester(&page.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        page.编辑框_颜色值->setText(QStringLiteral("300"));
        QTest::mouseClick(page.按钮_DB一键计算, Qt::LeftButton);
        test::WaitForItemTable();
        QCOMPARE(page.Model().rowCount(), 3);
        QCOMPARE(fixture.Cell(2, kItemNameColumn), QStringLiteral("item3"));
        QCOMPARE(fixture.Cell(2, kColorColumn), QStringLiteral("300"));
        QCOMPARE(fixture.Cell(2, kShineValueColumn), QStringLiteral("60"));

        fixture.harness.Window().编辑框_数据库文件路径->setText(
            fixture.harness.InputFile(QStringLiteral("absent.DB")));
        QTest::mouseClick(page.按钮_DB一键计算, Qt::LeftButton);
        test::WaitForItemTable();
        QCOMPARE(page.Model().rowCount(), 3);
        QVERIFY(!QFile::exists(fixture.harness.InputFile(QStringLiteral("absent.DB"))));
        QCOMPARE(fixture.harness.Messages().size(), 1);
        QVERIFY(fixture.harness.Messages()[0].kind == MessageKind::Warning);
        QVERIFY(fixture.harness.Messages()[0].text.contains(QStringLiteral("absent.DB")));
        QVERIFY(fixture.harness.Messages()[0].text.contains(QStringLiteral("文件不存在")));

        QCOMPARE(page.超级列表框1->header()->sectionSize(0), 160);
        QCOMPARE(page.超级列表框1->header()->sectionSize(4), 125);
        QCOMPARE(page.Model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("计算Shine值"));
        QCOMPARE(page.Model()
                         .data(page.Model().index(0, 1), Qt::TextAlignmentRole)
                         .value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
    }

    // Cells typed by hand are asked about before a new computation replaces
    // them; a computation over untouched rows asks nothing.
    void aComputationAsksBeforeItReplacesHandEdits() {
        PillarFixture fixture(3);
        LightPillarPage& page = fixture.Page();
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        QVERIFY(fixture.harness.Questions().isEmpty());
        page.Model().SetCellText(1, kColorColumn, GbkText(GbkView("7")));
        page.Model().SetCellText(1, kColorColumn, GbkText(GbkView("8")));  // the same cell twice
        page.Model().SetCellText(2, kItemNameColumn,
                                 GbkText(GbkView("item3")));  // its own text: no edit
        fixture.harness.AnswerNextQuestion(false);
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        QCOMPARE(fixture.harness.Questions().size(), 1);
        QVERIFY2(fixture.harness.Questions()[0].startsWith(QStringLiteral("列表中有1个单元格")),
                 qPrintable(fixture.harness.Questions()[0]));
        QCOMPARE(fixture.Cell(1, kColorColumn), QStringLiteral("8"));
        page.ComputeFromDatabase();  // 是
        test::WaitForItemTable();
        QCOMPARE(fixture.Cell(1, kColorColumn), QStringLiteral("255"));
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        QCOMPARE(fixture.harness.Questions().size(), 2);
    }

    void editorLandsOnTheCellAfterAColumnWasWidened() {
        PillarFixture fixture;
        LightPillarPage& page = fixture.Page();
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        QTreeView* list = page.超级列表框1;
        list->header()->resizeSection(0, 200);
        fixture.DoubleClickCell(2, 1);

        QLineEdit* editor = page.编辑框_AFI超级列表框编辑;
        QVERIFY(editor->isVisible());
        const QRect row = list->visualRect(page.Model().index(2, 0));
        const QPoint rowInList = row.topLeft() + list->viewport()->pos();
        QCOMPARE(editor->x(), list->x() + rowInList.x() + 200);
        QCOMPARE(editor->y(), list->y() + rowInList.y() + 1);
        QCOMPARE(editor->width(), 130);
        QCOMPARE(editor->height(), 20);
        QCOMPARE(editor->text(), QStringLiteral("255"));
        QCOMPARE(editor->selectedText(), QStringLiteral("255"));
        QTRY_VERIFY(editor->hasFocus());
        QVERIFY(!list->updatesEnabled());
    }

    void enterCommitsVerbatimAndOnlyTheCell() {
        PillarFixture fixture;
        LightPillarPage& page = fixture.Page();
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        fixture.DoubleClickCell(1, kEffectImageCountColumn);
        QLineEdit* editor = page.编辑框_AFI超级列表框编辑;
        QTRY_VERIFY(editor->hasFocus());
        QTest::keyClicks(editor, QStringLiteral(" 7 x"));
        QCOMPARE(fixture.Cell(1, kEffectImageCountColumn),
                 QStringLiteral("20"));  // nothing before the key is released
        QTest::keyPress(editor, Qt::Key_Return);
        QTest::keyRelease(editor, Qt::Key_Return);
        QCOMPARE(fixture.Cell(1, kEffectImageCountColumn), QStringLiteral(" 7 x"));
        QCOMPARE(fixture.Cell(1, kShineValueColumn),
                 QStringLiteral("40"));  // nothing is recomputed
        QVERIFY(!editor->isVisible());
        QVERIFY(page.超级列表框1->updatesEnabled());
        page.CommitCellEdit();  // a second commit changes nothing
        QCOMPARE(fixture.Cell(1, kEffectImageCountColumn), QStringLiteral(" 7 x"));
    }

    // The editor's own context menu takes the focus for a moment: the edit
    // stays open, and its Paste lands in the cell.
    void contextMenuPasteLandsInTheCellAndEscCancels() {
        PillarFixture fixture;
        LightPillarPage& page = fixture.Page();
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        QLineEdit* editor = page.编辑框_AFI超级列表框编辑;
        fixture.DoubleClickCell(2, kColorColumn);
        QTRY_VERIFY(editor->hasFocus());
        QGuiApplication::clipboard()->setText(QStringLiteral("粘贴"));
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    editor->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(editor, &menuEvent);  // the menu pops up and takes the focus
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        QVERIFY(editor->isVisible());
        bool pasted = false;
        for (QAction* action : menu->actions()) {
            // The menu's Paste, known by its shortcut in any language.
            if (action->text().endsWith(
                    QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText))) {
                action->trigger();
                pasted = true;
            }
        }
        menu->close();
        QVERIFY(pasted);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->text(), QStringLiteral("粘贴"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(fixture.Cell(2, kColorColumn), QStringLiteral("粘贴"));

        // Esc closes the editor and keeps the old text.
        fixture.DoubleClickCell(2, kColorColumn);
        QTRY_VERIFY(editor->hasFocus());
        QTest::keyClicks(editor, QStringLiteral("99"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!editor->isVisible());
        QVERIFY(page.超级列表框1->updatesEnabled());
        QCOMPARE(fixture.Cell(2, kColorColumn), QStringLiteral("粘贴"));
    }

    void focusLossCommitsAndADoubleClickMovesTheEditor() {
        PillarFixture fixture;
        LightPillarPage& page = fixture.Page();
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        QLineEdit* editor = page.编辑框_AFI超级列表框编辑;

        fixture.DoubleClickCell(0, kItemNameColumn);
        QTRY_VERIFY(editor->hasFocus());
        editor->insert(QStringLiteral("新名字😀"));
        fixture.DoubleClickCell(3, kPillarFileNumberColumn);
        QCOMPARE(fixture.Cell(0, kItemNameColumn),
                 QStringLiteral("新名字?"));  // what GBK lacks becomes '?'
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->text(), QStringLiteral("1"));

        QTRY_VERIFY(editor->hasFocus());
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        page.编辑框_颜色值->setFocus();
        QTRY_VERIFY(!editor->isVisible());
        QCOMPARE(fixture.Cell(3, kPillarFileNumberColumn), QString());
    }

    void doubleClickBelowTheLastRowDoesNothing() {
        PillarFixture fixture(2);
        LightPillarPage& page = fixture.Page();
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        QTest::mouseDClick(page.超级列表框1->viewport(), Qt::LeftButton, {}, QPoint(40, 300));
        QVERIFY(!page.编辑框_AFI超级列表框编辑->isVisible());
        QVERIFY(page.超级列表框1->updatesEnabled());
    }

    void scrollingCommitsAndClosesTheEditor() {
        PillarFixture fixture(200);
        LightPillarPage& page = fixture.Page();
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        fixture.DoubleClickCell(0, kColorColumn);
        QTRY_VERIFY(page.编辑框_AFI超级列表框编辑->hasFocus());
        QTest::keyClicks(page.编辑框_AFI超级列表框编辑, QStringLiteral("9"));
        page.超级列表框1->verticalScrollBar()->setValue(50);
        QVERIFY(!page.编辑框_AFI超级列表框编辑->isVisible());
        QCOMPARE(fixture.Cell(0, kColorColumn), QStringLiteral("9"));
    }

    void uncommittedEditReachesTheFile() {
        PillarFixture fixture(2);
        LightPillarPage& page = fixture.Page();
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        fixture.DoubleClickCell(1, kColorColumn);
        QTRY_VERIFY(page.编辑框_AFI超级列表框编辑->hasFocus());
        page.编辑框_AFI超级列表框编辑->insert(QStringLiteral("木"));
        QTest::mouseClick(page.按钮_生成光柱文件, Qt::LeftButton);
        QCOMPARE(
            test::ReadBytes(fixture.harness.OutputFile(QStringLiteral("CustomItemNameColors.txt"))),
            QByteArray("item1\t255\t20\t20\t1\r\nitem2\t\xC4\xBE\t40\t20\t1\r\n"));
        QCOMPARE(fixture.harness.Messages().size(), 1);
        QCOMPARE(fixture.harness.Messages()[0].caption, QStringLiteral("生成成功！"));
        QCOMPARE(fixture.harness.Messages()[0].text, kSuccessText);
        QVERIFY(fixture.harness.Messages()[0].kind == MessageKind::Plain);
        // The colour 木 was asked about first, and written after the Yes.
        QCOMPARE(fixture.harness.Questions().size(), 1);
        QVERIFY(fixture.harness.Questions()[0].contains(
            QStringLiteral("第2行 item2：颜色(1-255)“木”")));
    }

    // Values a client cannot use are listed (ten, then a count); No writes nothing.
    void unusableValuesAskFirstAndNoWritesNothing() {
        PillarFixture fixture(12);
        LightPillarPage& page = fixture.Page();
        page.编辑框_颜色值->setText(QStringLiteral("0"));
        page.ComputeFromDatabase();
        test::WaitForItemTable();
        fixture.harness.AnswerNextQuestion(false);
        QTest::mouseClick(page.按钮_生成光柱文件, Qt::LeftButton);
        QVERIFY(
            !QFile::exists(fixture.harness.OutputFile(QStringLiteral("CustomItemNameColors.txt"))));
        QVERIFY(fixture.harness.Messages().isEmpty());
        const QString question = fixture.harness.Questions().value(0);
        QVERIFY(question.contains(QStringLiteral("第10行 item10：颜色(1-255)“0”")));
        QVERIFY(!question.contains(QStringLiteral("第11行")));
        QVERIFY(question.contains(QStringLiteral("……另有2处")));
    }

    void emptyListWritesAnEmptyFileAndAFailedWriteWarns() {
        GuiHarness harness;
        LightPillarPage& page = *harness.Window().lightPillarPage;
        QTest::mouseClick(page.按钮_生成光柱文件, Qt::LeftButton);
        QCOMPARE(test::ReadBytes(harness.OutputFile(QStringLiteral("CustomItemNameColors.txt"))),
                 QByteArray(""));
        QCOMPARE(harness.Messages().size(), 1);

        QFile::remove(harness.OutputFile(QStringLiteral("CustomItemNameColors.txt")));
        QVERIFY(QDir(harness.OutputDirectory()).mkdir(QStringLiteral("CustomItemNameColors.txt")));
        QTest::mouseClick(page.按钮_生成光柱文件, Qt::LeftButton);
        QCOMPARE(harness.Messages().size(), 2);  // a warning, no success message
        QVERIFY(harness.Messages().last().kind == MessageKind::Warning);
        QCOMPARE(QDir(harness.OutputDirectory())
                     .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{QStringLiteral("CustomItemNameColors.txt")});
    }
};

QTEST_MAIN(LightPillarPageTest)
#include "LightPillarPageTest.moc"
