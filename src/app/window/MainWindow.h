#pragma once

// window: the main window with its path row, tabs and drop routing (here),
// the low tab style (CompactTabStyle.h), the canvas every page places its
// controls on (PageCanvas.h), the program's artwork and links.

#include <QWidget>

#include <string>
#include <string_view>

#include "app/pages/pillar/LightPillarPage.h"
#include "db/SqliteConnection.h"
#include "settings/SettingsFile.h"

class QLineEdit;
class QPushButton;
class QTabWidget;

class QScrollArea;

namespace varo {

class AboutPage;
class CommonDialog;
class FilterPage;
class ManifestPage;

// The one window: the database path row above four tabbed pages.
class MainWindow : public QWidget {
  public:
    // `outputDirectory` (the file system's bytes) is where the pages write their files: the
    // program's own directory when the program runs.
    MainWindow(SqliteConnection& connection, ListHitTestRecord& hitTest,
               const std::string& outputDirectory);
    ~MainWindow() override;

    QLineEdit* 编辑框_数据库文件路径;
    QPushButton* 按钮_选择数据库;
    CommonDialog* 通用对话框1;
    QTabWidget* 选择夹1;

    // Reads the item table for the pillar and filter pages, one load at a time.
    ItemTableLoader* itemTableLoader;
    LightPillarPage* lightPillarPage;
    FilterPage* filterPage;
    ManifestPage* manifestPage;
    AboutPage* aboutPage;

    void SelectDatabaseFile();
    // A file dropped outside the manifest page: the database path, when it
    // is an SQLite database; otherwise a warning, and the path stays.
    void UseDroppedDatabase(const QString& path);

    // What the window remembers between runs: the database path, the page
    // shown, each page's own settings and the file dialogs' last folders and
    // types. A remembered value that does not fit (an unknown mode, a page
    // that does not exist) leaves its control as it is.
    Settings RememberedSettings() const;
    void Restore(const Settings& settings);
    // What the user calls setting `name`: the caption beside its box.
    static QString SettingCaption(std::string_view name);

    // Sizes and places the window for a screen area: the whole client area
    // where it fits, else as much as fits, the rest reached by scroll bars.
    void FitInto(const QRect& available);

    static const QSize kClientSize;
    // The client area with the title bar and the borders around it.
    static const QSize kFrameSize;

  protected:
    void showEvent(QShowEvent* event) override;
    // Files dropped anywhere on the window: on the manifest page they are
    // imported, elsewhere the first file becomes the database path.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    SqliteConnection& connection_;
    QScrollArea* scrollArea_;
};

// The caption: the program's name, a contact line, the version.
QString MainWindowCaption();

}  // namespace varo
