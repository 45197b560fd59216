#include "app/window/MainWindow.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>

#include <algorithm>

#include "app/application/Guarded.h"
#include "app/application/RememberedText.h"
#include "app/messages/FileDialogs.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/ProblemText.h"
#include "app/messages/SystemErrorText.h"
#include "app/messages/TextBridge.h"
#include "app/pages/about/AboutPage.h"
#include "app/pages/filter/FilterPage.h"
#include "app/pages/manifest/ManifestPage.h"
#include "app/widgets/WrappingButton.h"
#include "app/window/Artwork.h"
#include "app/window/CompactTabStyle.h"
#include "db/ItemTable.h"
#include "platform/Path.h"
#include "platform/ProgramDirectory.h"

namespace varo {

namespace {

constexpr RememberedText<MainWindow> kRememberedTexts[] = {
    {"database", "数据库路径", &MainWindow::编辑框_数据库文件路径},
};

constexpr const char* kPageSetting = "page";

}  // namespace

const QSize MainWindow::kClientSize(820, 553);
const QSize MainWindow::kFrameSize(826, 582);

QString MainWindowCaption() {
    // No contact line: the program has no address of its own to name.
    return QStringLiteral("Varo三端引擎专用工具合集 - 版本号" VARO_VERSION);
}

MainWindow::MainWindow(SqliteConnection& connection, ListHitTestRecord& hitTest,
                       const std::string& outputDirectory)
    : connection_(connection) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(MainWindowCaption());
    setWindowIcon(ApplicationIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientSize);

    // The controls lie on a surface of the client area's size, in a scroll
    // area that shows scroll bars only where the window is smaller than it
    // (a large scale on a small screen).
    scrollArea_ = new QScrollArea(this);
    scrollArea_->setFrameShape(QFrame::NoFrame);
    auto* surface = new QWidget();
    surface->setObjectName(QStringLiteral("surface"));
    surface->setFixedSize(kClientSize);
    // In place before the pages are made: they find the window through it.
    scrollArea_->setWidget(surface);
    编辑框_数据库文件路径 = Place(new QLineEdit(surface), "编辑框_数据库文件路径", 8, 10, 248, 20);
    按钮_选择数据库 = Place(new WrappingButton(QStringLiteral("选择Sqlite数据库"), surface),
                            "按钮_选择数据库", 260, 8, 108, 23);
    通用对话框1 = new CommonDialog(this);
    选择夹1 = Place(new QTabWidget(surface), "选择夹1", 1, 34, 815, 514);
    auto* tabStyle = new CompactTabStyle();
    tabStyle->setParent(选择夹1);
    选择夹1->tabBar()->setStyle(tabStyle);
    选择夹1->setDocumentMode(false);

    const auto databasePath = [this] { return 编辑框_数据库文件路径->text(); };
    itemTableLoader = new ItemTableLoader(connection, *this);
    lightPillarPage =
        new LightPillarPage(选择夹1, *itemTableLoader, hitTest, databasePath, outputDirectory);
    filterPage =
        new FilterPage(选择夹1, *itemTableLoader, *通用对话框1, databasePath, outputDirectory);
    manifestPage = new ManifestPage(选择夹1, outputDirectory);
    aboutPage = new AboutPage(选择夹1);
    选择夹1->addTab(lightPillarPage, QStringLiteral("PC光柱转手机端同步"));
    选择夹1->addTab(filterPage, QStringLiteral("数据库过滤文件生成"));
    选择夹1->addTab(manifestPage, QStringLiteral("手游微端与热更json生成"));
    选择夹1->addTab(aboutPage, QStringLiteral("关于"));
    选择夹1->setCurrentIndex(0);

    QObject::connect(按钮_选择数据库, &QPushButton::clicked, this,
                     Guarded([this] { SelectDatabaseFile(); }));
    // Every widget of the window sees a file drop through the window first,
    // the text boxes included, which would otherwise take the names as text.
    setAcceptDrops(true);
    QCoreApplication::instance()->installEventFilter(this);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        FitInto(screen->availableGeometry());
    }
}

void MainWindow::FitInto(const QRect& available) {
    // The client area as large as the controls need, or as the part of the
    // screen that windows may use (without task bars) allows with the title
    // bar and borders around it; centred by its outer frame, whose title bar
    // stays on the screen, where the window can be moved by it.
    // Where one scroll bar is needed the room it takes is added across, so
    // that it does not bring the other.
    const QSize borders = kFrameSize - kClientSize;
    const QSize room = available.size() - borders;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    bool across = kClientSize.width() > room.width();
    bool down = kClientSize.height() > room.height();
    for (int pass = 0; pass < 2; ++pass) {
        across = across || kClientSize.width() + (down ? bar : 0) > room.width();
        down = down || kClientSize.height() + (across ? bar : 0) > room.height();
    }
    const QSize client(std::min(kClientSize.width() + (down ? bar : 0), room.width()),
                       std::min(kClientSize.height() + (across ? bar : 0), room.height()));
    setFixedSize(client);
    scrollArea_->setGeometry(rect());
    const QSize frame = client + borders;
    move(std::max(available.x(), available.x() + (available.width() - frame.width()) / 2),
         std::max(available.y(), available.y() + (available.height() - frame.height()) / 2));
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    for (int i = 0; i < 选择夹1->count(); ++i) {
        static_cast<PageCanvas*>(选择夹1->widget(i))->Align();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return QWidget::eventFilter(watched, event);
    }
    auto* target = qobject_cast<QWidget*>(watched);
    auto* drop = static_cast<QDropEvent*>(event);
    QStringList files;
    for (const QUrl& url : drop->mimeData()->urls()) {
        if (url.isLocalFile()) {
            files << url.toLocalFile();
        }
    }
    if (target == nullptr || target->window() != this || files.isEmpty()) {
        return QWidget::eventFilter(watched, event);
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        // The drop returns at once, so that the file manager's drag is
        // released: looking at the files, listing folders and any message
        // come after, from the event loop.
        const bool onManifestPage = target == manifestPage || manifestPage->isAncestorOf(target);
        QMetaObject::invokeMethod(this, Guarded([this, files, onManifestPage] {
                                      if (onManifestPage) {
                                          manifestPage->ImportDroppedPaths(files);
                                      } else {
                                          UseDroppedDatabase(files.first());
                                      }
                                  }),
                                  Qt::QueuedConnection);
    }
    return true;
}

void MainWindow::UseDroppedDatabase(const QString& path) {
    // A folder or a file of another kind is refused at once, not at the next
    // load; the path box keeps what it holds.
    const std::string file = ToUtf8(path);
    const DatabaseFileCheck check = CheckDatabaseFile(file);
    if (check.kind == DatabaseFileCheck::Kind::Database) {
        编辑框_数据库文件路径->setText(FromUtf8(DisplayPath(file)));
        return;
    }
    ShowMessage(MessageKind::Warning, QStringLiteral("选择数据库"),
                QStringLiteral("“%1”：%2。\n数据库路径保持不变。")
                    .arg(ShownPath(file), DatabaseFileProblemText(check)));
}

MainWindow::~MainWindow() {
    delete itemTableLoader;  // a load still running ends before its connection closes
    connection_.Close();     // nothing happens when no database was ever opened
}

Settings MainWindow::RememberedSettings() const {
    Settings settings;
    RememberTexts<MainWindow>(*this, kRememberedTexts, settings);
    settings[kPageSetting] = std::to_string(选择夹1->currentIndex());
    lightPillarPage->Remember(settings);
    manifestPage->Remember(settings);
    RememberDialogs(settings);
    return settings;
}

void MainWindow::Restore(const Settings& settings) {
    RestoreTexts<MainWindow>(*this, kRememberedTexts, settings);
    if (const auto page = settings.find(kPageSetting); page != settings.end()) {
        const std::string& text = page->second;
        if (text.size() == 1 && text[0] >= '0' && text[0] - '0' < 选择夹1->count()) {
            选择夹1->setCurrentIndex(text[0] - '0');
        }
    }
    lightPillarPage->Restore(settings);
    manifestPage->Restore(settings);
    RestoreDialogs(settings);
}

QString MainWindow::SettingCaption(std::string_view name) {
    for (const QString& caption :
         {CaptionOf<MainWindow>(kRememberedTexts, name), LightPillarPage::SettingCaption(name),
          ManifestPage::SettingCaption(name), DialogSettingCaption(name)}) {
        if (!caption.isEmpty()) {
            return caption;
        }
    }
    return FromUtf8(name);
}

void MainWindow::SelectDatabaseFile() {
    const QString path = 通用对话框1->ChooseDatabase(this, FromUtf8(ProgramDirectory()));
    if (!path.isEmpty()) {
        编辑框_数据库文件路径->setText(FromUtf8(DisplayPath(ToUtf8(path))));
    }
}

}  // namespace varo
