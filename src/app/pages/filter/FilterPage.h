#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/pages/DatabaseLoad.h"
#include "app/pages/filter/FilterGridModel.h"
#include "app/widgets/GridFindBox.h"
#include "app/window/PageCanvas.h"
#include "checks/Findings.h"

class QAction;
class QPushButton;

namespace varo {

class CommonDialog;
class FilterGridView;
class GridFindBox;

// pages/filter: the page "数据库过滤文件生成", its grid model
// (FilterGridModel.h), the grid with its frozen first column
// (FilterGridView.h, FrozenColumnView.h) and check-box cells
// (CheckCellDelegate.h).
//
// The page "数据库过滤文件生成": the filter grid, loaded from the item table or
// imported from a filter file, written as lsDefaultItemFilter.txt.
class FilterPage : public PageCanvas {
  public:
    FilterPage(QWidget* tabControl, ItemTableLoader& loader, CommonDialog& dialog,
               std::function<QString()> databasePath, std::string outputDirectory);

    FilterGridView* 高级表格_过滤文件生成;
    QPushButton* 按钮_载入数据库;
    QPushButton* 按钮_导入过滤文件;
    QPushButton* 按钮_生成手机过滤文件;
    QPushButton* 按钮_生成PC过滤文件;
    QPushButton* 按钮_全部显示极品;
    QPushButton* 按钮_取消全部显示极品;
    QPushButton* 按钮_全部显示;
    QPushButton* 按钮_取消全部显示;
    QPushButton* 按钮_全部捡取;
    QPushButton* 按钮_取消全部捡取;

    FilterGridModel& Model() { return model_; }

    // Reads the item table in the background; the grid is filled once it is read.
    void LoadFilterGrid();
    void SetFlagForAll(int column, bool value);
    void WriteFilterFile(FilterFileForm form);
    void ImportFilterFile();
    // The grid's context-menu action: flags from a filter file, by name.
    void ApplyFilterFile();
    QAction* 套用过滤文件动作;
    // Ctrl+F: the find box; F3 / Shift+F3 find again.
    QAction* 查找动作;
    GridFindBox* FindBox() const { return findBox_; }
    // Moves to the next row (by `step`) whose name holds `text`; false when none does.
    GridFindBox::Outcome FindRow(const QString& text, int step, bool includeCurrent);

  private:
    void FillGrid(const ItemTable& table);
    // True when the grid holds no flags set by hand since it was filled or
    // written, or the user answers 是 to losing them.
    bool ConfirmReplacingHandWork(const QString& caption);
    void SetColumnWidths(int width);
    QString ChooseFilterFile();
    // The rows of the file at `path`, or nothing after a warning that names
    // the file and the reason, or after the user declined a file that does
    // not look like a filter file.
    std::optional<FilterRows> ReadFilterFileOrWarn(const QString& path, FilterFileUse use);

    ItemTableLoader& loader_;
    CommonDialog& dialog_;
    std::function<QString()> databasePath_;
    std::string outputDirectory_;
    FilterGridModel model_;
    GridFindBox* findBox_;
};

}  // namespace varo
