#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/window/PageCanvas.h"
#include "cache/DigestCache.h"
#include "checks/Findings.h"
#include "digest/FileDigest.h"
#include "jobs/AddressVerifyJob.h"
#include "jobs/ManifestJob.h"
#include "jobs/PublishJob.h"
#include "jobs/ResourceImportJob.h"
#include "manifest/Manifest.h"
#include "manifest/ResourceImport.h"
#include "manifest/ResourceList.h"
#include "settings/SettingsFile.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QShortcut;

namespace varo {
class LineListBox;
class ProgressTask;
}  // namespace varo

namespace varo {

// pages/manifest: the page "手游微端与热更json生成" and the jobs it runs off
// the GUI thread (ProgressTask.h).
//
// The page "手游微端与热更json生成": resource files are digested into a list
// of "name md5 size" lines, written as 单json文件.json or update.json.
class ManifestPage : public PageCanvas {
  public:
    ManifestPage(QWidget* tabControl, std::string outputDirectory);

    QLabel* 标签13;
    LineListBox* 编辑框_json文件;
    QLabel* 标签16;
    QLabel* 标签17;
    QLineEdit* 编辑框_自定义目录名;
    QCheckBox* 选择框_自定义目录名;
    QCheckBox* 选择框_微端模式;
    QCheckBox* 选择框_热更模式;
    QGroupBox* 分组框1;
    QLabel* 标签14;
    QProgressBar* 进度条1;
    QPushButton* 按钮_导入资源文件;
    QPushButton* 按钮_清空json表内容;
    QLabel* 标签15;
    QPushButton* 按钮_生成单json文件;
    QLabel* 标签11;
    QLabel* 标签10;
    QLineEdit* 编辑框_版本号;
    QPushButton* 按钮_生成独立json文件;
    QLabel* 标签12;

    ManifestMode Mode() const;
    // The mode and the custom folder the manifests name their entries by.
    ManifestNaming Naming() const;
    // The list as "name md5 size\r\n" lines, UTF-8.
    const std::string& ResourceListText() const { return list_.Text(); }

    void SelectMode(QCheckBox* clicked);
    void ImportResources();
    // Digests the files and appends their lines.
    void ImportFiles(const QStringList& paths);
    // Files and folders dropped on the page or chosen in the dialog: a folder
    // stands for the files in it that the mode offers, sorted by name, as
    // varo-cli takes it.
    void ImportDroppedPaths(const QStringList& paths);
    // Ends a running import (the files digested so far are not added), export
    // or check.
    void CancelImport();
    // True while an import, an export or a check runs.
    bool IsImporting() const { return task_ != nullptr; }
    // The list's context menu: 导出到发布目录… copies the listed files into a
    // folder where update.json names them and writes update.json there last,
    // after the questions of 生成独立json文件; 校验发布目录… checks a folder
    // against its update.json or 单json文件.json.
    void ExportToPublishFolder();
    void CheckPublishFolder();
    void ClearResourceList();
    void WriteSingleManifest();
    void WriteStandaloneManifest();
    // The digest cache the imports use (the user's cache folder by default;
    // empty: none).
    void SetDigestCachePath(std::string path) { cachePath_ = std::move(path); }

    // The mode, the directory name and the version are remembered between
    // runs; a remembered mode that is none of the three leaves the mode as
    // it is.
    void Remember(Settings& settings) const;
    void Restore(const Settings& settings);
    // The caption of one of this page's settings; empty for any other name.
    static QString SettingCaption(std::string_view name);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The paths of an import: expanded and planned, then digested.
    void ImportPaths(const QStringList& paths);
    void StartImport(ResourceImportStart start);
    // Adds an import's lines to the list and shows them.
    void AppendToList(const std::string& lines);
    // What the page shows while an import runs or once it is over.
    void ShowImporting(bool importing);
    void FinishImport(const ResourceImportPlan& plan, CachedDigests digests, bool cancelled,
                      std::vector<SkippedResource> skipped);
    void ShowProgress(const DigestProgressState& state);
    // Runs `work` off the GUI thread under the progress bar, titled `title`.
    void StartTask(const QString& title,
                   std::function<std::function<void()>(const std::atomic<bool>& cancel,
                                                       const DigestProgress& progress)>
                       work);
    // Ends the running task: its controls come back.
    void EndTask();
    void ShowListMenu(const QPoint& at);
    void FinishExport(const StageOutcome& staged, const std::vector<std::string>& gone,
                      const PlannedOutput& output, const std::string& folder);
    void FinishCheck(const PublishVerification& verification, const std::string& manifest);
    void FinishAddressCheck(const PublishVerification& verification, const std::string& address,
                            int stallMilliseconds);
    // The files an import passed over, the names two of its files share, a
    // digest cache that could not be used.
    void ShowImportSummary(const std::vector<SkippedResource>& skipped,
                           const std::vector<ResourceImportPlan::SharedName>& shared,
                           const CacheProblem& cacheProblem);
    // Asks about the plan's findings, then writes it and says so.
    void WriteManifest(const PlannedOutput& output);
    // Before a manifest is written from the list: asks about the lines whose
    // file is gone or changed since its digest (remove them, digest them
    // again, or write as listed). True: go on with the list as it is now;
    // false: stop, either cancelled or while the changed files are digested
    // again, after which `again` runs.
    bool ListMatchesItsFiles(const std::function<void()>& again);
    // Shows the whole list again (after lines were replaced or removed).
    void ShowList();

    std::string outputDirectory_;
    std::string lastVerifyAddress_;  // offered again by 校验发布目录…
    std::string cachePath_;
    // What the read-only list shows, with the file each name came from (for
    // the question about a name given again with other bytes).
    ResourceList list_;
    QShortcut* cancelShortcut_ = nullptr;
    // The running import, export or check, a child of the page.
    ProgressTask* task_ = nullptr;
    // What runs once the running import has added its lines (a manifest
    // asked for while its changed files were digested again).
    std::function<void()> afterImport_;
};

}  // namespace varo
