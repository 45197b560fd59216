#include "GuiHarness.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <cstdlib>

#include "app/pages/manifest/VerifySourceDialog.h"
#include "support/TestSupport.h"

namespace varo::test {
namespace {

// Qt's offscreen screen is 800 pixels wide, less than the window with its
// frame; the tests run on a common laptop screen of 1366 x 768 instead.
// Set before main() makes the application.
const bool kLaptopScreen = [] {
    if (qgetenv("QT_QPA_PLATFORM") != "offscreen") {
        return false;
    }
    // In the current folder, named without a drive (Qt splits the platform
    // options at colons), one per test program running.
    static const QString config =
        QStringLiteral("varo-offscreen-screen-%1.json").arg(QCoreApplication::applicationPid());
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    file.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366,
                  "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toUtf8());
    std::atexit([] { QFile::remove(config); });
    return true;
}();

}  // namespace

GuiHarness::GuiHarness() {
    SetDialogFolders({});  // each test starts as a first run
    SetOpenFileDialogRoutine([this](QWidget*, const OpenFileRequest& request) {
        requests_.append(request);
        return answers_.isEmpty() ? QStringList() : answers_.takeFirst();
    });
    // 校验发布目录…'s box takes the next answer as the path or address typed.
    SetVerifySourceRoutine([this](QWidget*, const QString& lastAddress) {
        verifySourcesOffered_.append(lastAddress);
        return answers_.isEmpty() || answers_.first().isEmpty() ? QString()
                                                                : answers_.takeFirst().first();
    });
    SetMessageRoutine([this](MessageKind kind, const QString& caption, const QString& text) {
        messages_.append({kind, caption, text});
    });
    SetQuestionRoutine([this](const QString&, const QString& text) {
        questions_.append(text);
        return questionAnswers_.isEmpty() || questionAnswers_.takeFirst();
    });
    SetChoiceRoutine([this](const QString&, const QString& text, const QStringList& choices) {
        choices_.append(text);
        // Unasked for: the last choice, which leaves things as they are.
        return choiceAnswers_.isEmpty() ? std::optional<int>(static_cast<int>(choices.size()) - 1)
                                        : choiceAnswers_.takeFirst();
    });
    window_ = std::make_unique<MainWindow>(connection_, hitTest_, output_.path().toStdString());
    // The digest cache of this test alone, never the user's.
    window_->manifestPage->SetDigestCachePath(
        input_.filePath(QStringLiteral("cache/digests.sqlite")).toStdString());
    SetDialogFilters({});
    window_->show();
    window_->activateWindow();
    if (!QTest::qWaitForWindowActive(window_.get())) {
        qWarning("the window did not become active");
    }
}

GuiHarness::~GuiHarness() {
    window_.reset();
    SetOpenFileDialogRoutine({});
    SetVerifySourceRoutine({});
    SetMessageRoutine({});
    SetQuestionRoutine({});
    SetChoiceRoutine({});
}

void GuiHarness::PressEscape() {
    if (QApplication::activeWindow() != window_.get()) {
        window_->activateWindow();
        if (!QTest::qWaitForWindowActive(window_.get())) {
            qWarning("the window did not become active");
        }
    }
    QTest::keyClick(window_.get(), Qt::Key_Escape);
}

QString GuiHarness::UseItemDatabase(
    const std::vector<std::vector<std::optional<std::string>>>& rows) {
    const QString path = InputFile(QStringLiteral("items.DB"));
    CreateItemDatabase(path.toStdString(), 40, rows);
    window_->编辑框_数据库文件路径->setText(path);
    return path;
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

bool WaitForImport(ManifestPage& page) {
    return QTest::qWaitFor([&page] { return !page.IsImporting(); }, 120000);
}

void WaitForItemTable() {
    const auto idle = [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            const auto* window = dynamic_cast<MainWindow*>(widget);
            if (window != nullptr && window->itemTableLoader->IsLoading()) {
                return false;
            }
        }
        return true;
    };
    if (!QTest::qWaitFor(idle, 20000)) {
        QTest::qFail("the item table load did not end", __FILE__, __LINE__);
    }
}

bool ImportAndWait(ManifestPage& page, const QStringList& files) {
    page.ImportFiles(files);
    return WaitForImport(page);
}

}  // namespace varo::test
