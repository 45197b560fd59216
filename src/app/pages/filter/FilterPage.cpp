#include "app/pages/filter/FilterPage.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

#include "app/application/Guarded.h"
#include "app/messages/FileDialogs.h"
#include "app/messages/FindingQuestion.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/OutputFile.h"
#include "app/messages/SystemErrorText.h"
#include "app/messages/TextBridge.h"
#include "app/pages/DatabaseLoad.h"
#include "app/pages/filter/FilterGridView.h"
#include "app/widgets/GridFindBox.h"
#include "app/widgets/WrappingButton.h"
#include "jobs/FilterJob.h"
#include "platform/Path.h"

namespace varo {
namespace {

constexpr int kLoadedColumnWidth = 110;

QString FilterImportRefusalText(const QString& path, const FilterFileRefusal& refusal) {
    QString reason;
    if (refusal.characterOutsideGbk) {
        const QString character = ShownUtf8(refusal.bytes);
        const char32_t codePoint = character.isEmpty() ? 0 : character.toUcs4().front();
        reason = QStringLiteral("第%1行的字符“%2”（U+%3）无法用GBK编码表示")
                     .arg(refusal.line)
                     .arg(character)
                     .arg(QStringLiteral("%1")
                              .arg(static_cast<uint>(codePoint), 4, 16, QLatin1Char('0'))
                              .toUpper());
    } else {
        QStringList hex;
        for (const char c : refusal.bytes) {
            hex << QStringLiteral("%1")
                       .arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'))
                       .toUpper();
        }
        reason = QStringLiteral("第%1行含有既不是UTF-8也不是GBK编码的字节（%2）")
                     .arg(refusal.line)
                     .arg(hex.join(QLatin1Char(' ')));
    }
    return QStringLiteral("文件“%1”未导入：%2。\n表格保持不变。")
        .arg(ShownPath(ToUtf8(path)), reason);
}

}  // namespace

FilterPage::FilterPage(QWidget* tabControl, ItemTableLoader& loader, CommonDialog& dialog,
                       std::function<QString()> databasePath, std::string outputDirectory)
    : PageCanvas(tabControl),
      loader_(loader),
      dialog_(dialog),
      databasePath_(std::move(databasePath)),
      outputDirectory_(std::move(outputDirectory)) {
    QWidget* canvas = Canvas();
    高级表格_过滤文件生成 =
        Place(new FilterGridView(canvas), "高级表格_过滤文件生成", 7, 28, 581, 479);
    高级表格_过滤文件生成->setModel(&model_);
    SetColumnWidths(FilterGridView::kDesignColumnWidth);

    const auto button = [canvas](const char* caption, const char* name, int x, int y, int w,
                                 int h) {
        return Place(new WrappingButton(QString::fromUtf8(caption), canvas), name, x, y, w, h);
    };
    按钮_载入数据库 = button("载入数据库", "按钮_载入数据库", 608, 34, 80, 32);
    按钮_导入过滤文件 = button("导入过滤文件", "按钮_导入过滤文件", 720, 34, 80, 32);
    按钮_生成手机过滤文件 =
        button("生成手机版过滤文件[UTF-8编码]", "按钮_生成手机过滤文件", 607, 78, 192, 32);
    按钮_生成PC过滤文件 =
        button("生成PC版过滤文件[ANSI编码]", "按钮_生成PC过滤文件", 608, 120, 192, 32);
    按钮_全部显示极品 = button("全部显示极品", "按钮_全部显示极品", 592, 174, 108, 32);
    按钮_取消全部显示极品 = button("取消全部显示极品", "按钮_取消全部显示极品", 592, 214, 107, 32);
    按钮_全部显示 = button("全部显示", "按钮_全部显示", 720, 174, 80, 32);
    按钮_取消全部显示 = button("取消全部显示", "按钮_取消全部显示", 720, 216, 80, 32);
    按钮_全部捡取 = button("全部捡取", "按钮_全部捡取", 720, 256, 80, 32);
    按钮_取消全部捡取 = button("取消全部捡取", "按钮_取消全部捡取", 720, 298, 80, 32);

    // The captions stay as the users know them; the tooltips name the column each acts on.
    for (const auto& [bulk, column] : {std::pair{按钮_全部显示极品, kFilterBestColumn},
                                       std::pair{按钮_取消全部显示极品, kFilterBestColumn},
                                       std::pair{按钮_全部显示, kFilterAutoPickUpColumn},
                                       std::pair{按钮_取消全部显示, kFilterAutoPickUpColumn},
                                       std::pair{按钮_全部捡取, kFilterShowNameColumn},
                                       std::pair{按钮_取消全部捡取, kFilterShowNameColumn}}) {
        bulk->setToolTip(QStringLiteral("作用于“%1”列")
                             .arg(QString::fromUtf8(FilterGridModel::kTitles[column])));
    }
    const auto on = [this](QPushButton* source, auto handler) {
        QObject::connect(source, &QPushButton::clicked, this, Guarded(handler));
    };
    on(按钮_载入数据库, [this] { LoadFilterGrid(); });
    on(按钮_导入过滤文件, [this] { ImportFilterFile(); });
    on(按钮_生成手机过滤文件, [this] { WriteFilterFile(FilterFileForm::Mobile); });
    on(按钮_生成PC过滤文件, [this] { WriteFilterFile(FilterFileForm::Pc); });
    // The captions cross over: the 显示 buttons act on "自动捡取", the 捡取 buttons on "显示名字".
    on(按钮_全部显示极品, [this] { SetFlagForAll(kFilterBestColumn, true); });
    on(按钮_取消全部显示极品, [this] { SetFlagForAll(kFilterBestColumn, false); });
    on(按钮_全部显示, [this] { SetFlagForAll(kFilterAutoPickUpColumn, true); });
    on(按钮_取消全部显示, [this] { SetFlagForAll(kFilterAutoPickUpColumn, false); });
    on(按钮_全部捡取, [this] { SetFlagForAll(kFilterShowNameColumn, true); });
    on(按钮_取消全部捡取, [this] { SetFlagForAll(kFilterShowNameColumn, false); });

    // The grid's context menu: a filter file written for an earlier database
    // gives its flags to the rows of the same names.
    套用过滤文件动作 = new QAction(QStringLiteral("按名称套用过滤文件…"), this);
    QObject::connect(套用过滤文件动作, &QAction::triggered, this,
                     Guarded([this] { ApplyFilterFile(); }));
    // Find by name: a box over the grid's lower edge.
    findBox_ = new GridFindBox(高级表格_过滤文件生成,
                               [this](const QString& text, int step, bool includeCurrent) {
                                   return FindRow(text, step, includeCurrent);
                               });
    const auto action = [this](const char* caption, const QKeySequence& keys, auto handler) {
        auto* created = new QAction(QString::fromUtf8(caption), this);
        created->setShortcut(keys);
        // Wherever the focus is (the path box too) while this page is shown.
        created->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(created, &QAction::triggered, this, Guarded(handler));
        addAction(created);
        return created;
    };
    查找动作 =
        action("查找物品名字…", QKeySequence(Qt::CTRL | Qt::Key_F), [this] { findBox_->Open(); });
    action("查找下一个", QKeySequence(Qt::Key_F3), [this] { findBox_->FindAgain(1); });
    action("查找上一个", QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { findBox_->FindAgain(-1); });
    高级表格_过滤文件生成->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(高级表格_过滤文件生成, &QWidget::customContextMenuRequested, this,
                     [this](const QPoint& at) {
                         QMenu menu(高级表格_过滤文件生成);
                         menu.addAction(套用过滤文件动作);
                         menu.addAction(查找动作);
                         menu.exec(高级表格_过滤文件生成->viewport()->mapToGlobal(at));
                     });
}

GridFindBox::Outcome FilterPage::FindRow(const QString& text, int step, bool includeCurrent) {
    // A character GBK lacks is in no name.
    const std::optional<GbkText> needle = StrictUtf8ToGbk(ToUtf8(text));
    const int rows = model_.rowCount();
    if (!needle || rows == 0) {
        return {};
    }
    const QModelIndex current = 高级表格_过滤文件生成->currentIndex();
    const int start = !current.isValid() ? (step < 0 ? rows - 1 : 0)
                                         : current.row() + (includeCurrent ? 0 : step);
    const std::ptrdiff_t row = FindFilterRow(model_.Rows(), *needle, start, step);
    if (row < 0) {
        return {};
    }
    FilterGridView* grid = 高级表格_过滤文件生成;
    grid->GoToRow(static_cast<int>(row));
    const int rowTop = grid->viewport()->y() + grid->rowViewportPosition(static_cast<int>(row));
    findBox_->KeepClearOf(rowTop, rowTop + grid->rowHeight(static_cast<int>(row)) - 1);
    const FilterMatchPlace place =
        PlaceAmongMatches(model_.Rows(), *needle, static_cast<std::size_t>(row));
    // Past the last row (or before the first) and round from the other end.
    const bool wrapped = current.isValid() && (step > 0 ? row < start : row > start);
    return {true, place.ordinal, place.count, wrapped};
}

void FilterPage::SetColumnWidths(int width) {
    for (int column = 0; column < kFilterColumnCount; ++column) {
        高级表格_过滤文件生成->setColumnWidth(column, width);
    }
}

void FilterPage::LoadFilterGrid() {
    // A failed or cancelled read keeps the grid as it is, the user's ticks included.
    loader_.Start(databasePath_(), kFilterItemColumns,
                  [this](ItemTable table) { FillGrid(table); });
}

void FilterPage::FillGrid(const ItemTable& table) {
    if (!ConfirmReplacingHandWork(QStringLiteral("载入数据库"))) {
        return;
    }
    FilterGridFill fill = FillFilterGrid(table);
    model_.Load(std::move(fill.rows));
    SetColumnWidths(kLoadedColumnWidth);
    if (fill.emptyNote) {
        ShowEmptyTableNote(*fill.emptyNote, QStringLiteral("载入数据库"), QStringLiteral("表格"));
    }
}

bool FilterPage::ConfirmReplacingHandWork(const QString& caption) {
    const std::size_t changed = model_.ChangedRows();
    return changed == 0 ||
           AskQuestion(caption, QStringLiteral("表格中有%1行的标记是载入后手动设置的，还没有生成过"
                                               "过滤文件。%2会替换整个表格，这些标记将丢失。"
                                               "\n\n仍然%2吗？")
                                    .arg(QString::number(changed), caption));
}

void FilterPage::SetFlagForAll(int column, bool value) {
    model_.SetFlagForAll(column, value);
}

void FilterPage::WriteFilterFile(FilterFileForm form) {
    const FilterFilePlan plan = PlanFilterFile(model_.Rows(), form, outputDirectory_);
    if (plan.nameWithoutUtf8) {
        ShowMessage(MessageKind::Warning, QStringLiteral("生成失败"),
                    QStringLiteral("第%1行物品“%2”的名字无法转换为UTF-8编码，过滤文件未生成。")
                        .arg(QString::number(*plan.nameWithoutUtf8 + 1),
                             ShownGbk(model_.Rows()[*plan.nameWithoutUtf8].itemName)));
        return;
    }
    if (!ConfirmFindings(plan.output.findings) || !WriteOutputFile(plan.output)) {
        return;
    }
    model_.MarkWritten();
    ShowMessage(
        MessageKind::Plain, QStringLiteral("生成成功"),
        QStringLiteral("列表过滤文件写入成功！\n本地已生成  lsDefaultItemFilter.txt  文件"));
}

// The rows of the filter file at `path`, or nothing after a warning that
// names the file and the reason.
std::optional<FilterRows> FilterPage::ReadFilterFileOrWarn(const QString& path, FilterFileUse use) {
    FilterFileSource source = ReadFilterFileSource(ToUtf8(path), use);
    FilterFileRead& read = source.read;
    const auto warn = [](const QString& text) {
        ShowMessage(MessageKind::Warning, QStringLiteral("导入失败"), text);
    };
    const QString shown = ShownPath(ToUtf8(path));
    switch (read.status) {
        case FilterFileRead::Status::Ok:
            break;
        case FilterFileRead::Status::Unreadable:
            warn(QStringLiteral("无法读取文件“%1”：%2。\n表格保持不变。")
                     .arg(shown, SystemErrorText(read.error, FileAccess::Read)));
            return std::nullopt;
        case FilterFileRead::Status::TooLarge:
            warn(QStringLiteral("文件“%1”大于%2，不是过滤文件，未读取。\n表格保持不变。")
                     .arg(shown, SizeText(read.sizeLimit)));
            return std::nullopt;
        case FilterFileRead::Status::TooManyLines:
            warn(QStringLiteral("文件“%1”有%2行以上，不是过滤文件，未读取。\n表格保持不变。")
                     .arg(shown)
                     .arg(kMaxFilterFileLines));
            return std::nullopt;
        case FilterFileRead::Status::Refused:
            warn(FilterImportRefusalText(path, read.refusal));
            return std::nullopt;
    }
    if (!ConfirmFinding(source.finding)) {
        return std::nullopt;
    }
    return TakeFilterRows(read);
}

QString FilterPage::ChooseFilterFile() {
    return dialog_.ChooseFilterFile(window(), FromUtf8(outputDirectory_));
}

void FilterPage::ImportFilterFile() {
    // Cancelled, unreadable, or neither UTF-8 nor GBK: the grid keeps the user's rows.
    const QString path = ChooseFilterFile();
    if (path.isEmpty()) {
        return;
    }
    std::optional<FilterRows> rows = ReadFilterFileOrWarn(path, FilterFileUse::Import);
    if (!rows || !ConfirmReplacingHandWork(QStringLiteral("导入过滤文件"))) {
        return;
    }
    model_.Import(std::move(*rows));
    SetColumnWidths(FilterGridView::kDesignColumnWidth);
}

void FilterPage::ApplyFilterFile() {
    const QString path = ChooseFilterFile();
    if (path.isEmpty()) {
        return;
    }
    const std::optional<FilterRows> file = ReadFilterFileOrWarn(path, FilterFileUse::Apply);
    if (!file) {
        return;
    }
    const FilterApplication applied = model_.ApplyFilterRows(*file);
    QString text = QStringLiteral("已按名称为%1行设置了标记。").arg(applied.rowsSet);
    if (applied.repeatedNames > 0) {
        text += QStringLiteral("\n其中%1个名字出现在多行：同名的行按顺序与文件中同名的行一一对应。")
                    .arg(applied.repeatedNames);
    }
    if (!applied.namesNotFound.empty()) {
        text += QStringLiteral("\n过滤文件中有%1个名字不在数据库中：\n")
                    .arg(applied.namesNotFound.size()) +
                ListedLines(
                    applied.namesNotFound, [](const GbkText& name) { return ShownGbk(name); },
                    QStringLiteral("个"));
    }
    ShowMessage(MessageKind::Plain, QStringLiteral("套用完成"), text);
}

}  // namespace varo
