#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "db/ItemTable.h"

class QProgressDialog;
class QWidget;

namespace varo {

// Reads the item table for the pillar and filter pages off the GUI thread,
// one load at a time on the window's one connection. A load that takes a
// while shows a box that says so; Esc, 取消 in that box, or closing the window
// cancels it, and the page keeps what it shows. A failed load is warned
// about (the path and the reason); only a table read whole reaches the page.
class ItemTableLoader : public QObject {
  public:
    using LoadedHandler = std::function<void(ItemTable table)>;

    // `window`: the window whose Esc and closing cancel a load.
    ItemTableLoader(SqliteConnection& connection, QWidget& window);
    ~ItemTableLoader() override;

    // Starts reading the database at the typed path (the given 1-based
    // columns); `onLoaded` runs on the GUI thread once it is read. A path
    // left empty, or a load already running, is said at once.
    void Start(const QString& typedPath, std::vector<int> columns, LoadedHandler onLoaded);
    void Cancel();
    bool IsLoading() const { return thread_.joinable(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Finish(ItemTable table, const std::string& path);
    // Cancels a load and waits for its thread: before the connection closes.
    void Stop();

    SqliteConnection& connection_;
    QWidget& window_;
    QProgressDialog* busyBox_ = nullptr;
    LoadedHandler onLoaded_;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace varo
