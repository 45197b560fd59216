// Times the window's own work on a large database, without a screen:
//   varo-bench-models DATABASE [RUNS]
// the filter grid loaded into its model and written in both forms, and the
// light-pillar list computed and written. Prints one line per step with the
// median in milliseconds.
//   varo-bench-models --import RUNS PATH...
// the manifest page's import of the files and folders (as a drop), from the
// start to the list filled; prints the median in milliseconds.
//   varo-bench-models --import-filter FILE
// 导入过滤文件 of FILE into the grid, once (for its peak memory); prints the
// time in milliseconds and the grid's rows.

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include "app/widgets/LineListBox.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/messages/FileDialogs.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/TextBridge.h"
#include "app/pages/DatabaseLoad.h"
#include "app/pages/filter/FilterGridView.h"
#include "app/pages/filter/FilterPage.h"
#include "app/pages/manifest/ManifestPage.h"
#include "app/window/MainWindow.h"

namespace {

double MedianMilliseconds(int runs, const std::function<void()>& step,
                          const std::function<void()>& prepare = {}) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        if (prepare) {
            prepare();
        }
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

// The manifest page's import, timed from the drop to the filled list. The
// import runs in the background; this waits for it as the window's event
// loop would.
int ImportBenchmark(int runs, const QStringList& paths) {
    QTemporaryDir output;
    varo::SqliteConnection connection;
    varo::ListHitTestRecord hitTest;
    varo::MainWindow window(connection, hitTest, output.path().toStdString());
    window.show();
    varo::ManifestPage& page = *window.manifestPage;
    page.SetDigestCachePath({});  // every file digested, as varo-cli --no-cache
    window.选择夹1->setCurrentIndex(2);
    page.选择框_热更模式->click();
    std::size_t lines = 0;
    const double milliseconds = MedianMilliseconds(
        runs + 1,
        [&] {
            page.ImportDroppedPaths(paths);
            while (page.IsImporting()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            lines = static_cast<std::size_t>(page.编辑框_json文件->LineCount() - 1);
        },
        [&] { page.ClearResourceList(); });
    std::fprintf(stderr, "%zu files imported\n", lines);
    std::printf("%.0f\n", milliseconds);
    return lines > 0 ? 0 : 1;
}

// 导入过滤文件 of a large file, answered 是 if it asks.
int FilterImportBenchmark(const QString& path) {
    QTemporaryDir output;
    varo::SqliteConnection connection;
    varo::ListHitTestRecord hitTest;
    varo::MainWindow window(connection, hitTest, output.path().toStdString());
    window.show();
    varo::SetOpenFileDialogRoutine(
        [&](QWidget*, const varo::OpenFileRequest&) { return QStringList{path}; });
    varo::SetQuestionRoutine([](const QString&, const QString&) { return true; });
    QElapsedTimer timer;
    timer.start();
    window.filterPage->ImportFilterFile();
    QApplication::processEvents();
    std::printf("%.0f ms, %d rows\n", static_cast<double>(timer.nsecsElapsed()) / 1e6,
                window.filterPage->Model().rowCount());
    return 0;
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--import-filter") {
        varo::SetMessageRoutine([](varo::MessageKind, const QString&, const QString&) {});
        return FilterImportBenchmark(QString::fromLocal8Bit(argv[2]));
    }
    if (argc > 3 && QByteArray(argv[1]) == "--import") {
        varo::SetMessageRoutine([](varo::MessageKind, const QString&, const QString&) {});
        QStringList paths;
        for (int i = 3; i < argc; ++i) {
            paths << QString::fromLocal8Bit(argv[i]);
        }
        return ImportBenchmark(std::max(1, std::atoi(argv[2])), paths);
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DATABASE [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    varo::SetMessageRoutine([](varo::MessageKind, const QString&, const QString&) {});
    // Writing one form over the other is asked about: the steps go on.
    varo::SetQuestionRoutine([](const QString&, const QString&) { return true; });
    QTemporaryDir output;
    varo::SqliteConnection connection;
    varo::ListHitTestRecord hitTest;
    varo::MainWindow window(connection, hitTest, output.path().toStdString());
    window.show();
    window.编辑框_数据库文件路径->setText(QString::fromLocal8Bit(argv[1]));

    varo::FilterPage& filter = *window.filterPage;
    varo::LightPillarPage& pillar = *window.lightPillarPage;
    // The find and apply steps need the grid loaded and the PC file written:
    // the steps before them do that.
    QString lastName;
    const QString filterFile = output.filePath(QStringLiteral("lsDefaultItemFilter.txt"));
    varo::SetOpenFileDialogRoutine(
        [&](QWidget*, const varo::OpenFileRequest&) { return QStringList{filterFile}; });
    // The item table is read off the GUI thread: a load step lasts until its
    // result is in the page.
    const auto loaded = [&window] {
        while (window.itemTableLoader->IsLoading()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    };
    const struct {
        const char* name;
        std::function<void()> step;
    } steps[] = {
        {"filter grid: load 载入数据库",
         [&] {
             filter.LoadFilterGrid();
             loaded();
         }},
        {"filter grid: write mobile form",
         [&] { filter.WriteFilterFile(varo::FilterFileForm::Mobile); }},
        {"filter grid: write PC form", [&] { filter.WriteFilterFile(varo::FilterFileForm::Pc); }},
        {"filter grid: find 查找, no name matches",
         [&] { filter.FindRow(QStringLiteral("没有这个名字"), 1, false); }},
        {"filter grid: find 查找 the last row's name from the first row",
         [&] {
             filter.高级表格_过滤文件生成->setCurrentIndex(filter.Model().index(0, 0));
             filter.FindRow(lastName, 1, false);
         }},
        {"filter grid: apply 按名称套用 the PC file (one line per row)",
         [&] { filter.ApplyFilterFile(); }},
        {"light pillar: compute DB一键计算",
         [&] {
             pillar.ComputeFromDatabase();
             loaded();
         }},
        {"light pillar: write 生成光柱文件", [&] { pillar.WriteLightPillarFile(); }},
    };
    for (const auto& step : steps) {
        if (lastName.isEmpty() && filter.Model().rowCount() > 0) {
            lastName = varo::FromGbk(filter.Model().Rows().back().itemName);
        }
        const double milliseconds = MedianMilliseconds(runs, step.step);
        QApplication::processEvents();
        std::printf("| %s | %.1f ms |\n", step.name, milliseconds);
    }
    std::printf("| (grid rows %d, light-pillar rows %d) | |\n", filter.Model().GridRowCount() - 1,
                pillar.Model().rowCount());
    return 0;
}
