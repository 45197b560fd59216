#include "app/pages/DatabaseLoad.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <limits>
#include <new>
#include <utility>

#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/ProblemText.h"
#include "app/messages/SystemErrorText.h"
#include "app/messages/TextBridge.h"
#include "platform/Path.h"

namespace varo {
namespace {

// A load that ends sooner shows no box: most item tables take a moment.
constexpr int kBusyBoxDelayMilliseconds = 500;

}  // namespace

ItemTableLoader::ItemTableLoader(SqliteConnection& connection, QWidget& window)
    : QObject(&window), connection_(connection), window_(window) {
    QApplication::instance()->installEventFilter(this);
}

ItemTableLoader::~ItemTableLoader() {
    Stop();
    if (busyBox_ != nullptr) {
        QApplication::restoreOverrideCursor();  // the load's end will not come
    }
}

void ItemTableLoader::Stop() {
    cancel_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ItemTableLoader::Start(const QString& typed, std::vector<int> columns,
                            LoadedHandler onLoaded) {
    if (IsLoading()) {
        ShowMessage(MessageKind::Plain, QStringLiteral("正在载入"),
                    QStringLiteral("正在读取数据库，请等它完成（或按Esc取消）后再试。"));
        return;
    }
    // Pasted from Explorer's 复制为路径 the path comes in double quotes.
    std::string path = UnquotedPath(ToUtf8(typed.trimmed()));
    if (path.empty()) {
        ShowMessage(
            MessageKind::Warning, QStringLiteral("载入失败"),
            QStringLiteral("尚未选择数据库文件，请先点击“选择Sqlite数据库”。\n表格保持不变。"));
        return;
    }
    onLoaded_ = std::move(onLoaded);
    cancel_ = false;
    busyBox_ = new QProgressDialog(
        QStringLiteral("正在读取数据库“%1”……\n按Esc或“取消”停止，页面保持不变。")
            .arg(ShownPath(path)),
        QStringLiteral("取消"), 0, 0, &window_);
    busyBox_->setWindowTitle(QStringLiteral("载入数据库"));
    // Not modal: closing the window stays possible, and cancels the load.
    busyBox_->setWindowModality(Qt::NonModal);
    busyBox_->setAutoReset(false);
    busyBox_->setAutoClose(false);
    // Its own delay counts from the first progress value, which a load has not.
    busyBox_->setMinimumDuration(std::numeric_limits<int>::max());
    QTimer::singleShot(kBusyBoxDelayMilliseconds, busyBox_, &QWidget::show);
    QObject::connect(busyBox_, &QProgressDialog::canceled, this, [this] { Cancel(); });
    QApplication::setOverrideCursor(Qt::BusyCursor);
    thread_ = std::thread([this, path = std::move(path), columns = std::move(columns)] {
        ItemTable table;
        try {
            table = LoadItemTable(connection_, path, columns, &cancel_);
        } catch (const std::bad_alloc&) {
            table = ItemTable{};  // more than this machine can hold
            table.problem = ItemTable::Problem::TooLarge;
        } catch (...) {
            table = ItemTable{};
            table.problem = ItemTable::Problem::Sqlite;
            table.error = GbkText(GbkView("unexpected failure"));
        }
        // Queued to this object: dropped if the loader is destroyed first.
        QMetaObject::invokeMethod(
            this,
            [this, table = std::move(table), path]() mutable { Finish(std::move(table), path); },
            Qt::QueuedConnection);
    });
}

void ItemTableLoader::Cancel() {
    cancel_ = true;
}

void ItemTableLoader::Finish(ItemTable table, const std::string& path) {
    thread_.join();
    QApplication::restoreOverrideCursor();
    delete busyBox_;
    busyBox_ = nullptr;
    LoadedHandler onLoaded = std::move(onLoaded_);
    if (table.problem == ItemTable::Problem::Cancelled || cancel_) {
        return;  // the user stopped it: nothing to say, the page stays
    }
    if (!table.ok) {
        ShowMessage(MessageKind::Warning, QStringLiteral("载入失败"),
                    QStringLiteral("无法读取数据库“%1”：%2。\n表格保持不变。")
                        .arg(ShownPath(path), ItemTableProblemText(table)));
        return;
    }
    onLoaded(std::move(table));
}

bool ItemTableLoader::eventFilter(QObject* watched, QEvent* event) {
    if (IsLoading()) {
        if (watched == &window_ && event->type() == QEvent::Close) {
            Cancel();  // the window closes; the load ends at once
        } else if ((event->type() == QEvent::KeyPress ||
                    event->type() == QEvent::ShortcutOverride) &&
                   static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == &window_) {
                Cancel();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace varo
