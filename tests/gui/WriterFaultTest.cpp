#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "GuiHarness.h"
#include "app/pages/filter/FilterPage.h"
#include "app/pages/manifest/ManifestPage.h"
#include "support/TestSupport.h"

using namespace varo;
using varo::test::GuiHarness;

namespace {

// Runs `write` while files may grow to 1 KiB only, as on a full disk.
void WithFullDisk(const std::function<void()>& write) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    write();
    setrlimit(RLIMIT_FSIZE, &old);
}

// Runs `write` with the output directory read-only; root ignores that, so the
// write then runs with the effective user "nobody".
void WithReadOnlyDirectory(const QString& directory, const std::function<void()>& write) {
    // Readable by all (nobody keeps root's group here), writable by none.
    QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                         QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                         QFileDevice::ReadOther | QFileDevice::ExeOther);
    const bool root = ::geteuid() == 0;
    if (root && ::seteuid(65534) != 0) {
        qWarning("cannot act as nobody");
    }
    write();
    if (root && ::seteuid(0) != 0) {
        qFatal("cannot return to root");
    }
    QFile::setPermissions(directory,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace

// Every writer of the window, on a full disk, in a read-only directory and
// with its name taken by a directory: the previous file stays byte for byte, no temporary file is
// left, and no success message is shown.
class WriterFaultTest : public QObject {
    Q_OBJECT

  private slots:
    void writersKeepThePreviousFile_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("file");
        QTest::newRow("light pillar")
            << QStringLiteral("按钮_生成光柱文件") << QStringLiteral("CustomItemNameColors.txt");
        QTest::newRow("filter mobile")
            << QStringLiteral("按钮_生成手机过滤文件") << QStringLiteral("lsDefaultItemFilter.txt");
        QTest::newRow("filter pc")
            << QStringLiteral("按钮_生成PC过滤文件") << QStringLiteral("lsDefaultItemFilter.txt");
        QTest::newRow("single manifest")
            << QStringLiteral("按钮_生成单json文件") << QStringLiteral("单json文件.json");
        QTest::newRow("update manifest")
            << QStringLiteral("按钮_生成独立json文件") << QStringLiteral("update.json");
    }

    void writersKeepThePreviousFile() {
        QFETCH(QString, button);
        QFETCH(QString, file);
        GuiHarness harness;
        MainWindow& window = harness.Window();

        // Enough content in every page for files well over 1 KiB.
        std::vector<test::Row> rows;
        for (int i = 0; i < 200; ++i) {
            rows.push_back(test::ItemRow("物品" + std::to_string(i), "1", "150"));
        }
        harness.UseItemDatabase(rows);
        window.lightPillarPage->ComputeFromDatabase();
        test::WaitForItemTable();
        window.filterPage->LoadFilterGrid();
        test::WaitForItemTable();
        QStringList resources;
        for (int i = 0; i < 40; ++i) {
            resources << harness.InputFile(QStringLiteral("r%1.wzl").arg(i));
            test::WriteFile(resources.back().toStdString(), "x");
        }
        QVERIFY(test::ImportAndWait(*window.manifestPage, resources));

        auto* trigger = window.findChild<QPushButton*>(button);
        QVERIFY(trigger != nullptr);
        const QString target = harness.OutputFile(file);
        const QStringList expectedEntries{file};
        const auto entries = [&] {
            return QDir(harness.OutputDirectory())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        };

        // Each failure: one warning naming the file and the reason, never a
        // success box; it says the previous file is kept only when there was one.
        const auto warned = [&](const QString& reason, bool previousKept = true) {
            const QList<test::ShownMessage>& messages = harness.Messages();
            return !messages.isEmpty() && messages.last().kind == MessageKind::Warning &&
                   messages.last().text.contains(target) && messages.last().text.contains(reason) &&
                   messages.last().text.contains(QStringLiteral("原有文件保持不变")) ==
                       previousKept;
        };
        // An update.json before must be one, or the release check warns first.
        const QByteArray previous = file == QStringLiteral("update.json")
                                        ? QByteArray(R"({"assets_version":"0","md5list":[]})")
                                        : QByteArray("previous");
        test::WriteFile(target.toStdString(), previous.toStdString());
        WithFullDisk([&] { QTest::mouseClick(trigger, Qt::LeftButton); });
        QCOMPARE(test::ReadBytes(target), previous);
        QCOMPARE(entries(), expectedEntries);
        QCOMPARE(harness.Messages().size(), 1);
        QVERIFY(warned(QStringLiteral("文件超出允许的大小")));

        WithReadOnlyDirectory(harness.OutputDirectory(),
                              [&] { QTest::mouseClick(trigger, Qt::LeftButton); });
        QCOMPARE(test::ReadBytes(target), previous);
        QCOMPARE(entries(), expectedEntries);
        QVERIFY(harness.Questions().isEmpty());
        QCOMPARE(harness.Messages().size(), 2);
        QVERIFY2(warned(QStringLiteral("程序所在的文件夹不能写入，没有访问权限")),
                 qPrintable(harness.Messages().last().text));

        // The same folder without a previous file (Program Files, say): what
        // to do, and no word of a previous file.
        QFile::remove(target);
        WithReadOnlyDirectory(harness.OutputDirectory(),
                              [&] { QTest::mouseClick(trigger, Qt::LeftButton); });
        QCOMPARE(harness.Messages().size(), 3);
        QVERIFY2(warned(QStringLiteral("请把程序文件夹移到可以写入的位置"), false),
                 qPrintable(harness.Messages().last().text));

        QVERIFY(QDir(harness.OutputDirectory()).mkdir(file));
        QTest::mouseClick(trigger, Qt::LeftButton);
        QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(entries(), expectedEntries);
        QCOMPARE(harness.Messages().size(), 4);
        QVERIFY(warned(QStringLiteral("同名的目录已存在"), false));

        QVERIFY(QDir(harness.OutputDirectory()).rmdir(file));
        QTest::mouseClick(trigger, Qt::LeftButton);
        QVERIFY(test::ReadBytes(target).size() > 1024);
        QCOMPARE(harness.Messages().size(), 5);
        QVERIFY(harness.Messages().last().kind == MessageKind::Plain);
    }

    // A program folder named in GBK bytes, as unpacked from a Windows archive:
    // every writer writes into it.
    void writersWriteIntoAFolderWhoseNameIsNotUtf8() {
        test::TempDir dir;
        const std::string folder = dir.File("\xB9\xA4\xBE\xDF");  // 工具 in GBK
        QVERIFY(::mkdir(folder.c_str(), 0700) == 0);
        SqliteConnection connection;
        ListHitTestRecord hitTest;
        int successes = 0;
        SetMessageRoutine([&](MessageKind kind, const QString&, const QString&) {
            successes += kind == MessageKind::Plain ? 1 : 0;
        });
        MainWindow window(connection, hitTest, folder);
        window.lightPillarPage->WriteLightPillarFile();
        window.filterPage->WriteFilterFile(FilterFileForm::Pc);
        window.manifestPage->WriteSingleManifest();
        window.manifestPage->WriteStandaloneManifest();
        QCOMPARE(test::ListDirectory(folder),
                 (std::vector<std::string>{"CustomItemNameColors.txt", "lsDefaultItemFilter.txt",
                                           "update.json", "单json文件.json"}));
        QCOMPARE(successes, 4);
        SetMessageRoutine({});
    }

    void tenThousandFilesInOneImport() {
        GuiHarness harness;
        ManifestPage& page = *harness.Window().manifestPage;
        QStringList files;
        for (int i = 0; i < 10000; ++i) {
            const QString path = harness.InputFile(QStringLiteral("f%1.wzl").arg(i));
            test::WriteFile(path.toStdString(), std::to_string(i));
            files << path;
        }
        QVERIFY(test::ImportAndWait(page, files));
        const std::string list = page.ResourceListText();
        QCOMPARE(std::count(list.begin(), list.end(), '\n'), 10000L);
        QVERIFY(list.rfind("f0.wzl cfcd208495d565ef66e7dff9f98764da 1\r\n", 0) == 0);
        QCOMPARE(page.进度条1->value(), 10000);
        QVERIFY(harness.Messages().isEmpty());
    }
};

QTEST_MAIN(WriterFaultTest)
#include "WriterFaultTest.moc"
