#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <functional>
#include <optional>

#include "GuiHarness.h"
#include "app/messages/FileDialogs.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/pages/manifest/ManifestPage.h"
#include "app/pages/pillar/LightPillarPage.h"
#include "app/widgets/LineListBox.h"
#include "platform/ProgramDirectory.h"
#include "support/HttpTestServer.h"
#include "support/TestSupport.h"

using namespace varo;
using varo::test::GuiHarness;

namespace {

constexpr const char* kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";

struct ManifestFixture {
    ManifestFixture() { harness.Window().选择夹1->setCurrentIndex(2); }

    ManifestPage& Page() { return *harness.Window().manifestPage; }

    QString MakeFile(const QString& name, const QByteArray& content = {}) {
        const QString path = harness.InputFile(name);
        test::WriteFile(path.toStdString(), content.toStdString());
        return path;
    }

    GuiHarness harness;
};

// The file names a real open-file dialog lists for a request in `directory`,
// over all its file-type choices.
QStringList ListedFiles(OpenFileRequest request, const QString& directory) {
    request.directory = directory;
    const std::unique_ptr<QFileDialog> dialog = CreateOpenFileDialog(nullptr, request);
    dialog->show();
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    if (list == nullptr) {
        return {QStringLiteral("no list view")};
    }
    QStringList names;
    for (const QString& filter : dialog->nameFilters()) {
        dialog->selectNameFilter(filter);
        // The dialog lists the directory in the background.
        QTest::qWait(100);
        for (int wait = 0; wait < 500 && list->model()->rowCount(list->rootIndex()) == 0; ++wait) {
            QTest::qWait(10);
        }
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
            names << list->model()->index(row, 0, list->rootIndex()).data().toString();
        }
    }
    names.removeDuplicates();
    names.sort();
    return names;
}

// Drops local files on a widget as a file manager does. The window takes
// the drop at once and does the work from its event loop: with `settle`,
// that work is done before this returns.
void DropFiles(QWidget* target, const QStringList& paths, bool settle = true) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls << QUrl::fromLocalFile(path);
    }
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    if (settle) {
        QCoreApplication::processEvents();
    }
}

}  // namespace

class ManifestPageTest : public QObject {
    Q_OBJECT

  private slots:
    // Each dialog lists exactly the files the core's rule offers, the rule
    // varo-cli's directory expansion uses too.
    void dialogsOfferWhatTheCommandLineTakes() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        const QStringList files = {QStringLiteral("a.WZL"),    QStringLiteral("b.wzl"),
                                   QStringLiteral("c.Map"),    QStringLiteral("d.mp3"),
                                   QStringLiteral("qelda.db"), QStringLiteral("OTHER.DB"),
                                   QStringLiteral("README")};
        for (const QString& file : files) {
            fixture.MakeFile(file);
        }
        const QString directory = QFileInfo(fixture.harness.InputFile(files[0])).path();
        for (QCheckBox* box :
             {page.选择框_微端模式, page.选择框_热更模式, page.选择框_自定义目录名}) {
            QTest::mouseClick(box, Qt::LeftButton);
            fixture.harness.AnswerNextDialog({});
            QTest::mouseClick(page.按钮_导入资源文件, Qt::LeftButton);
            QStringList offered;
            for (const QString& file : files) {
                if (ModeOffersFile(page.Mode(), file.toStdString())) {
                    offered << file;
                }
            }
            offered.sort();
            QCOMPARE(ListedFiles(fixture.harness.DialogRequests().last(), directory), offered);
        }
        fixture.harness.AnswerNextDialog({});
        QTest::mouseClick(fixture.harness.Window().按钮_选择数据库, Qt::LeftButton);
        QCOMPARE(ListedFiles(fixture.harness.DialogRequests().last(), directory),
                 (QStringList{QStringLiteral("OTHER.DB"), QStringLiteral("qelda.db")}));
    }

    // Files and folders dropped on the page are imported as varo-cli takes
    // them; a file dropped elsewhere on the window becomes the database path.
    void droppedFilesAreImportedOrChosen() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        const QString folder = QFileInfo(fixture.MakeFile(QStringLiteral("b.wzl"))).path();
        fixture.MakeFile(QStringLiteral("A.WZL"));
        fixture.MakeFile(QStringLiteral("c.map"));
        QDir(folder).mkdir(QStringLiteral("sub.wzl"));
        const QString single = fixture.MakeFile(QStringLiteral("地图.map"));
        // The drop itself only takes the paths: the file manager's drag is
        // released before anything is looked at.
        DropFiles(page.编辑框_json文件, {folder, single}, false);
        QVERIFY(!page.IsImporting());
        QCoreApplication::processEvents();
        QVERIFY(page.IsImporting());  // the import goes on in the background
        QVERIFY(test::WaitForImport(page));
        const std::string empty = std::string(" ") + kEmptyMd5 + " 0\r\n";
        QCOMPARE(page.ResourceListText(), "A.WZL" + empty + "b.wzl" + empty + "地图.map" + empty);

        // Elsewhere a dropped database becomes the path; a folder, a pipe or
        // a file of another kind is refused at once and the path stays.
        MainWindow& window = fixture.harness.Window();
        test::TempDir pipes;
        window.选择夹1->setCurrentIndex(0);
        const QString database = fixture.harness.InputFile(QStringLiteral("服务器.DB"));
        test::CreateItemDatabase(database.toStdString(), 40, {});
        DropFiles(window.lightPillarPage->超级列表框1->viewport(), {database});
        QCOMPARE(window.编辑框_数据库文件路径->text(), QDir::toNativeSeparators(database));
        const struct {
            QString dropped;
            QString reason;
        } refused[] = {{single, QStringLiteral("文件为空，不是SQLite数据库")},
                       {folder, QStringLiteral("这是一个文件夹，不是数据库文件")},
                       {QString::fromStdString(test::MakePipe(pipes, "pipe.DB")),
                        QStringLiteral("不是普通文件")}};
        for (const auto& drop : refused) {
            const qsizetype before = fixture.harness.Messages().size();
            DropFiles(window.编辑框_数据库文件路径, {drop.dropped});
            QCOMPARE(window.编辑框_数据库文件路径->text(), QDir::toNativeSeparators(database));
            QCOMPARE(fixture.harness.Messages().size(), before + 1);
            QVERIFY(fixture.harness.Messages().last().text.contains(drop.reason));
        }
    }

    // Ctrl+A in a folder with sub-folders: the dialog gives the selection
    // back whole (one folder alone is still opened), and the page takes it
    // as a drop of the same paths.
    void aSelectionHoldingAFolderIsImportedAsADrop() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        const QString file = fixture.MakeFile(QStringLiteral("a.wzl"));
        const QString top = QFileInfo(file).path();
        QVERIFY(QDir(top).mkpath(QStringLiteral("data")));
        fixture.MakeFile(QStringLiteral("data/b.wzl"));
        const QString sub = top + QStringLiteral("/data");

        OpenFileRequest request;
        request.directory = top;
        request.multipleFiles = true;
        const std::unique_ptr<QFileDialog> dialog = CreateOpenFileDialog(nullptr, request);
        // Windows' own dialog decides this itself; Qt's is the one on Linux.
        const bool qtDialog = dialog->findChild<QListView*>(QStringLiteral("listView")) != nullptr;
#ifndef Q_OS_WIN
        QVERIFY(qtDialog);
#endif
        if (qtDialog) {
            dialog->selectFile(QStringLiteral("\"data\" \"a.wzl\""));
            static_cast<QDialog*>(dialog.get())->accept();  // as 打开 does
            QCOMPARE(dialog->result(), int(QDialog::Accepted));
            QCOMPARE(dialog->selectedFiles(), (QStringList{sub, file}));
            const std::unique_ptr<QFileDialog> one = CreateOpenFileDialog(nullptr, request);
            one->selectFile(QStringLiteral("data"));
            static_cast<QDialog*>(one.get())->accept();
            QCOMPARE(one->result(), int(QDialog::Rejected));
            QCOMPARE(QFileInfo(one->directory().path()).canonicalFilePath(),
                     QFileInfo(sub).canonicalFilePath());
        }

        fixture.harness.AnswerNextDialog({sub, file});
        QTest::mouseClick(page.按钮_导入资源文件, Qt::LeftButton);
        QVERIFY(test::WaitForImport(page));
        const std::string empty = std::string(" ") + kEmptyMd5 + " 0\r\n";
        QCOMPARE(page.ResourceListText(), "b.wzl" + empty + "a.wzl" + empty);
    }

    // A folder with an entry that cannot be examined is imported without it
    // and the summary names it; a folder with no file the mode takes imports
    // nothing and says so.
    void droppedFoldersSkipWhatCannotBeExamined() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        const QString folder = QFileInfo(fixture.MakeFile(QStringLiteral("b.wzl"))).path();
#ifdef Q_OS_WIN
        QSKIP("a link that loops needs POSIX symbolic links");
#endif
        QVERIFY(QFile::link(folder + QStringLiteral("/loop.wzl"),
                            folder + QStringLiteral("/loop.wzl")));
        // A pipe the mode would take is named too, and the drop does not wait for it.
        test::TempDir pipes;
        const std::string pipe = test::MakePipe(pipes, "pipe.wzl");
        QVERIFY(QFile::link(QString::fromStdString(pipe), folder + QStringLiteral("/pipe.wzl")));
        DropFiles(page.编辑框_json文件, {folder});
        QVERIFY(test::WaitForImport(page));
        QCOMPARE(page.ResourceListText(), std::string("b.wzl ") + kEmptyMd5 + " 0\r\n");
        QCOMPARE(fixture.harness.Messages().size(), 1);
        const QString summary = fixture.harness.Messages()[0].text;
        QVERIFY2(summary.contains(QStringLiteral("loop.wzl")) &&
                     summary.contains(QStringLiteral("pipe.wzl：不是普通文件")),
                 qPrintable(summary));

        const QString empty = fixture.harness.InputFile(QStringLiteral("empty"));
        QVERIFY(QDir().mkpath(empty));
        DropFiles(page.编辑框_json文件, {empty}, false);
        QCOMPARE(fixture.harness.Messages().size(), 1);  // no box while the drag is held
        QCoreApplication::processEvents();
        QCOMPARE(fixture.harness.Messages().size(), 2);
        QVERIFY(fixture.harness.Messages()[1].text.contains(
            QStringLiteral("没有当前模式可导入的文件")));
        QCOMPARE(page.ResourceListText(), std::string("b.wzl ") + kEmptyMd5 + " 0\r\n");
    }

    // One import of two folders that hold the same file name: the later
    // file's line stays and the summary names both paths.
    void theSameNameFromTwoFoldersIsNamed() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        const QString one = fixture.harness.InputFile(QStringLiteral("one"));
        const QString two = fixture.harness.InputFile(QStringLiteral("two"));
        QVERIFY(QDir().mkpath(one) && QDir().mkpath(two));
        test::WriteFile((one + QStringLiteral("/x.wzl")).toStdString(), "first");
        test::WriteFile((two + QStringLiteral("/x.wzl")).toStdString(), "abc");
        DropFiles(page.编辑框_json文件, {one, two});
        QVERIFY(test::WaitForImport(page));
        QCOMPARE(page.ResourceListText(),
                 std::string("x.wzl 900150983cd24fb0d6963f7d28e17f72 3\r\n"));
        QCOMPARE(fixture.harness.Messages().size(), 1);
        const test::ShownMessage& said = fixture.harness.Messages()[0];
        QCOMPARE(said.caption, QStringLiteral("同名文件"));
        QVERIFY2(said.text.contains(ShownPath((one + QStringLiteral("/x.wzl")).toStdString())) &&
                     said.text.contains(ShownPath((two + QStringLiteral("/x.wzl")).toStdString())),
                 qPrintable(said.text));
    }

    // The list box answers the keys and the mouse as a read-only text box:
    // the caret steps over a character outside the BMP as one, Up and Down
    // land on empty lines, Shift selects, Ctrl+A and Ctrl+C copy the whole.
    void theListBoxMovesAndSelectsAsATextBox() {
        const QString text = QStringLiteral("a.wzl 11 3\n\U00020000b.wzl 22 4\n\nc.wzl 33 5\n");
        const qsizetype second = 11;
        const qsizetype empty = 24;
        const qsizetype fourth = 25;
        struct Case {
            qsizetype from;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            qsizetype caret;
            QString selected;
        };
        const Case cases[] = {
            {0, Qt::Key_End, Qt::ControlModifier, text.size(), {}},
            {text.size(), Qt::Key_Home, Qt::ControlModifier, 0, {}},
            {second, Qt::Key_Right, Qt::NoModifier, second + 2, {}},
            {second + 2, Qt::Key_Left, Qt::NoModifier, second, {}},
            {second, Qt::Key_Right, Qt::ShiftModifier, second + 2, QStringLiteral("\U00020000")},
            {3, Qt::Key_End, Qt::NoModifier, 10, {}},
            {5, Qt::Key_Home, Qt::ShiftModifier, 0, QStringLiteral("a.wzl")},
            {0, Qt::Key_Down, Qt::ShiftModifier, second, QStringLiteral("a.wzl 11 3\n")},
            {second + 4, Qt::Key_Down, Qt::NoModifier, empty, {}},
            {fourth + 3, Qt::Key_Up, Qt::NoModifier, empty, {}},
            {fourth, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier, text.size(),
             QStringLiteral("c.wzl 33 5\n")},
            {0, Qt::Key_PageDown, Qt::NoModifier, text.size(), {}},
            {text.size(), Qt::Key_Right, Qt::NoModifier, text.size(), {}},
            {0, Qt::Key_Left, Qt::NoModifier, 0, {}},
        };
        LineListBox box;
        box.resize(300, 200);
        box.show();
        box.SetText(text);
        QCOMPARE(box.LineCount(), 5);
        for (const Case& c : cases) {
            const QByteArray label = QKeySequence(c.key | c.modifiers.toInt()).toString().toUtf8() +
                                     " from " + QByteArray::number(c.from);
            // Ctrl+Home or Ctrl+End first, then the keys to the place wanted.
            QTest::keyClick(&box, Qt::Key_Home, Qt::ControlModifier);
            for (qsizetype i = 0; i < c.from; ++i) {
                if (!text[i].isLowSurrogate()) {
                    QTest::keyClick(&box, Qt::Key_Right);
                }
            }
            QCOMPARE(box.Caret(), c.from);
            QTest::keyClick(&box, c.key, c.modifiers);
            QVERIFY2(box.Caret() == c.caret, label + " went to " + QByteArray::number(box.Caret()));
            QCOMPARE(box.SelectedText(), c.selected);
        }

        // Ctrl+A and Ctrl+C; more lines keep the selection.
        QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), text);
        box.AppendText(QStringLiteral("d.wzl 44 6\n"));
        QCOMPARE(box.LineCount(), 6);
        QCOMPARE(box.SelectedText(), text);

        // A click puts the caret, Shift+click selects to it, a double click selects a word.
        const int line = box.fontMetrics().lineSpacing();
        QWidget* area = box.viewport();
        QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, QPoint(1, 4 + line + line / 2));
        QCOMPARE(box.Caret(), second);
        QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier,
                          QPoint(1, 4 + 3 * line + line / 2));
        QCOMPARE(box.SelectedText(), QStringLiteral("\U00020000b.wzl 22 4\n\n"));
        QTest::mouseDClick(area, Qt::LeftButton, Qt::NoModifier,
                           QPoint(2, 4 + 3 * line + line / 2));
        QCOMPARE(box.SelectedText(), QStringLiteral("c.wzl"));
    }

    void modesAreOneExclusiveChoice() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        QTest::mouseClick(page.选择框_微端模式, Qt::LeftButton);
        QVERIFY(page.选择框_微端模式->isChecked());
        QVERIFY(!page.编辑框_自定义目录名->isEnabled());
        QVERIFY(page.Mode() == ManifestMode::MicroClient);

        QTest::mouseClick(page.选择框_自定义目录名, Qt::LeftButton);
        QVERIFY(page.选择框_自定义目录名->isChecked());
        QVERIFY(!page.选择框_微端模式->isChecked() && !page.选择框_热更模式->isChecked());
        QVERIFY(page.编辑框_自定义目录名->isEnabled());
        QVERIFY(page.Mode() == ManifestMode::CustomDirectory);
        page.编辑框_自定义目录名->setText(QStringLiteral("fonts"));

        QTest::mouseClick(page.选择框_热更模式, Qt::LeftButton);
        QVERIFY(page.选择框_热更模式->isChecked());
        QVERIFY(!page.选择框_自定义目录名->isChecked() && !page.选择框_微端模式->isChecked());
        QVERIFY(!page.编辑框_自定义目录名->isEnabled());
        QCOMPARE(page.编辑框_自定义目录名->text(), QStringLiteral("fonts"));
        QVERIFY(page.Mode() == ManifestMode::HotUpdate);
    }

    void importAppendsLinesInDialogOrder() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        const QString a = fixture.MakeFile(QStringLiteral("a.wzl"));
        const QString b = fixture.MakeFile(QStringLiteral("地图 1.map"), "abc");
        fixture.harness.AnswerNextDialog({b, a, a});  // one name twice: one entry
        QTest::mouseClick(page.按钮_导入资源文件, Qt::LeftButton);
        QVERIFY(test::WaitForImport(page));

        const OpenFileRequest request = fixture.harness.DialogRequests().last();
        QCOMPARE(request.title, QStringLiteral("选择对应的文件"));
        QCOMPARE(request.directory, QString::fromStdString(ProgramDirectory()));
        QCOMPARE(request.filter, QStringLiteral("资源文件(*.wzl;*.wzx)|*.wzl;*.wzx"));
        QVERIFY(request.multipleFiles);
        const std::string expected =
            std::string("地图 1.map 900150983cd24fb0d6963f7d28e17f72 3\r\n") + "a.wzl " +
            kEmptyMd5 + " 0\r\n";
        QCOMPARE(page.ResourceListText(), expected);
        QVERIFY(!page.分组框1->isVisible());
        QCOMPARE(page.进度条1->value(), page.进度条1->maximum());  // a full bar
        // Read-only, the list still answers the caret keys.
        LineListBox* list = page.编辑框_json文件;
        list->setFocus();
        QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(list->Caret(), list->Text().size());
        QTest::keyClick(list, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(list->Caret(), 0);

        // A second import of a name the list holds replaces its line in place.
        QTest::mouseClick(page.选择框_热更模式, Qt::LeftButton);
        test::WriteFile(b.toStdString(), "abcd");
        fixture.harness.AnswerNextDialog({b});
        QTest::mouseClick(page.按钮_导入资源文件, Qt::LeftButton);
        QVERIFY(test::WaitForImport(page));
        QCOMPARE(fixture.harness.DialogRequests().last().filter,
                 QStringLiteral("资源文件(*.wzl;*.wzx)|*.wzl;*.wzx|地图文件(*.map)|*.map|"
                                "声音文件(*.mp3)|*.mp3|全部热更资源(*.wzl;*.wzx;*.map;*.mp3)|"
                                "*.wzl;*.wzx;*.map;*.mp3"));

        // The dialog comes back with the type last chosen, while the mode offers it.
        const QString every = QStringLiteral("全部热更资源(*.wzl;*.wzx;*.map;*.mp3)");
        SetDialogFilters({{QStringLiteral("resources"), every}});
        fixture.harness.AnswerNextDialog({});
        QTest::mouseClick(page.按钮_导入资源文件, Qt::LeftButton);
        const OpenFileRequest again = fixture.harness.DialogRequests().last();
        QCOMPARE(again.selectedFilter, every);
        QVERIFY(CreateOpenFileDialog(nullptr, again)->selectedNameFilter().startsWith(every));
        // What the shown dialog reports of the chosen type (its patterns hidden)
        // is what it remembers.
        QCOMPARE(ChosenDescription(again.filter,
                                   CreateOpenFileDialog(nullptr, again)->selectedNameFilter()),
                 every);
        QTest::mouseClick(page.选择框_微端模式, Qt::LeftButton);
        fixture.harness.AnswerNextDialog({});
        QTest::mouseClick(page.按钮_导入资源文件, Qt::LeftButton);
        QCOMPARE(fixture.harness.DialogRequests().last().selectedFilter, QString());
        SetDialogFilters({});
        QCOMPARE(page.ResourceListText(),
                 std::string("地图 1.map e2fc714c4727ee9395f324cd2e7f331f 4\r\n") + "a.wzl " +
                     kEmptyMd5 + " 0\r\n");
        QCOMPARE(page.进度条1->value(), page.进度条1->maximum());

        QTest::mouseClick(page.按钮_清空json表内容, Qt::LeftButton);
        QCOMPARE(page.ResourceListText(), std::string());
        fixture.harness.AnswerNextDialog({});
        QTest::mouseClick(page.按钮_导入资源文件, Qt::LeftButton);
        QCOMPARE(page.ResourceListText(), std::string());
        QVERIFY(fixture.harness.Messages().isEmpty());
    }

    void unreadableAndUncarriableFilesAreSkippedAndNamed() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        const QString good = fixture.MakeFile(QStringLiteral("good.wzl"));
        // Every character the list's text breaks a line or a paragraph at, in
        // the names the file system allows (Windows refuses control characters).
        QStringList broken;
        for (const char16_t character :
             {u'\n', u'\r', u'\v', u'\f', u'\u0085', u'\u2028', u'\u2029', u'\uFDD0', u'\uFDD1'}) {
            QFile file(fixture.harness.InputFile(QStringLiteral("two") + QChar(character) +
                                                 QStringLiteral("lines.wzl")));
            if (file.open(QIODevice::WriteOnly)) {
                broken << file.fileName();
            }
        }
        QVERIFY(broken.size() >= 5);
        QVERIFY(test::ImportAndWait(
            page,
            QStringList{fixture.harness.InputFile(QStringLiteral("vanished.wzl")), good} + broken));
        QCOMPARE(page.ResourceListText(), std::string("good.wzl ") + kEmptyMd5 + " 0\r\n");
        QCOMPARE(fixture.harness.Messages().size(), 1);
        const QString text = fixture.harness.Messages()[0].text;
        QVERIFY(text.contains(QStringLiteral("vanished.wzl：文件或目录不存在")));
        for (const QString& path : broken) {
            // Shown with its line break as a visible symbol (␊), not as a break.
            QVERIFY2(text.contains(Visible(QFileInfo(path).fileName())), qPrintable(path));
        }
        QVERIFY(!text.contains(QStringLiteral("good.wzl")));
    }

    // The import runs in the background and the call returns at once; what
    // reads or changes the list waits, Esc cancels, closing the window cancels.
    void importLocksTheListAndCanBeCancelled() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        // No digest cache: files it remembers would be done before Esc is pressed.
        page.SetDigestCachePath({});
        QStringList files;
        for (int i = 0; i < 4; ++i) {
            files << fixture.MakeFile(QStringLiteral("big%1.wzl").arg(i),
                                      QByteArray(16 << 20, 'x'));
        }
        QVERIFY(test::ImportAndWait(page, files));
        const std::string imported = page.ResourceListText();
        QCOMPARE(std::count(imported.begin(), imported.end(), '\n'), 4L);
        QCOMPARE(page.进度条1->value(), page.进度条1->maximum());

        // Every control of the page but the list follows the one importing state.
        QList<QWidget*> controls;
        for (QWidget* control : page.findChildren<QWidget*>()) {
            if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control)) {
                controls << control;
            }
        }
        QVERIFY(controls.size() >= 9);
        enum class Then { Clicks, Escape, Close };
        for (const Then then : {Then::Clicks, Then::Escape, Then::Close}) {
            const QString small =
                fixture.MakeFile(QStringLiteral("small%1.wzl").arg(static_cast<int>(then)));
            const std::string before = page.ResourceListText();
            page.ImportFiles({files[0], files[1], files[2], small});
            QVERIFY(page.IsImporting());
            QVERIFY(std::none_of(controls.begin(), controls.end(),
                                 [](QWidget* w) { return w->isEnabled(); }));
            QVERIFY(page.进度条1->value() <
                    page.进度条1->maximum());  // not full from the last import
            if (then == Then::Clicks) {
                QTest::mouseClick(page.按钮_清空json表内容, Qt::LeftButton);
                QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
                // A drop while files are digested is answered, not dropped in silence.
                const qsizetype said = fixture.harness.Messages().size();
                page.ImportDroppedPaths({small});
                QCOMPARE(fixture.harness.Messages().size(), said + 1);
                QVERIFY(fixture.harness.Messages().last().text.startsWith(
                    QStringLiteral("正在计算上一批文件的MD5")));
            } else if (then == Then::Escape) {
                fixture.harness.PressEscape();
            } else {
                fixture.harness.Window().close();
            }
            QVERIFY(test::WaitForImport(page));
            QCOMPARE(page.按钮_导入资源文件->isEnabled(), true);
            QCOMPARE(page.编辑框_自定义目录名->isEnabled(), false);  // not in the custom mode
            const std::string list = page.ResourceListText();
            if (then == Then::Clicks) {
                QCOMPARE(list, imported + "small0.wzl " + kEmptyMd5 + " 0\r\n");
            } else {
                QCOMPARE(list, before);  // a cancelled import adds nothing
                QVERIFY(page.进度条1->value() < page.进度条1->maximum());  // it stopped early
            }
        }
        QVERIFY(!QFile::exists(fixture.harness.OutputFile(QStringLiteral("update.json"))));
        QCOMPARE(fixture.harness.Messages().size(), 1);  // the answer to the drop alone
    }

    // Lines whose file was deleted or changed after its digest are asked
    // about before a manifest is written from the list: removed, digested
    // again (and then written), written as listed, or nothing written.
    void aListOlderThanItsFilesIsAskedAbout() {
        enum class Answer { Remove, DigestAgain, AsListed, Cancel };
        const struct {
            const char* label;
            bool deleteA;
            bool changeB;
            Answer answer;
            bool exportIt;  // through 导出到发布目录… rather than 生成独立json文件
            QStringList listed;  // in update.json; empty: none written
        } cases[] = {
            {"files as digested: nothing asked",
             false,
             false,
             Answer::Cancel,
             false,
             {QStringLiteral("a.wzl 0cc175b9c0f1b6a831c399e269772661 1"),
              QStringLiteral("b.map 21ad0bd836b90d08f4cf640b4c298e7c 2")}},
            {"deleted, removed",
             true,
             false,
             Answer::Remove,
             false,
             {QStringLiteral("b.map 21ad0bd836b90d08f4cf640b4c298e7c 2")}},
            {"deleted and changed, digested again",
             true,
             true,
             Answer::DigestAgain,
             false,
             {QStringLiteral("b.map 4a8a08f09d37b73795649038408b5f33 1")}},
            {"changed, written as listed",
             false,
             true,
             Answer::AsListed,
             false,
             {QStringLiteral("a.wzl 0cc175b9c0f1b6a831c399e269772661 1"),
              QStringLiteral("b.map 21ad0bd836b90d08f4cf640b4c298e7c 2")}},
            {"deleted, cancelled", true, false, Answer::Cancel, false, {}},
            {"export: deleted, removed",
             true,
             false,
             Answer::Remove,
             true,
             {QStringLiteral("b.map 21ad0bd836b90d08f4cf640b4c298e7c 2")}},
        };
        for (const auto& c : cases) {
            ManifestFixture fixture;
            ManifestPage& page = fixture.Page();
            QTest::mouseClick(page.选择框_热更模式, Qt::LeftButton);
            const QString a = fixture.MakeFile(QStringLiteral("a.wzl"), "a");
            const QString b = fixture.MakeFile(QStringLiteral("b.map"), "bb");
            QVERIFY(test::ImportAndWait(page, {a, b}));
            if (c.deleteA) {
                QVERIFY(QFile::remove(a));
            }
            if (c.changeB) {
                fixture.MakeFile(QStringLiteral("b.map"), "c");
            }
            fixture.harness.AnswerNextChoice(c.answer == Answer::Cancel
                                                 ? std::nullopt
                                                 : std::optional<int>(static_cast<int>(c.answer)));
            const QString folder = c.exportIt ? fixture.harness.InputFile(QStringLiteral("publish"))
                                              : fixture.harness.OutputDirectory();
            if (c.exportIt) {
                fixture.harness.AnswerNextDialog({folder});
                page.ExportToPublishFolder();
            } else {
                QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
            }
            QVERIFY2(test::WaitForImport(page), c.label);
            QCOMPARE(fixture.harness.Choices().size(), c.deleteA || c.changeB ? 1 : 0);
            if (c.deleteA || c.changeB) {
                const QString asked = fixture.harness.Choices()[0];
                QVERIFY2(asked.contains(QStringLiteral("已删除的文件")) == c.deleteA, c.label);
                QVERIFY2(asked.contains(QStringLiteral("已更改的文件")) == c.changeB, c.label);
            }
            const QByteArray written = test::ReadBytes(folder + QStringLiteral("/update.json"));
            QVERIFY2(written.isNull() == c.listed.isEmpty(), c.label);
            QStringList entries;
            for (const QString& line : c.listed) {
                const QStringList parts = line.split(QLatin1Char(' '));
                entries << parts[0];
                QVERIFY2(written.contains(("\"md5\":\"" + parts[1] + "\"").toUtf8()), c.label);
            }
            QCOMPARE(written.count("\"filename\""), entries.size());
            // The list shows what was written.
            if (!c.listed.isEmpty()) {
                QCOMPARE(page.编辑框_json文件->Text(),
                         c.listed.join(QLatin1Char('\n')) + QLatin1Char('\n'));
            }
        }
    }

    // The list's context menu: the listed files exported into a publish
    // folder where update.json names them, update.json written last; the
    // folder checked against it; an export cancelled by Esc writes nothing.
    void publishFolderFromTheListAndItsCheck() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        QTest::mouseClick(page.选择框_热更模式, Qt::LeftButton);
        QVERIFY(test::ImportAndWait(page, {fixture.MakeFile(QStringLiteral("a.wzl"), "a"),
                                           fixture.MakeFile(QStringLiteral("b.map"), "bb")}));
        const QString publish = fixture.harness.InputFile(QStringLiteral("publish"));
        const QString manifest = publish + QStringLiteral("/update.json");
        const struct {
            const char* label;
            std::function<void()> before;
            bool exportFirst;
            QString said;  // how the last message starts
        } cases[] = {
            {"export into a new folder", [] {}, true, QStringLiteral("已导出到")},
            {"the folder matches", [] {}, false, QStringLiteral("“")},
            {"a file gone from the folder",
             [&] { QFile::remove(publish + QStringLiteral("/data/a.wzl")); }, false,
             QStringLiteral("“")},
        };
        for (const auto& c : cases) {
            c.before();
            fixture.harness.AnswerNextDialog({c.exportFirst ? publish : manifest});
            if (c.exportFirst) {
                page.ExportToPublishFolder();
            } else {
                page.CheckPublishFolder();
            }
            QVERIFY2(page.IsImporting(), c.label);
            QVERIFY(test::WaitForImport(page));
            QVERIFY2(fixture.harness.Messages().last().text.startsWith(c.said), c.label);
        }
        QVERIFY(fixture.harness.DialogRequests()[0].folder);
        QCOMPARE(test::ReadBytes(publish + QStringLiteral("/map/b.map")), QByteArray("bb"));
        QVERIFY(test::ReadBytes(manifest).contains("\"filename\":\"data/a.wzl\""));
        const QString& matched = fixture.harness.Messages()[1].text;
        QVERIFY2(matched.contains(QStringLiteral("2个条目全部相符")), qPrintable(matched));
        const QString& missing = fixture.harness.Messages()[2].text;
        QVERIFY2(missing.contains(QStringLiteral("缺失的文件（1项）：\n  data/a.wzl")),
                 qPrintable(missing));

        // Esc while the files are copied: update.json is not written, nothing is said.
        QVERIFY(test::ImportAndWait(
            page, {fixture.MakeFile(QStringLiteral("big.wzl"), QByteArray(64 << 20, 'x'))}));
        const QString other = fixture.harness.InputFile(QStringLiteral("other"));
        const qsizetype said = fixture.harness.Messages().size();
        fixture.harness.AnswerNextDialog({other});
        page.ExportToPublishFolder();
        fixture.harness.PressEscape();
        QVERIFY(test::WaitForImport(page));
        QVERIFY(!QFile::exists(other + QStringLiteral("/update.json")));
        QCOMPARE(fixture.harness.Messages().size(), said);
    }

    // 校验发布目录… with the address clients fetch from: each answer of the
    // server said under its heading, an old manifest in a cache named, the
    // address offered again next time and kept in the settings; Esc ends a
    // check that waits on a slow server, and nothing is said.
    void checkOfWhatAServerServes() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        QByteArray manifest =
            "{\"assets_version\":\"1\",\"md5list\":["
            "{\"filename\":\"data/a.wzl\",\"md5\":\"0cc175b9c0f1b6a831c399e269772661\","
            "\"size\":\"1\"}]}";
        bool fileThere = true;
        bool staleCache = false;
        int delay = 0;
        test::HttpTestServer server([&](const test::TestRequest& request) {
            const std::string path = request.target.substr(0, request.target.find('?'));
            if (path == "/pub/update.json") {
                const bool passes = request.headers.count("cache-control") != 0;
                return test::TestResponse(
                           200, staleCache && !passes ? std::string("{}") : manifest.toStdString())
                    .Delayed(delay);
            }
            return path == "/pub/data/a.wzl" && fileThere ? test::TestResponse(200, "a")
                                                          : test::TestResponse(404, "no");
        });
        const QString address = QString::fromStdString(server.Address() + "/pub/update.json");
        const struct {
            const char* label;
            std::function<void()> before;
            QString said;
        } cases[] = {
            {"the server serves the release", [] {}, QStringLiteral("的1个条目全部相符")},
            {"a file not uploaded", [&] { fileThere = false; },
             QStringLiteral("缺失的文件（1项）：\n  data/a.wzl（服务器返回404）")},
            {"an old manifest in a cache", [&] { fileThere = true, staleCache = true; },
             QStringLiteral("服务器前面的缓存仍在提供旧的清单")},
        };
        for (const auto& c : cases) {
            c.before();
            fixture.harness.AnswerNextDialog({address});
            page.CheckPublishFolder();
            QVERIFY2(page.IsImporting(), c.label);
            QVERIFY(test::WaitForImport(page));
            const QString& said = fixture.harness.Messages().last().text;
            QVERIFY2(said.contains(c.said), qPrintable(QString::fromUtf8(c.label) + ": " + said));
        }
        QCOMPARE(fixture.harness.VerifySourcesOffered(),
                 QStringList({QString(), address, address}));
        Settings settings;
        page.Remember(settings);
        QCOMPARE(QString::fromStdString(settings["manifest.verifyAddress"]), address);

        delay = 3000;
        const qsizetype said = fixture.harness.Messages().size();
        fixture.harness.AnswerNextDialog({address});
        page.CheckPublishFolder();
        QTest::qWait(200);
        fixture.harness.PressEscape();
        QVERIFY(test::WaitForImport(page));
        QCOMPARE(fixture.harness.Messages().size(), said);
    }

    void writersProduceTheExactBytes() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        QTest::mouseClick(page.选择框_热更模式, Qt::LeftButton);
        QVERIFY(test::ImportAndWait(page, {fixture.MakeFile(QStringLiteral("a.wzl")),
                                           fixture.MakeFile(QStringLiteral("b.map"))}));
        const QByteArray body =
            "{\r\n  \"filename\":\"data/a.wzl\",\r\n  "
            "\"md5\":\"d41d8cd98f00b204e9800998ecf8427e\",\r\n  \"size\":\"0\"\r\n},\r\n"
            "{\r\n  \"filename\":\"map/b.map\",\r\n  "
            "\"md5\":\"d41d8cd98f00b204e9800998ecf8427e\",\r\n  \"size\":\"0\"\r\n}";
        QTest::mouseClick(page.按钮_生成单json文件, Qt::LeftButton);
        QCOMPARE(test::ReadBytes(fixture.harness.OutputFile(QStringLiteral("单json文件.json"))),
                 body);
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QCOMPARE(
            test::ReadBytes(fixture.harness.OutputFile(QStringLiteral("update.json"))),
            "{\r\n  \"assets_version\":\"1.2.5\",\r\n  \"md5list\":[\r\n" + body + "\r\n  ]\r\n}");

        QCOMPARE(fixture.harness.Messages().size(), 2);
        QCOMPARE(fixture.harness.Messages()[0].caption, QStringLiteral("信息："));
        QCOMPARE(fixture.harness.Messages()[0].text,
                 QStringLiteral("json单文件写入本地成功！\n生成该目录下文件名：  单json文件.json"));
        QCOMPARE(fixture.harness.Messages()[1].text,
                 QStringLiteral("json单文件写入本地成功！\n生成该目录下文件名：  update.json"));

        // Custom directory mode with a version of our own; the list stays as it was.
        QTest::mouseClick(page.选择框_自定义目录名, Qt::LeftButton);
        page.编辑框_版本号->setText(QString());
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        const QByteArray custom =
            test::ReadBytes(fixture.harness.OutputFile(QStringLiteral("update.json")));
        QVERIFY(custom.contains("\"assets_version\":\"\","));
        QVERIFY(custom.contains("\"filename\":\"layout/a.wzl\""));
        QVERIFY(custom.contains("\"filename\":\"layout/b.map\""));
    }

    // A value pasted whole into a box is quoted within one line: the question
    // keeps its buttons on the screen.
    void questionsQuoteAtMostALineOfAValue() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        QVERIFY(test::ImportAndWait(page, {fixture.MakeFile(QStringLiteral("a.wzl"), "a")}));
        const QString pasted = QStringLiteral("版") + QString(32766, QLatin1Char('x'));
        page.编辑框_版本号->setMaxLength(32767);
        page.编辑框_版本号->setText(pasted);
        fixture.harness.AnswerNextQuestion(false);
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QCOMPARE(fixture.harness.Questions().size(), 1);
        const QString question = fixture.harness.Questions()[0];
        QVERIFY2(question.size() < 200, qPrintable(question.left(300)));
        QVERIFY(question.contains(QStringLiteral("版") + QString(37, QLatin1Char('x')) +
                                  QStringLiteral("…") + QString(38, QLatin1Char('x'))));
    }

    void releaseCheckAsksBeforeAnUnchangedVersion() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        const QString update = fixture.harness.OutputFile(QStringLiteral("update.json"));
        const QString a = fixture.MakeFile(QStringLiteral("a.wzl"), "aaa");
        QVERIFY(test::ImportAndWait(page, {a}));
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QVERIFY(fixture.harness.Questions().isEmpty());  // nothing to compare with
        const QByteArray released = test::ReadBytes(update);

        // A changed file under the same version: No writes nothing, Yes writes.
        fixture.MakeFile(QStringLiteral("a.wzl"), QByteArray(2 * 1024 * 1024, 'x'));
        QVERIFY(test::ImportAndWait(page, {a, fixture.MakeFile(QStringLiteral("b.wzl"), "bb")}));
        fixture.harness.AnswerNextQuestion(false);
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QCOMPARE(fixture.harness.Questions().size(), 1);
        const QString question = fixture.harness.Questions()[0];
        QVERIFY2(question.startsWith(QStringLiteral("版本号未变更")), qPrintable(question));
        QVERIFY2(question.endsWith(QStringLiteral("仍然生成吗？")), qPrintable(question));
        QVERIFY2(question.contains(QStringLiteral(
                     "新增1个，变更1个，删除0个，客户端需下载2097154字节（2.0\u00A0MB）")),
                 qPrintable(question));
        QVERIFY2(question.contains(QStringLiteral("下一个版本号可以是“1.2.6”")),
                 qPrintable(question));
        QCOMPARE(test::ReadBytes(update), released);
        const int messages = fixture.harness.Messages().size();
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QVERIFY(test::ReadBytes(update) != released);
        QCOMPARE(fixture.harness.Messages().size(), messages + 1);
        QCOMPARE(fixture.harness.Messages().last().text,
                 QStringLiteral("json单文件写入本地成功！\n生成该目录下文件名：  update.json"));

        // A raised version, or nothing changed: no question.
        page.编辑框_版本号->setText(QStringLiteral("1.2.10"));
        page.ClearResourceList();
        QVERIFY(test::ImportAndWait(page, {a}));
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QCOMPARE(fixture.harness.Questions().size(), 2);

        // A previous file that is no manifest: asked too, naming the reason.
        test::WriteFile(update.toStdString(), "not json");
        QVERIFY(test::ImportAndWait(page, {fixture.MakeFile(QStringLiteral("c.wzl"))}));
        fixture.harness.AnswerNextQuestion(false);
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QCOMPARE(fixture.harness.Questions().size(), 3);
        QVERIFY2(fixture.harness.Questions().last().contains(QStringLiteral("不是有效的清单")),
                 qPrintable(fixture.harness.Questions().last()));
        QCOMPARE(test::ReadBytes(update), QByteArray("not json"));
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QVERIFY(test::ReadBytes(update).contains("c.wzl"));
    }

    void emptyListAndAFailedWrite() {
        ManifestFixture fixture;
        ManifestPage& page = fixture.Page();
        QTest::mouseClick(page.按钮_生成单json文件, Qt::LeftButton);
        QCOMPARE(test::ReadBytes(fixture.harness.OutputFile(QStringLiteral("单json文件.json"))),
                 QByteArray(""));
        QVERIFY(QDir(fixture.harness.OutputDirectory()).mkdir(QStringLiteral("update.json")));
        QTest::mouseClick(page.按钮_生成独立json文件, Qt::LeftButton);
        QCOMPARE(fixture.harness.Messages().size(), 2);  // a warning, no success message
        QVERIFY(fixture.harness.Messages().last().kind == MessageKind::Warning);
    }
};

QTEST_MAIN(ManifestPageTest)
#include "ManifestPageTest.moc"
