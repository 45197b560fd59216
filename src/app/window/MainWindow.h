#pragma once

// window: the main window with its path row, tabs and drop routing (here),
// the low tab style (CompactTabStyle.h), the canvas every page places its
// controls on (PageCanvas.h), the program's artwork and links.

#include <QWidget>

#include <string>

#include "app/pages/pillar/LightPillarPage.h"
#include "db/SqliteConnection.h"

class QLineEdit;
class QPushButton;
class QTabWidget;

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

    LightPillarPage* lightPillarPage;
    FilterPage* filterPage;
    ManifestPage* manifestPage;
    AboutPage* aboutPage;

    void SelectDatabaseFile();
    // A file dropped outside the manifest page: the database path, when it
    // is an SQLite database; otherwise a warning, and the path stays.
    void UseDroppedDatabase(const QString& path);

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
};

// The caption: the program's name, a contact line, the version.
QString MainWindowCaption();

}  // namespace varo
