#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include "GuiHarness.h"
#include "app/FilterPage.h"
#include "app/ManifestPage.h"
#include "platform/ProgramDirectory.h"
#include "support/TestSupport.h"

using namespace varo;
using varo::test::GuiHarness;

// The command line and the window write byte-identical files.
class CliMatchesWindowTest : public QObject {
    Q_OBJECT

    static QByteArray RunCli(const QStringList& arguments, const QString& outputDirectory,
                             const QString& file) {
        QDir(outputDirectory).mkpath(QStringLiteral("."));
        QProcess cli;
        cli.start(QString::fromStdString(ProgramDirectory() + "/varo-cli"),
                  arguments + QStringList{QStringLiteral("--out"), outputDirectory});
        if (!cli.waitForFinished(30000) || cli.exitCode() != 0) {
            qWarning("varo-cli failed: %s", cli.readAllStandardError().constData());
            return {};
        }
        return test::ReadBytes(QDir(outputDirectory).filePath(file));
    }

  private slots:
    void everyFileIsByteIdentical() {
        GuiHarness harness;
        MainWindow& window = harness.Window();
        const QString database = QString::fromStdString(ProgramDirectory() + "/QELDA.DB");
        const QString cliOut = harness.InputFile(QStringLiteral("cli"));
        window.编辑框_数据库文件路径->setText(database);

        window.lightPillarPage->编辑框_颜色值->setText(QStringLiteral("２００"));
        window.lightPillarPage->ComputeFromDatabase();
        window.lightPillarPage->WriteLightPillarFile();
        const QByteArray pillar =
            test::ReadBytes(harness.OutputFile(QStringLiteral("CustomItemNameColors.txt")));
        QVERIFY(!pillar.isEmpty());
        QCOMPARE(RunCli({QStringLiteral("pillar"), QStringLiteral("--db"), database,
                         QStringLiteral("--color"), QStringLiteral("２００")},
                        cliOut, QStringLiteral("CustomItemNameColors.txt")),
                 pillar);

        window.filterPage->LoadFilterGrid();
        window.filterPage->SetFlagForAll(kFilterAutoPickUpColumn, true);
        for (const QString& form : {QStringLiteral("mobile"), QStringLiteral("pc")}) {
            window.filterPage->WriteFilterFile(
                form == QStringLiteral("pc") ? FilterFileForm::Pc : FilterFileForm::Mobile);
            const QByteArray filter =
                test::ReadBytes(harness.OutputFile(QStringLiteral("lsDefaultItemFilter.txt")));
            QCOMPARE(RunCli({QStringLiteral("filter"), QStringLiteral("--db"), database,
                             QStringLiteral("--form"), form, QStringLiteral("--pickup"),
                             QStringLiteral("on")},
                            cliOut, QStringLiteral("lsDefaultItemFilter.txt")),
                     filter);
        }

        // Flags from an earlier filter file, by name: 青铜剑 twice (the last
        // line wins), a name the database lacks.
        const QString earlier = harness.InputFile(QStringLiteral("earlier.txt"));
        test::WriteFile(earlier.toStdString(),
                        "青铜剑,4,1,1,1\r\n不存在的物品,4,1,1,1\r\n青铜剑,4,1,0,1\r\n");
        window.filterPage->LoadFilterGrid();
        harness.AnswerNextDialog({earlier});
        window.filterPage->套用过滤文件动作->trigger();
        const QString summary = harness.Messages().last().text;
        QVERIFY2(summary.contains(QStringLiteral("已按名称为1行设置了标记")) &&
                     summary.contains(QStringLiteral("1个名字不在数据库中：\n不存在的物品")),
                 qPrintable(summary));
        window.filterPage->WriteFilterFile(FilterFileForm::Pc);
        QCOMPARE(RunCli({QStringLiteral("filter"), QStringLiteral("--db"), database,
                         QStringLiteral("--apply"), earlier, QStringLiteral("--form"),
                         QStringLiteral("pc")},
                        cliOut, QStringLiteral("lsDefaultItemFilter.txt")),
                 test::ReadBytes(harness.OutputFile(QStringLiteral("lsDefaultItemFilter.txt"))));

        QStringList files;
        for (const char* name : {"a.wzl", "地图.map", "s p.mp3"}) {
            const QString path = harness.InputFile(QString::fromUtf8(name));
            test::WriteFile(path.toStdString(), std::string(name) + "content");
            files << path;
        }
        ManifestPage& manifest = *window.manifestPage;
        manifest.选择框_热更模式->click();
        manifest.ImportFiles(files);
        manifest.WriteStandaloneManifest();
        manifest.WriteSingleManifest();
        const QStringList cliArguments =
            QStringList{QStringLiteral("manifest"), QStringLiteral("--mode"),
                        QStringLiteral("hot")} +
            files;
        QCOMPARE(RunCli(cliArguments, cliOut, QStringLiteral("update.json")),
                 test::ReadBytes(harness.OutputFile(QStringLiteral("update.json"))));
        QCOMPARE(RunCli(cliArguments + QStringList{QStringLiteral("--single")}, cliOut,
                        QStringLiteral("单json文件.json")),
                 test::ReadBytes(harness.OutputFile(QStringLiteral("单json文件.json"))));
    }
};

QTEST_MAIN(CliMatchesWindowTest)
#include "CliMatchesWindowTest.moc"
