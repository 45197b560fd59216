#include "app/pages/manifest/ManifestPage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QToolTip>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "app/application/Guarded.h"
#include "app/application/RememberedText.h"
#include "app/messages/FileDialogs.h"
#include "app/messages/FindingQuestion.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/OutputFile.h"
#include "app/messages/ProblemText.h"
#include "app/messages/SystemErrorText.h"
#include "app/messages/TextBridge.h"
#include "app/pages/manifest/ProgressTask.h"
#include "app/pages/manifest/VerifySourceDialog.h"
#include "app/widgets/LineListBox.h"
#include "app/widgets/WrappingButton.h"
#include "digest/FileDigest.h"
#include "jobs/PublishJob.h"
#include "jobs/ResourceImportJob.h"
#include "manifest/ReleaseCheck.h"
#include "manifest/ResourceImport.h"
#include "manifest/ResourcePaths.h"
#include "platform/Path.h"
#include "platform/ProgramDirectory.h"

namespace varo {
namespace {

const QString kDirectoryHint = QStringLiteral("可空数据\n\n默认字体目录");

QLabel* Label(QWidget* parent, const char* text) {
    return new QLabel(QString::fromUtf8(text), parent);
}

QString DialogFilter(ManifestMode mode) {
    QStringList parts;
    for (const FileTypeFilter& filter : ResourceFileFilters(mode)) {
        QStringList patterns;
        for (const std::string& pattern : filter.patterns) {
            patterns << FromUtf8(pattern);
        }
        parts << FromUtf8(filter.description) << patterns.join(QLatin1Char(';'));
    }
    return parts.join(QLatin1Char('|'));
}

// The bar's resolution; it advances by files, each an equal share, and
// through a large file as its bytes are read.
constexpr int kProgressSteps = 10000;

// A file an import passed over, with the reason.
QString SkippedLine(const SkippedResource& entry) {
    return QStringLiteral("%1：%2").arg(ShownPath(entry.path),
                                        SystemErrorText(entry.error, FileAccess::Read));
}

// Up to ten names of one kind of problem, then how many more.
QString ProblemLines(const QString& heading, const QStringList& names) {
    if (names.isEmpty()) {
        return QString();
    }
    QStringList shown = names.mid(0, 10);
    QString text = heading + QStringLiteral("（%1项）：\n  ").arg(names.size()) +
                   shown.join(QStringLiteral("\n  "));
    if (names.size() > 10) {
        text += QStringLiteral("\n  ……另有%1项").arg(names.size() - 10);
    }
    return text;
}

// The address 校验发布目录… checked last, offered again.
constexpr const char* kVerifyAddressSetting = "manifest.verifyAddress";

// What follows an entry's name in its group: the sizes, the reason, the
// server's answer.
QString ProblemDetail(const PublishedEntryProblem& problem, int stallMilliseconds) {
    using Kind = PublishedEntryProblem::Kind;
    switch (problem.kind) {
        case Kind::SizeDiffers:
            return QStringLiteral("：清单%1字节，实际%2字节")
                .arg(ShownUtf8(problem.listedSize))
                .arg(problem.foundSize);
        case Kind::Unreadable:
            return QStringLiteral("：") + SystemErrorText(problem.error, FileAccess::Read);
        case Kind::Missing:
            return problem.status != 0 ? QStringLiteral("（服务器返回%1）").arg(problem.status)
                                       : QString();
        case Kind::ServerStatus:
            return QStringLiteral("：%1").arg(problem.status);
        case Kind::RedirectedAway:
            return QStringLiteral("：") + ShownUtf8(problem.location);
        case Kind::Unfetched:
            switch (problem.fetchFailure) {
                case HttpResponse::Failure::TimedOut:
                    return QStringLiteral("：超时（%1秒内没有收到任何数据）")
                        .arg(stallMilliseconds / 1000);
                case HttpResponse::Failure::CannotConnect:
                    return QStringLiteral("：无法连接服务器（%1）").arg(ShownUtf8(problem.reason));
                default:
                    return QStringLiteral("：") + ShownUtf8(problem.reason);
            }
        case Kind::NotAFile:
        case Kind::Md5Differs:
        case Kind::LeavesRoot:
            break;
    }
    return QString();
}

// The problems of a check, grouped by kind under their headings; an
// address's fetches took `stallMilliseconds` to time out.
QStringList GroupedProblems(const PublishVerification& verification, bool address,
                            int stallMilliseconds) {
    using Kind = PublishedEntryProblem::Kind;
    const std::pair<Kind, QString> kinds[] = {
        {Kind::Missing, QStringLiteral("缺失的文件")},
        {Kind::NotAFile, QStringLiteral("不是文件")},
        {Kind::SizeDiffers, QStringLiteral("大小不符")},
        {Kind::Md5Differs, QStringLiteral("MD5不符")},
        {Kind::Unreadable, QStringLiteral("无法读取")},
        {Kind::ServerStatus, QStringLiteral("服务器返回错误")},
        {Kind::Unfetched, QStringLiteral("未能下载")},
        {Kind::RedirectedAway, QStringLiteral("被重定向到另一台服务器（未跟随）")},
        {Kind::LeavesRoot, address ? QStringLiteral("名称指向清单所在目录之外（未下载）")
                                   : QStringLiteral("名称指向目录之外（未打开）")},
    };
    QStringList parts;
    for (const auto& [kind, heading] : kinds) {
        QStringList names;
        for (const PublishedEntryProblem& problem : verification.problems) {
            if (problem.kind != kind) {
                continue;
            }
            names << ShownUtf8(problem.filename) + ProblemDetail(problem, stallMilliseconds);
        }
        if (!names.isEmpty()) {
            parts << ProblemLines(heading, names);
        }
    }
    return parts;
}

constexpr RememberedText<ManifestPage> kRememberedTexts[] = {
    {"manifest.directory", "目录名(字体)", &ManifestPage::编辑框_自定义目录名},
    {"manifest.version", "版本号", &ManifestPage::编辑框_版本号},
};

// Each mode's name in the settings and its box.
std::pair<const char*, QCheckBox*> ModeBox(const ManifestPage& page, ManifestMode mode) {
    switch (mode) {
        case ManifestMode::MicroClient:
            return {"micro", page.选择框_微端模式};
        case ManifestMode::CustomDirectory:
            return {"custom", page.选择框_自定义目录名};
        case ManifestMode::HotUpdate:
            break;
    }
    return {"hot", page.选择框_热更模式};
}

}  // namespace

ManifestPage::ManifestPage(QWidget* tabControl, std::string outputDirectory)
    : PageCanvas(tabControl),
      outputDirectory_(std::move(outputDirectory)),
      cachePath_(DefaultDigestCachePath()) {
    QWidget* canvas = Canvas();
    标签13 = Place(
        Label(
            canvas,
            "文件名                                 MD5码                             字节大小kb"),
        "标签13", 15, 30, 568, 16);
    // Read-only, yet the caret keys (Ctrl+Home, Ctrl+End, Page Down …) move
    // through a long list as in any text box; lines are drawn as they come into view.
    编辑框_json文件 = Place(new LineListBox(canvas), "编辑框_json文件", 6, 54, 577, 453);
    编辑框_json文件->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    编辑框_json文件->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette colours = 编辑框_json文件->palette();
    colours.setColor(QPalette::Text, QColor(0, 255, 0));
    colours.setColor(QPalette::Base, Qt::black);
    编辑框_json文件->setPalette(colours);
    // Files dropped on the list are imported: the window takes the drop.
    编辑框_json文件->setAcceptDrops(true);
    编辑框_json文件->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(编辑框_json文件, &QWidget::customContextMenuRequested, this,
                     Guarded([this](const QPoint& at) { ShowListMenu(at); }));

    标签16 = Place(Label(canvas, "导入全部格式文件,自定义目录名"), "标签16", 591, 54, 176, 16);
    标签17 = Place(Label(canvas, "目录名(字体)："), "标签17", 593, 83, 76, 16);
    编辑框_自定义目录名 = Place(new QLineEdit(QStringLiteral("layout"), canvas),
                                "编辑框_自定义目录名", 680, 81, 64, 20);
    编辑框_自定义目录名->setAlignment(Qt::AlignCenter);
    编辑框_自定义目录名->setEnabled(false);
    选择框_自定义目录名 = Place(new QCheckBox(QStringLiteral("自定义目录模式"), canvas),
                                "选择框_自定义目录名", 591, 114, 104, 16);
    选择框_微端模式 = Place(new QCheckBox(QStringLiteral("微端模式"), canvas), "选择框_微端模式",
                            591, 138, 68, 16);
    选择框_微端模式->setChecked(true);
    选择框_热更模式 = Place(new QCheckBox(QStringLiteral("热更模式"), canvas), "选择框_热更模式",
                            591, 160, 68, 16);

    按钮_导入资源文件 = Place(new WrappingButton(QStringLiteral("导入资源文件并计算"), canvas),
                              "按钮_导入资源文件", 599, 198, 80, 32);
    按钮_导入资源文件->setToolTip(
        QStringLiteral("注意：生成微端json文件只支持wzl格式\n选择热更新支持所有格式"));
    按钮_清空json表内容 = Place(new WrappingButton(QStringLiteral("清空内容"), canvas),
                                "按钮_清空json表内容", 719, 198, 80, 32);
    标签15 = Place(Label(canvas, "手动复制更新专用"), "标签15", 648, 293, 94, 16);
    按钮_生成单json文件 = Place(new WrappingButton(QStringLiteral("生成单json文件"), canvas),
                                "按钮_生成单json文件", 647, 310, 96, 32);
    标签11 = Place(Label(canvas, "输入版本号后\n生成独立json文件"), "标签11", 643, 362, 104, 27);
    标签10 = Place(Label(canvas, "版本号："), "标签10", 644, 398, 40, 16);
    编辑框_版本号 =
        Place(new QLineEdit(QStringLiteral("1.2.5"), canvas), "编辑框_版本号", 686, 398, 61, 18);
    编辑框_版本号->setAlignment(Qt::AlignCenter);
    按钮_生成独立json文件 = Place(new WrappingButton(QStringLiteral("生成独立json文件"), canvas),
                                  "按钮_生成独立json文件", 642, 420, 105, 32);
    标签12 = Place(Label(canvas, "温馨提示：版本号注意格式"), "标签12", 622, 453, 144, 24);

    // Created last so that it lies over the list while it is shown.
    分组框1 = Place(new QGroupBox(QStringLiteral("计算MD5中请耐心等待"), canvas), "分组框1", 111,
                    174, 440, 40);
    标签14 = Place(Label(分组框1, "当前进度："), "标签14", 4, 16, 52, 16);
    进度条1 = Place(new QProgressBar(分组框1), "进度条1", 62, 18, 371, 14);
    进度条1->setValue(0);
    // Files and bytes done, in the bar itself.
    进度条1->setAlignment(Qt::AlignCenter);
    QFont small = 进度条1->font();
    small.setPixelSize(10);
    进度条1->setFont(small);
    分组框1->setAutoFillBackground(true);  // it lies over the black list
    分组框1->hide();

    // The directory hints are shown centred on their control.
    编辑框_自定义目录名->setToolTip(kDirectoryHint);
    选择框_自定义目录名->setToolTip(kDirectoryHint);
    编辑框_自定义目录名->installEventFilter(this);
    选择框_自定义目录名->installEventFilter(this);

    for (QCheckBox* box : {选择框_自定义目录名, 选择框_微端模式, 选择框_热更模式}) {
        QObject::connect(box, &QCheckBox::clicked, this, [this, box] { SelectMode(box); });
    }
    QObject::connect(按钮_导入资源文件, &QPushButton::clicked, this,
                     Guarded([this] { ImportResources(); }));
    cancelShortcut_ = new QShortcut(QKeySequence(Qt::Key_Escape), tabControl->window());
    cancelShortcut_->setEnabled(false);
    QObject::connect(cancelShortcut_, &QShortcut::activated, this, [this] { CancelImport(); });
    tabControl->window()->installEventFilter(this);  // closing the window cancels an import
    QObject::connect(按钮_清空json表内容, &QPushButton::clicked, this,
                     [this] { ClearResourceList(); });
    QObject::connect(按钮_生成单json文件, &QPushButton::clicked, this,
                     Guarded([this] { WriteSingleManifest(); }));
    QObject::connect(按钮_生成独立json文件, &QPushButton::clicked, this,
                     Guarded([this] { WriteStandaloneManifest(); }));
}

ManifestMode ManifestPage::Mode() const {
    if (选择框_微端模式->isChecked()) {
        return ManifestMode::MicroClient;
    }
    return 选择框_自定义目录名->isChecked() ? ManifestMode::CustomDirectory
                                            : ManifestMode::HotUpdate;
}

void ManifestPage::SelectMode(QCheckBox* clicked) {
    // The box is already toggled when this runs: a click on the checked box
    // unchecked it, so check it again and change nothing.
    if (!clicked->isChecked()) {
        clicked->setChecked(true);
        return;
    }
    for (QCheckBox* box : {选择框_自定义目录名, 选择框_微端模式, 选择框_热更模式}) {
        if (box != clicked) {
            box->setChecked(false);
        }
    }
    编辑框_自定义目录名->setEnabled(clicked == 选择框_自定义目录名);
}

void ManifestPage::Remember(Settings& settings) const {
    RememberTexts<ManifestPage>(*this, kRememberedTexts, settings);
    settings["manifest.mode"] = ModeBox(*this, Mode()).first;
    if (!lastVerifyAddress_.empty()) {
        settings[kVerifyAddressSetting] = lastVerifyAddress_;
    }
}

void ManifestPage::Restore(const Settings& settings) {
    RestoreTexts<ManifestPage>(*this, kRememberedTexts, settings);
    if (const auto address = settings.find(kVerifyAddressSetting); address != settings.end()) {
        lastVerifyAddress_ = address->second;
    }
    const auto mode = settings.find("manifest.mode");
    if (mode == settings.end()) {
        return;
    }
    for (const ManifestMode candidate :
         {ManifestMode::MicroClient, ManifestMode::HotUpdate, ManifestMode::CustomDirectory}) {
        const auto [name, box] = ModeBox(*this, candidate);
        if (mode->second == name) {
            box->setChecked(true);
            SelectMode(box);
        }
    }
}

QString ManifestPage::SettingCaption(std::string_view name) {
    if (name == kVerifyAddressSetting) {
        return QStringLiteral("上次校验的网址");
    }
    return CaptionOf<ManifestPage>(kRememberedTexts, name);
}

void ManifestPage::AppendToList(const std::string& lines) {
    const std::size_t before = list_.Text().size();
    const bool appended = list_.Add(lines);
    if (list_.Text().size() == before && appended) {
        return;  // nothing new
    }
    // The widget shows the list: the new lines at its end, or the whole list
    // again when a line was replaced in its place.
    if (!appended) {
        ShowList();
        return;
    }
    QString text = FromUtf8(std::string_view(list_.Text()).substr(before));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    编辑框_json文件->AppendText(text);
}

void ManifestPage::ShowList() {
    QString text = FromUtf8(list_.Text());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    编辑框_json文件->SetText(text);
}

void ManifestPage::ImportResources() {
    OpenFileRequest request;
    request.title = QStringLiteral("选择对应的文件");
    request.directory = FromUtf8(ProgramDirectory());
    request.filter = DialogFilter(Mode());
    request.multipleFiles = true;
    request.folderKey = QStringLiteral("resources");
    const QStringList paths = RunOpenFileDialog(window(), request);
    // A selection that holds folders is taken as a drop of it would be.
    if (!paths.isEmpty()) {
        ImportDroppedPaths(paths);
    }
}

void ManifestPage::ImportFiles(const QStringList& paths) {
    if (!IsImporting()) {
        ImportPaths(paths);
    }
}

void ManifestPage::StartImport(ResourceImportStart start) {
    ResourceImportPlan& plan = start.plan;
    if ((plan.files.empty() && plan.refused.empty()) || IsImporting()) {
        return;
    }
    std::vector<SkippedResource> skipped = std::move(start.expanded.skipped);
    skipped.insert(skipped.end(), plan.refused.begin(), plan.refused.end());
    进度条1->setRange(0, kProgressSteps);
    进度条1->setValue(0);
    // The files are digested on every core off the GUI thread; the page
    // shows the progress as it comes and takes the result when it is there.
    ShowProgress({0, 0, 0, plan.files.size(), 0});
    // The task digests the plan's files and gives the plan back with the digests.
    StartTask(
        QStringLiteral("计算MD5中请耐心等待"),
        [this, plan = std::move(plan), skipped = std::move(skipped),
         threads = DefaultDigestThreads(),
         cachePath = cachePath_](const std::atomic<bool>& cancel,
                                 const DigestProgress& progress) mutable -> std::function<void()> {
            CachedDigests digests;
            try {
                ResourceDigestRun run;
                run.threads = threads;
                run.cachePath = cachePath;
                run.cancel = &cancel;
                run.onProgress = progress;
                digests = DigestResourceImport(plan, run);
            } catch (...) {
                // Not even the list of results could be made: every file failed.
                digests.digests.assign(plan.files.size(),
                                       FileDigest{false, {}, 0, ErrnoError(ENOMEM), false, {}});
            }
            return Guarded([this, plan = std::move(plan), digests = std::move(digests),
                            cancelled = cancel.load(), skipped = std::move(skipped)]() mutable {
                FinishImport(plan, std::move(digests), cancelled, std::move(skipped));
            });
        });
}

void ManifestPage::StartTask(const QString& title,
                             std::function<std::function<void()>(const std::atomic<bool>& cancel,
                                                                 const DigestProgress& progress)>
                                 work) {
    分组框1->setTitle(title);
    task_ = new ProgressTask(
        [this, work = std::move(work)](const std::atomic<bool>& cancel,
                                       const DigestProgress& progress) -> std::function<void()> {
            try {
                return work(cancel, progress);
            } catch (...) {
                // Memory ran out, or the system would start no thread: the
                // task ends with a warning, nothing changed.
                return [this, failure = std::current_exception()] {
                    EndTask();
                    ReportUnexpectedFailure(failure);
                };
            }
        },
        [this](const DigestProgressState& state) { ShowProgress(state); }, this);
    ShowImporting(true);
}

void ManifestPage::EndTask() {
    task_->deleteLater();  // its thread is done: it posted this last
    task_ = nullptr;
    ShowImporting(false);
}

void ManifestPage::ShowProgress(const DigestProgressState& state) {
    进度条1->setValue(state.total == 0
                          ? (state.files == 0 ? kProgressSteps : 0)
                          : static_cast<int>(state.done * kProgressSteps / state.total));
    const double bytes = static_cast<double>(state.bytesRead);
    const QString read =
        bytes >= 1024.0 * 1024 * 1024
            ? QStringLiteral("%1\u00A0GB").arg(bytes / (1024.0 * 1024 * 1024), 0, 'f', 2)
            : QStringLiteral("%1\u00A0MB").arg(bytes / (1024.0 * 1024), 0, 'f', 1);
    进度条1->setFormat(
        QStringLiteral("%1/%2个文件  已读%3").arg(state.filesDone).arg(state.files).arg(read));
}

void ManifestPage::FinishImport(const ResourceImportPlan& plan, CachedDigests digests,
                                bool cancelled, std::vector<SkippedResource> skipped) {
    EndTask();
    const std::function<void()> then = std::exchange(afterImport_, nullptr);
    if (cancelled) {
        return;  // a cancelled import adds nothing
    }
    // A name given again with other bytes, in this import or against the
    // list, replaces a line only when the user says so.
    const ResourceImportOutcome outcome =
        ConcludeResourceImport(plan, digests.digests, list_.Text(),
                               [this](std::string_view name) { return list_.SourceOf(name); });
    if (!ConfirmFinding(outcome.duplicates)) {
        return;
    }
    const ImportedResources& imported = outcome.imported;
    skipped.insert(skipped.end(), imported.failed.begin(), imported.failed.end());
    for (std::size_t i = 0; i < plan.files.size() && i < digests.digests.size(); ++i) {
        if (digests.digests[i].ok) {
            list_.SetSource(PathFileNameView(plan.files[i]), plan.files[i],
                            digests.digests[i].state);
        }
    }
    // One step after all files: the lines of one import stay together, after
    // whatever the list holds now; a name the list holds already keeps its place.
    AppendToList(imported.lines);
    ShowImportSummary(skipped, plan.sharedNames, digests.problem);
    if (then) {
        then();
    }
}

void ManifestPage::ShowImportSummary(const std::vector<SkippedResource>& skipped,
                                     const std::vector<ResourceImportPlan::SharedName>& shared,
                                     const CacheProblem& cacheProblem) {
    if (skipped.empty() && shared.empty() && !cacheProblem) {
        return;
    }
    QStringList parts;
    if (!skipped.empty()) {
        parts << QStringLiteral("以下条目未加入列表：\n") +
                     ListedLines(skipped, SkippedLine, QStringLiteral("项"));
    }
    if (!shared.empty()) {
        const auto sharedLine = [](const ResourceImportPlan::SharedName& name) {
            return QStringLiteral("%1：%2 与 %3")
                .arg(ShownUtf8(name.name), ShownPath(name.earlier), ShownPath(name.later));
        };
        parts << QStringLiteral("以下文件名在本次导入中出现了多次，列表中保留后一个文件：\n") +
                     ListedLines(shared, sharedLine, QStringLiteral("项"));
    }
    if (cacheProblem) {
        parts << QStringLiteral("MD5缓存“%1”本次未能使用：%2。所有文件都已重新计算，结果不受影响。")
                     .arg(ShownPath(cachePath_), CacheProblemText(cacheProblem));
    }
    ShowMessage(MessageKind::Warning,
                !skipped.empty()  ? QStringLiteral("部分文件未导入")
                : !shared.empty() ? QStringLiteral("同名文件")
                                  : QStringLiteral("MD5缓存"),
                parts.join(QStringLiteral("\n\n")));
}

void ManifestPage::ImportDroppedPaths(const QStringList& paths) {
    if (IsImporting()) {
        ShowMessage(MessageKind::Plain, QStringLiteral("正在导入"),
                    QStringLiteral("正在计算上一批文件的MD5，请等它完成（或按Esc取消）后再拖入。"));
        return;
    }
    ImportPaths(paths);
}

void ManifestPage::ImportPaths(const QStringList& paths) {
    std::vector<std::string> utf8Paths;
    utf8Paths.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths) {
        utf8Paths.push_back(ToUtf8(path));
    }
    ResourceImportStart start = StartResourceImport(utf8Paths, Mode(), DefaultDigestThreads());
    const ExpandedResourcePaths& expanded = start.expanded;
    const QString folder = ShownPath(expanded.folder);
    switch (expanded.problem) {
        case ExpandedResourcePaths::Problem::None:
            break;
        case ExpandedResourcePaths::Problem::CannotList:
            ShowMessage(MessageKind::Warning, QStringLiteral("导入失败"),
                        QStringLiteral("无法读取文件夹“%1”：%2。")
                            .arg(folder, SystemErrorText(expanded.error, FileAccess::Read)));
            return;
        case ExpandedResourcePaths::Problem::NoFiles: {
            ShowMessage(
                MessageKind::Warning, QStringLiteral("导入失败"),
                QStringLiteral("文件夹“%1”中没有当前模式可导入的文件，未导入任何文件。")
                        .arg(folder) +
                    (expanded.skipped.empty()
                         ? QString()
                         : QStringLiteral("\n无法读取的条目：\n") +
                               ListedLines(expanded.skipped, SkippedLine, QStringLiteral("项"))));
            return;
        }
    }
    StartImport(std::move(start));
}

void ManifestPage::CancelImport() {
    if (task_ != nullptr) {
        task_->Cancel();
    }
}

void ManifestPage::ShowImporting(bool importing) {
    // While files are digested nothing may read or change the list: every
    // control of the page waits but the list itself, and Esc cancels.
    for (QWidget* control : Canvas()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QAbstractButton*>(control) != nullptr ||
            qobject_cast<QLineEdit*>(control) != nullptr) {
            control->setEnabled(!importing);
        }
    }
    编辑框_自定义目录名->setEnabled(!importing && Mode() == ManifestMode::CustomDirectory);
    分组框1->setVisible(importing);
    cancelShortcut_->setEnabled(importing);
}

void ManifestPage::ClearResourceList() {
    编辑框_json文件->Clear();
    list_.Clear();
}

void ManifestPage::WriteManifest(const PlannedOutput& output) {
    if (!ConfirmFindings(output.findings) || !WriteOutputFile(output)) {
        return;
    }
    ShowMessage(MessageKind::Plain, QStringLiteral("信息："),
                QStringLiteral("json单文件写入本地成功！\n生成该目录下文件名：  ") +
                    QString::fromUtf8(output.fileName.c_str()));
}

ManifestNaming ManifestPage::Naming() const {
    return {Mode(), ToUtf8(编辑框_自定义目录名->text())};
}

bool ManifestPage::ListMatchesItsFiles(const std::function<void()>& again) {
    const std::vector<StaleListLine> stale = StaleListLines(list_, DefaultDigestThreads());
    if (stale.empty()) {
        return true;
    }
    using Kind = StaleListLine::Kind;
    QStringList gone;
    QStringList changed;
    QStringList unreadable;
    std::vector<std::string> all;
    std::vector<std::string> goneNames;
    QStringList againPaths;
    for (const StaleListLine& line : stale) {
        const QString shown =
            QStringLiteral("%1（%2）").arg(ShownUtf8(line.name), ShownPath(line.path));
        all.push_back(line.name);
        switch (line.kind) {
            case Kind::Gone:
                gone << shown;
                goneNames.push_back(line.name);
                break;
            case Kind::Changed:
                changed << shown;
                againPaths << FromUtf8(line.path);
                break;
            case Kind::Unreadable:
                unreadable << shown + QStringLiteral("：") +
                                  SystemErrorText(line.error, FileAccess::Read);
                againPaths << FromUtf8(line.path);
                break;
        }
    }
    QStringList parts;
    for (const auto& [heading, names] : {std::pair{QStringLiteral("已删除的文件"), gone},
                                         std::pair{QStringLiteral("已更改的文件"), changed},
                                         std::pair{QStringLiteral("无法查看的文件"), unreadable}}) {
        if (!names.isEmpty()) {
            parts << ProblemLines(heading, names);
        }
    }
    const std::optional<int> choice = AskChoice(
        QStringLiteral("列表与文件不符"),
        QStringLiteral("列表中有%1个条目的文件在计算MD5之后已被删除或更改，按列表写入的清单将与"
                       "这些文件不符。\n\n")
                .arg(stale.size()) +
            parts.join(QStringLiteral("\n\n")) +
            QStringLiteral("\n\n移除条目：从列表中移除这些条目后继续。\n"
                           "重新计算：移除已删除文件的条目，重新计算其余文件的MD5后继续。\n"
                           "按列表写入：列表保持原样。"),
        {QStringLiteral("移除条目"), QStringLiteral("重新计算"), QStringLiteral("按列表写入")});
    if (!choice) {
        return false;
    }
    switch (*choice) {
        case 0:
            list_.Remove(all);
            ShowList();
            return true;
        case 1:
            list_.Remove(goneNames);
            ShowList();
            if (againPaths.isEmpty()) {
                return true;
            }
            afterImport_ = again;
            ImportPaths(againPaths);
            if (!IsImporting()) {
                afterImport_ = nullptr;  // nothing to digest: the lines stay as they are
                return true;
            }
            return false;
        default:
            return true;
    }
}

void ManifestPage::WriteSingleManifest() {
    if (!ListMatchesItsFiles([this] { WriteSingleManifest(); })) {
        return;
    }
    WriteManifest(PlanSingleManifest(ResourceListText(), Naming(), outputDirectory_));
}

void ManifestPage::WriteStandaloneManifest() {
    if (!ListMatchesItsFiles([this] { WriteStandaloneManifest(); })) {
        return;
    }
    WriteManifest(PlanStandaloneManifest(ResourceListText(), Naming(),
                                         ToUtf8(编辑框_版本号->text()), outputDirectory_)
                      .output);
}

void ManifestPage::ShowListMenu(const QPoint& at) {
    QMenu* menu = 编辑框_json文件->CreateStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    QAction* exportAction = menu->addAction(QStringLiteral("导出到发布目录…"));
    QAction* checkAction = menu->addAction(QStringLiteral("校验发布目录…"));
    exportAction->setEnabled(!IsImporting());
    checkAction->setEnabled(!IsImporting());
    QObject::connect(exportAction, &QAction::triggered, this,
                     Guarded([this] { ExportToPublishFolder(); }));
    QObject::connect(checkAction, &QAction::triggered, this,
                     Guarded([this] { CheckPublishFolder(); }));
    menu->popup(编辑框_json文件->viewport()->mapToGlobal(at));
}

void ManifestPage::ExportToPublishFolder() {
    if (IsImporting() || !ListMatchesItsFiles([this] { ExportToPublishFolder(); })) {
        return;
    }
    OpenFileRequest request;
    request.title = QStringLiteral("选择发布目录");
    request.directory = FromUtf8(outputDirectory_);
    request.folder = true;
    request.folderKey = QStringLiteral("publish");
    const QStringList chosen = RunOpenFileDialog(window(), request);
    if (chosen.isEmpty()) {
        return;
    }
    const std::string folder = ToUtf8(chosen.first());
    std::vector<std::string> unknown;
    std::vector<StagedEntry> entries =
        StagedEntriesOfList(list_, Mode(), ToUtf8(编辑框_自定义目录名->text()), unknown);
    if (!unknown.empty()) {
        QStringList names;
        for (const std::string& name : unknown) {
            names << ShownUtf8(name);
        }
        ShowMessage(
            MessageKind::Warning, QStringLiteral("无法导出"),
            ProblemLines(QStringLiteral("列表中以下条目的来源文件未知，请重新导入"), names));
        return;
    }
    // The questions of 生成独立json文件 first: a 否 copies nothing.
    StandaloneManifestPlan release =
        PlanStandaloneManifest(ResourceListText(), Naming(), ToUtf8(编辑框_版本号->text()), folder);
    if (!ConfirmFindings(release.output.findings)) {
        return;
    }
    StartTask(QStringLiteral("导出到发布目录中请耐心等待"),
              [this, entries = std::move(entries), release = std::move(release), folder](
                  const std::atomic<bool>& cancel,
                  const DigestProgress& progress) -> std::function<void()> {
                  StageOutcome staged = StageFiles(entries, folder, &cancel, progress);
                  std::vector<std::string> gone =
                      NoLongerListed(release.release.previous.manifest, entries);
                  return Guarded([this, staged = std::move(staged), gone = std::move(gone),
                                  output = release.output, folder] {
                      EndTask();
                      FinishExport(staged, gone, output, folder);
                  });
              });
}

void ManifestPage::FinishExport(const StageOutcome& staged, const std::vector<std::string>& gone,
                                const PlannedOutput& output, const std::string& folder) {
    if (staged.problem == StageOutcome::Problem::CopyFailed && staged.error.kind == ECANCELED) {
        return;  // cancelled: update.json stays as it was
    }
    QStringList copied;
    for (const std::string& name : staged.copied) {
        copied << ShownUtf8(name);
    }
    switch (staged.problem) {
        case StageOutcome::Problem::None:
            break;
        case StageOutcome::Problem::LeavesRoot:
            ShowMessage(MessageKind::Warning, QStringLiteral("导出失败"),
                        QStringLiteral("条目“%1”会落在发布目录“%2”之外。未复制任何文件，"
                                       "update.json保持原样。")
                            .arg(ShownUtf8(staged.name), ShownPath(folder)));
            return;
        case StageOutcome::Problem::CopyFailed:
            ShowMessage(MessageKind::Warning, QStringLiteral("导出失败"),
                        QStringLiteral("无法复制到“%1”：%2。update.json保持原样。")
                                .arg(ShownPath(staged.path),
                                     SystemErrorText(staged.error, FileAccess::Write)) +
                            (copied.isEmpty()
                                 ? QString()
                                 : QStringLiteral("\n\n") +
                                       ProblemLines(QStringLiteral("此前已复制的文件"), copied)));
            return;
    }
    if (!WriteOutputFile(output)) {
        return;
    }
    QStringList goneNames;
    for (const std::string& name : gone) {
        goneNames << ShownUtf8(name);
    }
    ShowMessage(
        MessageKind::Plain, QStringLiteral("导出完成"),
        QStringLiteral("已导出到“%1”：复制%2个文件（新增%3个，更改%4个），%5个文件已是最新，"
                       "共复制%6字节。update.json已写入。")
                .arg(ShownPath(folder))
                .arg(staged.added + staged.changed)
                .arg(staged.added)
                .arg(staged.changed)
                .arg(staged.unchanged)
                .arg(staged.bytesCopied) +
            (goneNames.isEmpty()
                 ? QString()
                 : QStringLiteral("\n\n") +
                       ProblemLines(QStringLiteral("上一版update.json列出而本次不再列出的文件"
                                                   "（仍留在目录中）"),
                                    goneNames)));
}

void ManifestPage::CheckPublishFolder() {
    if (IsImporting()) {
        return;
    }
    OpenFileRequest request;
    request.title = QStringLiteral("选择要校验的update.json或单json文件.json");
    request.directory = FromUtf8(outputDirectory_);
    request.filter = QStringLiteral("json文件|*.json");
    request.folderKey = QStringLiteral("verify");
    const QString source = AskVerifySource(window(), FromUtf8(lastVerifyAddress_), request);
    if (source.isEmpty()) {
        return;
    }
    // A path pasted from Explorer's 复制为路径 comes in double quotes.
    const std::string manifest = UnquotedPath(ToUtf8(source));
    if (IsWebAddress(manifest)) {
        lastVerifyAddress_ = manifest;
        StartTask(QStringLiteral("校验网址中请耐心等待"),
                  [this, manifest](const std::atomic<bool>& cancel,
                                   const DigestProgress& progress) -> std::function<void()> {
                      AddressVerifyRun run;
                      run.cancel = &cancel;
                      run.onProgress = [&progress](const AddressVerifyProgress& state) {
                          progress({state.filesDone, state.files, state.filesDone, state.files,
                                    state.bytes});
                      };
                      PublishVerification verification = VerifyPublishedAddress(manifest, run);
                      return Guarded([this, verification = std::move(verification), manifest,
                                      stall = run.timeouts.stallMilliseconds] {
                          EndTask();
                          FinishAddressCheck(verification, manifest, stall);
                      });
                  });
        return;
    }
    StartTask(QStringLiteral("校验发布目录中请耐心等待"),
              [this, manifest](const std::atomic<bool>& cancel,
                               const DigestProgress& progress) -> std::function<void()> {
                  PublishVerifyRun run;
                  run.threads = DefaultDigestThreads();
                  run.cancel = &cancel;
                  run.onProgress = progress;
                  PublishVerification verification = VerifyPublishFolder(manifest, "", run);
                  return Guarded([this, verification = std::move(verification), manifest] {
                      EndTask();
                      FinishCheck(verification, manifest);
                  });
              });
}

void ManifestPage::FinishCheck(const PublishVerification& verification,
                               const std::string& manifest) {
    if (verification.cancelled) {
        return;
    }
    if (verification.problem != PublishVerification::Problem::None) {
        const QString reason = verification.problem == PublishVerification::Problem::Unreadable
                                   ? SystemErrorText(verification.readError, FileAccess::Read)
                                   : ShownUtf8(verification.manifest.error);
        ShowMessage(MessageKind::Warning, QStringLiteral("校验失败"),
                    QStringLiteral("无法读取清单“%1”：%2。").arg(ShownPath(manifest), reason));
        return;
    }
    QStringList parts = GroupedProblems(verification, false, 0);
    QStringList unlisted;
    for (const std::string& name : verification.unlisted) {
        unlisted << ShownUtf8(name);
    }
    const QString summary = parts.isEmpty() ? QStringLiteral("“%1”中的%2个条目全部相符。")
                                                  .arg(ShownPath(verification.root))
                                                  .arg(verification.manifest.entries.size())
                                            : QStringLiteral("“%1”中%2个条目有%3个不符：")
                                                  .arg(ShownPath(verification.root))
                                                  .arg(verification.manifest.entries.size())
                                                  .arg(verification.problems.size());
    if (!unlisted.isEmpty()) {
        parts << ProblemLines(QStringLiteral("目录中有、清单未列出的文件（不影响校验结果）"),
                              unlisted);
    }
    ShowMessage(
        parts.isEmpty() || verification.problems.empty() ? MessageKind::Plain
                                                         : MessageKind::Warning,
        QStringLiteral("校验结果"),
        summary + (parts.isEmpty() ? QString()
                                   : QStringLiteral("\n\n") + parts.join(QStringLiteral("\n\n"))));
}

void ManifestPage::FinishAddressCheck(const PublishVerification& verification,
                                      const std::string& address, int stallMilliseconds) {
    if (verification.cancelled) {
        return;
    }
    switch (verification.problem) {
        case PublishVerification::Problem::None:
            break;
        case PublishVerification::Problem::Unfetched: {
            const PublishedEntryProblem& fetched = verification.fetched;
            const QString reason = fetched.kind == PublishedEntryProblem::Kind::Missing ||
                                           fetched.kind == PublishedEntryProblem::Kind::ServerStatus
                                       ? QStringLiteral("服务器返回%1").arg(fetched.status)
                                       : ProblemDetail(fetched, stallMilliseconds).mid(1);
            ShowMessage(MessageKind::Warning, QStringLiteral("校验失败"),
                        QStringLiteral("无法下载清单“%1”：%2。").arg(ShownUtf8(address), reason));
            return;
        }
        case PublishVerification::Problem::Unreadable:
        case PublishVerification::Problem::NotAManifest:
            ShowMessage(
                MessageKind::Warning, QStringLiteral("校验失败"),
                QStringLiteral("“%1”不是可读的清单：%2。")
                    .arg(ShownUtf8(address),
                         verification.problem == PublishVerification::Problem::Unreadable
                             ? QStringLiteral("文件大于%1").arg(SizeText(verification.sizeLimit))
                             : ManifestFaultText(verification.manifest.fault)));
            return;
    }
    QStringList parts = GroupedProblems(verification, true, stallMilliseconds);
    const std::size_t entries = verification.manifest.entries.size();
    QString text = parts.isEmpty() ? QStringLiteral("“%1”的%2个条目全部相符（已下载%3字节）。")
                                         .arg(ShownUtf8(address))
                                         .arg(entries)
                                         .arg(verification.bytesRead)
                                   : QStringLiteral("“%1”的%2个条目有%3个不符：")
                                         .arg(ShownUtf8(address))
                                         .arg(entries)
                                         .arg(verification.problems.size());
    if (verification.staleManifest) {
        text = QStringLiteral(
                   "客户端得到的清单与服务器上的不同（绕过缓存才得到服务器上的）：服务器前面的"
                   "缓存仍在提供旧的清单，客户端暂时不会更新。以下按服务器上的清单校验。\n\n") +
               text;
    }
    ShowMessage(
        verification.Matches() ? MessageKind::Plain : MessageKind::Warning,
        QStringLiteral("校验结果"),
        text + (parts.isEmpty() ? QString()
                                : QStringLiteral("\n\n") + parts.join(QStringLiteral("\n\n"))));
}

bool ManifestPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window() && event->type() == QEvent::Close) {
        CancelImport();  // the window closes; the import ends at once
    }
    if (event->type() == QEvent::ToolTip &&
        (watched == 编辑框_自定义目录名 || watched == 选择框_自定义目录名)) {
        auto* control = static_cast<QWidget*>(watched);
        const QFontMetrics metrics(QToolTip::font());
        const int tipWidth = metrics.horizontalAdvance(QStringLiteral("默认字体目录")) + 8;
        const QPoint below(control->width() / 2 - tipWidth / 2, control->height());
        QToolTip::showText(control->mapToGlobal(below), control->toolTip(), control);
        return true;
    }
    return PageCanvas::eventFilter(watched, event);
}

}  // namespace varo
