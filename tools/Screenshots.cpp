// Takes a screenshot of each page of the window, filled the way a user would
// fill it, for looking at the interface under a virtual display:
//   varo-screenshots DATABASE OUTPUT_DIRECTORY
// scripts/screenshots runs it under xvfb-run.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <memory>

#include "app/application/InterfaceFont.h"
#include "app/application/InterfaceLanguage.h"
#include "app/messages/MessageBoxes.h"
#include "app/pages/filter/FilterGridView.h"
#include "app/pages/filter/FilterPage.h"
#include "app/pages/manifest/ManifestPage.h"
#include "app/pages/manifest/VerifySourceDialog.h"
#include "app/widgets/GridFindBox.h"
#include "app/window/MainWindow.h"

namespace {

void Settle() {
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(30);
    }
}

// The widget's window, or the whole screen (for a box over the window).
// Where the system cannot copy the screen (Wine on a virtual display gives
// black), Qt draws the widget itself.
enum class Frame { Window, Screen };

bool Shoot(QWidget& widget, const QString& path, Frame frame = Frame::Window) {
    Settle();
    QPixmap shot = widget.screen()->grabWindow(frame == Frame::Window ? widget.winId() : 0);
    // A copy that failed is black all over; the page's own black list is not.
    const QImage image = shot.toImage();
    bool black = true;
    for (int y = 1; y < 8 && !image.isNull(); ++y) {
        for (int x = 1; x < 8; ++x) {
            black = black &&
                    image.pixel(image.width() * x / 8, image.height() * y / 8) == qRgb(0, 0, 0);
        }
    }
    if (image.isNull() || black) {
        shot = widget.grab();
    }
    return shot.save(path);
}

void WaitForImport(varo::ManifestPage& page) {
    while (page.IsImporting()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATABASE OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    varo::ApplyInterfaceFont();
    varo::LoadQtTranslation();
    const QString database = QString::fromLocal8Bit(argv[1]);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir work;

    varo::SqliteConnection connection;
    varo::ListHitTestRecord hitTest;
    varo::MainWindow window(connection, hitTest, work.path().toStdString());
    window.show();
    window.编辑框_数据库文件路径->setText(database);
    bool ok = true;

    // Page 1: computed rows, the editor open over the colour of the third row.
    varo::LightPillarPage& pillar = *window.lightPillarPage;
    pillar.ComputeFromDatabase();
    Settle();
    QTreeView* list = pillar.超级列表框1;
    const QRect cell = list->visualRect(pillar.Model().index(2, 1));
    const QPoint client = cell.center() + list->viewport()->pos();
    pillar.BeginCellEdit(client.x(), client.y());
    pillar.编辑框_AFI超级列表框编辑->setText(QStringLiteral("180"));
    ok &= Shoot(window, out.filePath(QStringLiteral("1-light-pillar.png")));
    pillar.CommitCellEdit();

    // Page 2: the demo items loaded, some flags set.
    window.选择夹1->setCurrentIndex(1);
    window.filterPage->LoadFilterGrid();
    window.filterPage->SetFlagForAll(varo::kFilterShowNameColumn, true);
    window.filterPage->Model().setData(window.filterPage->Model().index(4, varo::kFilterBestColumn),
                                       Qt::Checked, Qt::CheckStateRole);
    ok &= Shoot(window, out.filePath(QStringLiteral("2-filter.png")));

    // The find box with a few letters typed, two more rows selected below the match.
    varo::FilterGridView* grid = window.filterPage->高级表格_过滤文件生成;
    window.filterPage->FindBox()->Open();
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("药"));
    QApplication::sendEvent(window.filterPage->FindBox()->Edit(), &typed);
    const int found = grid->currentIndex().row();
    grid->selectionModel()->select(QItemSelection(window.filterPage->Model().index(found + 1, 0),
                                                  window.filterPage->Model().index(found + 2, 0)),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ok &= Shoot(window, out.filePath(QStringLiteral("2-filter-find.png")));
    window.filterPage->FindBox()->Close();

    // Page 3: during and after an import of a few resource files, large
    // enough (and sparse, so quick to make) to picture the import running;
    // no digest cache, as on a first run.
    window.选择夹1->setCurrentIndex(2);
    window.manifestPage->SetDigestCachePath({});
    QStringList files;
    for (const char* name :
         {"Items.wzl", "Items.wzx", "Prguse.wzl", "0.map", "3.map", "Login.mp3", "地图1.map"}) {
        const QString path = QDir(work.path()).filePath(QString::fromUtf8(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("v") != 1 || !file.resize(400 << 20)) {
            ok = false;
        }
        files << path;
    }
    window.manifestPage->选择框_热更模式->click();
    // The import runs in the background: the page while it runs, then done.
    window.manifestPage->ImportFiles(files);
    ok &= Shoot(window, out.filePath(QStringLiteral("3-manifest-importing.png")));
    WaitForImport(*window.manifestPage);
    ok &= Shoot(window, out.filePath(QStringLiteral("3-manifest.png")));

    // The release check: update.json written, then one file changed under the
    // same version. Success boxes are not shown; the question is.
    varo::SetMessageRoutine([](varo::MessageKind, const QString&, const QString&) {});
    window.manifestPage->WriteStandaloneManifest();
    QFile changed(files.front());
    if (!changed.open(QIODevice::Append) || changed.write("v") != 1) {
        ok = false;
    }
    changed.close();
    window.manifestPage->ImportFiles({files.front()});
    WaitForImport(*window.manifestPage);
    // The question box shown without a modal loop (closing a modal box from
    // code is unreliable under Wine), pictured and answered No.
    varo::SetQuestionRoutine([&](const QString& caption, const QString& text) {
        const std::unique_ptr<QMessageBox> box = varo::CreateQuestionBox(caption, text);
        box->show();
        ok &= Shoot(*box, out.filePath(QStringLiteral("3-manifest-release-check.png")),
                    Frame::Screen);
        return false;
    });
    window.manifestPage->WriteStandaloneManifest();
    // 校验发布目录…'s box, offering the address checked last.
    {
        varo::VerifySourceDialog source(
            &window, QStringLiteral("https://cdn.example.com/update/update.json"), {});
        source.show();
        ok &= Shoot(source, out.filePath(QStringLiteral("3-manifest-verify-source.png")),
                    Frame::Screen);
    }

    // Page 4: about.
    window.选择夹1->setCurrentIndex(3);
    ok &= Shoot(window, out.filePath(QStringLiteral("4-about.png")));
    return ok ? 0 : 1;
}
