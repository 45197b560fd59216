#include "app/pages/pillar/LightPillarPage.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>

#include "app/application/Guarded.h"
#include "app/application/RememberedText.h"
#include "app/messages/FindingQuestion.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/OutputFile.h"
#include "app/messages/TextBridge.h"
#include "app/pages/DatabaseLoad.h"
#include "app/widgets/WrappingButton.h"
#include "jobs/LightPillarJob.h"
#include "platform/Path.h"

namespace varo {

namespace {

QLineEdit* CentredEdit(QWidget* parent, const char* text) {
    auto* edit = new QLineEdit(QString::fromUtf8(text), parent);
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}

constexpr RememberedText<LightPillarPage> kRememberedTexts[] = {
    {"pillar.color", "全部颜色", &LightPillarPage::编辑框_颜色值},
    {"pillar.effectCount", "特效图片数量自计算", &LightPillarPage::编辑框_特效图片数量自计算},
    {"pillar.fileNumber", "gz.wzl文件序号", &LightPillarPage::编辑框_光柱wzl文件序号},
};

}  // namespace

void LightPillarPage::Remember(Settings& settings) const {
    RememberTexts<LightPillarPage>(*this, kRememberedTexts, settings);
}

void LightPillarPage::Restore(const Settings& settings) {
    RestoreTexts<LightPillarPage>(*this, kRememberedTexts, settings);
}

QString LightPillarPage::SettingCaption(std::string_view name) {
    return CaptionOf<LightPillarPage>(kRememberedTexts, name);
}

LightPillarPage::LightPillarPage(QWidget* tabControl, ItemTableLoader& loader,
                                 ListHitTestRecord& hitTest, std::function<QString()> databasePath,
                                 std::string outputDirectory)
    : PageCanvas(tabControl),
      loader_(loader),
      hitTest_(hitTest),
      databasePath_(std::move(databasePath)),
      outputDirectory_(std::move(outputDirectory)) {
    QWidget* canvas = Canvas();
    标签5 = Place(new QLabel(QStringLiteral("全部颜色"), canvas), "标签5", 210, 22, 48, 16);
    编辑框_颜色值 = Place(CentredEdit(canvas, "255"), "编辑框_颜色值", 196, 39, 80, 20);
    标签6 =
        Place(new QLabel(QStringLiteral("特效图片数量自计算"), canvas), "标签6", 435, 23, 109, 16);
    编辑框_特效图片数量自计算 =
        Place(CentredEdit(canvas, "20"), "编辑框_特效图片数量自计算", 449, 39, 80, 20);
    标签8 = Place(new QLabel(QStringLiteral("gz.wzl文件序号"), canvas), "标签8", 569, 22, 83, 16);
    编辑框_光柱wzl文件序号 =
        Place(CentredEdit(canvas, "1"), "编辑框_光柱wzl文件序号", 571, 39, 80, 20);
    标签9 = Place(new QLabel(QStringLiteral("双击表格内容可单独修改"), canvas), "标签9", 15, 38,
                  136, 16);

    超级列表框1 = Place(new QTreeView(canvas), "超级列表框1", 7, 62, 704, 447);
    超级列表框1->setModel(&model_);
    超级列表框1->setRootIsDecorated(false);
    超级列表框1->setUniformRowHeights(true);
    超级列表框1->setItemsExpandable(false);
    超级列表框1->setAllColumnsShowFocus(true);
    超级列表框1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    超级列表框1->header()->setSectionsMovable(false);
    超级列表框1->header()->setStretchLastSection(false);
    for (int column = 0; column < kLightPillarColumnCount; ++column) {
        超级列表框1->header()->resizeSection(column, LightPillarModel::kWidths[column]);
    }
    超级列表框1->viewport()->installEventFilter(this);

    编辑框_AFI超级列表框编辑 =
        Place(new CellEditor(canvas), "编辑框_AFI超级列表框编辑", 87, 118, 80, 20);
    编辑框_AFI超级列表框编辑->setAlignment(Qt::AlignCenter);
    编辑框_AFI超级列表框编辑->hide();
    编辑框_AFI超级列表框编辑->onCommit = [this] { CommitCellEdit(); };
    编辑框_AFI超级列表框编辑->onCancel = [this] { CancelCellEdit(); };

    标签7 = Place(new QLabel(QStringLiteral("计算之前\n设置基本参数"), canvas), "标签7", 727, 71,
                  80, 32);
    按钮_DB一键计算 = Place(new WrappingButton(QStringLiteral("DB一键计算"), canvas),
                            "按钮_DB一键计算", 727, 110, 80, 32);
    按钮_生成光柱文件 = Place(new WrappingButton(QStringLiteral("生成光柱文件"), canvas),
                              "按钮_生成光柱文件", 727, 150, 80, 32);

    QObject::connect(按钮_DB一键计算, &QPushButton::clicked, this,
                     Guarded([this] { ComputeFromDatabase(); }));
    QObject::connect(按钮_生成光柱文件, &QPushButton::clicked, this,
                     Guarded([this] { WriteLightPillarFile(); }));
    // An editor left open while the list scrolls or a column is resized would
    // float over the wrong cell: such a change commits the edit first.
    const auto commitIfEditing = [this] {
        if (editing_) {
            CommitCellEdit();
        }
    };
    QObject::connect(超级列表框1->verticalScrollBar(), &QScrollBar::valueChanged, this,
                     commitIfEditing);
    QObject::connect(超级列表框1->horizontalScrollBar(), &QScrollBar::valueChanged, this,
                     commitIfEditing);
    QObject::connect(超级列表框1->header(), &QHeaderView::sectionResized, this, commitIfEditing);
}

void LightPillarPage::ComputeFromDatabase() {
    if (editing_) {
        CommitCellEdit();
    }
    loader_.Start(databasePath_(), kLightPillarItemColumns,
                  [this](ItemTable table) { ComputeFromTable(table); });
}

void LightPillarPage::ComputeFromTable(const ItemTable& table) {
    if (editing_) {
        CommitCellEdit();  // a cell opened while the table was read
    }
    const LightPillarParameters parameters{ToGbk(编辑框_颜色值->text()),
                                           ToGbk(编辑框_特效图片数量自计算->text()),
                                           ToGbk(编辑框_光柱wzl文件序号->text())};
    LightPillarComputation computed = ComputeLightPillarList(table, parameters);
    if (!ConfirmFinding(computed.shineValues)) {
        return;  // the list keeps its rows
    }
    // Cells typed by hand are the user's work: replaced only when they say so.
    if (model_.EditedCells() > 0 &&
        !AskQuestion(QStringLiteral("DB一键计算"),
                     QStringLiteral("列表中有%1个单元格是双击手动修改过的，重新计算会用新的结果"
                                    "替换整个列表，这些修改将丢失。\n\n仍然重新计算吗？")
                         .arg(model_.EditedCells()))) {
        return;
    }
    model_.ReplaceRows(std::move(computed.rows));
    if (computed.emptyNote) {
        ShowEmptyTableNote(*computed.emptyNote, QStringLiteral("DB一键计算"),
                           QStringLiteral("列表"));
    }
}

void LightPillarPage::WriteLightPillarFile() {
    if (editing_) {
        CommitCellEdit();
    }
    const PlannedOutput output = PlanLightPillarFile(model_.Rows(), outputDirectory_);
    if (!ConfirmFindings(output.findings) || !WriteOutputFile(output)) {
        return;
    }
    ShowMessage(MessageKind::Plain, QStringLiteral("生成成功！"),
                QStringLiteral(
                    "手机端光柱文件写入本地成功！\n\nCustomItemNameColors.txt 该文件在本目录下！"));
}

void LightPillarPage::BeginCellEdit(int x, int y) {
    QTreeView* list = 超级列表框1;
    // The list's client area holds the header above the rows.
    const QPoint inViewport = QPoint(x, y) - list->viewport()->pos();
    const QModelIndex hit =
        list->viewport()->rect().contains(inViewport) ? list->indexAt(inViewport) : QModelIndex();
    hitTest_.x = x;
    hitTest_.y = y;
    if (!hit.isValid()) {
        hitTest_.flags = 1;  // nowhere
        hitTest_.item = -1;
        hitTest_.subItem = 0;
        return;
    }
    hitTest_.flags = 4;  // on an item's label
    hitTest_.item = hit.row();
    hitTest_.subItem = hit.column();

    const QRect rowRect = list->visualRect(model_.index(hit.row(), 0));
    const QPoint rowPosition = rowRect.topLeft() + list->viewport()->pos();
    int left = list->x() + rowPosition.x();
    for (int column = 0; column < hit.column(); ++column) {
        left += list->header()->sectionSize(column);
    }
    QLineEdit* editor = 编辑框_AFI超级列表框编辑;
    editor->setGeometry(left, list->y() + rowPosition.y() + 1,
                        list->header()->sectionSize(hit.column()), editor->height());
    editor->setText(FromGbk(model_.CellText(hit.row(), hit.column())));

    editing_ = true;
    editor->show();
    editor->raise();
    list->setUpdatesEnabled(false);
    editor->setFocus(Qt::MouseFocusReason);
    editor->selectAll();
}

void LightPillarPage::CommitCellEdit() {
    // Hiding the focused editor costs it the focus, which commits again: the
    // second run finds nothing to do.
    if (!editing_) {
        return;
    }
    editing_ = false;
    // A name with a character GBK lacks keeps its own text beside the '?'
    // the file would hold, for the check before writing.
    const std::string typed = ToUtf8(编辑框_AFI超级列表框编辑->text());
    const std::optional<GbkText> exact = StrictUtf8ToGbk(typed);
    model_.SetCellText(hitTest_.item, hitTest_.subItem, exact ? *exact : Utf8ToGbk(typed),
                       exact ? std::string() : typed);
    编辑框_AFI超级列表框编辑->hide();
    超级列表框1->setUpdatesEnabled(true);
}

void LightPillarPage::CancelCellEdit() {
    if (!editing_) {
        return;
    }
    editing_ = false;  // hiding the editor costs it the focus: that commits nothing now
    编辑框_AFI超级列表框编辑->hide();
    超级列表框1->setUpdatesEnabled(true);
    超级列表框1->setFocus();
}

bool LightPillarPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == 超级列表框1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (editing_) {
                CommitCellEdit();
            }
            const QPoint client = mouse->position().toPoint() + 超级列表框1->viewport()->pos();
            BeginCellEdit(client.x(), client.y());
            return true;
        }
    }
    return PageCanvas::eventFilter(watched, event);
}

}  // namespace varo
