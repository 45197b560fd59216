#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/pages/DatabaseLoad.h"
#include "app/pages/pillar/CellEditor.h"
#include "app/pages/pillar/LightPillarModel.h"
#include "app/pages/pillar/ListHitTestRecord.h"
#include "app/window/PageCanvas.h"
#include "settings/SettingsFile.h"

class QLabel;
class QPushButton;
class QTreeView;

namespace varo {

// pages/pillar: the page "PC光柱转手机端同步", its list model (LightPillarModel.h),
// the in-place cell editor (CellEditor.h) and where a double-click landed
// (ListHitTestRecord.h).
//
// The page "PC光柱转手机端同步": computes one row per item whose PC shine value
// is 100 or more, lets the user edit single cells, writes CustomItemNameColors.txt.
class LightPillarPage : public PageCanvas {
  public:
    LightPillarPage(QWidget* tabControl, ItemTableLoader& loader, ListHitTestRecord& hitTest,
                    std::function<QString()> databasePath, std::string outputDirectory);

    QLabel* 标签5;
    QLineEdit* 编辑框_颜色值;
    QLabel* 标签6;
    QLineEdit* 编辑框_特效图片数量自计算;
    QLabel* 标签8;
    QLineEdit* 编辑框_光柱wzl文件序号;
    QLabel* 标签9;
    QTreeView* 超级列表框1;
    CellEditor* 编辑框_AFI超级列表框编辑;
    QLabel* 标签7;
    QPushButton* 按钮_DB一键计算;
    QPushButton* 按钮_生成光柱文件;

    LightPillarModel& Model() { return model_; }

    // The three parameters are remembered between runs.
    void Remember(Settings& settings) const;
    void Restore(const Settings& settings);
    // The caption of one of this page's settings; empty for any other name.
    static QString SettingCaption(std::string_view name);

    // Reads the item table in the background; the list is computed once it is read.
    void ComputeFromDatabase();
    void WriteLightPillarFile();
    // (x, y) in the list's client coordinates, its header included.
    void BeginCellEdit(int x, int y);
    void CommitCellEdit();
    // Closes the editor and leaves the cell's text as it was.
    void CancelCellEdit();
    bool IsEditing() const { return editing_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ComputeFromTable(const ItemTable& table);

    ItemTableLoader& loader_;
    ListHitTestRecord& hitTest_;
    std::function<QString()> databasePath_;
    std::string outputDirectory_;
    LightPillarModel model_;
    bool editing_ = false;
};

}  // namespace varo
