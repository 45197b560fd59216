#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <functional>
#include <tuple>

#include "GuiHarness.h"
#include "app/pages/filter/FilterPage.h"
#include "app/pages/manifest/ManifestPage.h"
#include "app/pages/pillar/LightPillarPage.h"
#include "manifest/Manifest.h"
#include "platform/ProgramDirectory.h"
#include "support/TestSupport.h"

using namespace varo;
using varo::test::GuiHarness;

// The command line and the window write byte-identical files.
class CliMatchesWindowTest : public QObject {
    Q_OBJECT

    // varo-cli's environment: its digest cache beside `folder`, never the user's.
    static QProcessEnvironment TestEnvironment(const QString& folder) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString cache = QDir(folder).filePath(QStringLiteral("../cache"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
        environment.insert(QStringLiteral("LOCALAPPDATA"), QDir::toNativeSeparators(cache));
        // The refusals below are matched in English, whatever the machine's language.
        environment.insert(QStringLiteral("VARO_LANG"), QStringLiteral("en"));
        return environment;
    }

    static QByteArray RunCli(const QStringList& arguments, const QString& outputDirectory,
                             const QString& file) {
        QDir(outputDirectory).mkpath(QStringLiteral("."));
        QProcess cli;
        cli.setProcessEnvironment(TestEnvironment(outputDirectory));
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
        test::WaitForItemTable();
        window.lightPillarPage->WriteLightPillarFile();
        const QByteArray pillar =
            test::ReadBytes(harness.OutputFile(QStringLiteral("CustomItemNameColors.txt")));
        QVERIFY(!pillar.isEmpty());
        QCOMPARE(RunCli({QStringLiteral("pillar"), QStringLiteral("--db"), database,
                         QStringLiteral("--color"), QStringLiteral("２００"),
                         QStringLiteral("--force")},  // the window was answered 是
                        cliOut, QStringLiteral("CustomItemNameColors.txt")),
                 pillar);

        window.filterPage->LoadFilterGrid();
        test::WaitForItemTable();
        window.filterPage->SetFlagForAll(kFilterAutoPickUpColumn, true);
        for (const QString& form : {QStringLiteral("mobile"), QStringLiteral("pc")}) {
            window.filterPage->WriteFilterFile(
                form == QStringLiteral("pc") ? FilterFileForm::Pc : FilterFileForm::Mobile);
            const QByteArray filter =
                test::ReadBytes(harness.OutputFile(QStringLiteral("lsDefaultItemFilter.txt")));
            // The second form goes over the first: accepted, as the window was answered 是.
            QCOMPARE(RunCli({QStringLiteral("filter"), QStringLiteral("--db"), database,
                             QStringLiteral("--form"), form, QStringLiteral("--pickup"),
                             QStringLiteral("on"), QStringLiteral("--allow"),
                             QStringLiteral("other-form")},
                            cliOut, QStringLiteral("lsDefaultItemFilter.txt")),
                     filter);
        }

        // Flags from an earlier filter file, by name: 青铜剑 twice (the last
        // line wins), a name the database lacks.
        const QString earlier = harness.InputFile(QStringLiteral("earlier.txt"));
        test::WriteFile(earlier.toStdString(),
                        "青铜剑,4,1,1,1\r\n不存在的物品,4,1,1,1\r\n青铜剑,4,1,0,1\r\n");
        window.filterPage->LoadFilterGrid();
        test::WaitForItemTable();
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
        QVERIFY(test::ImportAndWait(manifest, files));
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

    // Each check of the one rulebook in both front ends: the window asks (否:
    // nothing happens, 是: it does), varo-cli refuses unless --force.
    void everyFindingIsAskedByTheWindowAndRefusedByTheCommandLine() {
        struct Case {
            const char* label;
            const char* question;  // the start of the window's question
            const char* refusal;   // what varo-cli says
            // Prepares the window and varo-cli's output folder alike; gives
            // varo-cli's arguments without --out.
            std::function<QStringList(GuiHarness&, const QString& cliOut)> prepare;
            // Runs the window's action; true when it took effect.
            std::function<bool(GuiHarness&)> act;
            const char* cliFile;  // the file varo-cli writes
        };
        const auto input = [](GuiHarness& harness, const char* name, const std::string& bytes) {
            const QString path = harness.InputFile(QString::fromUtf8(name));
            test::WriteFile(path.toStdString(), bytes);
            return path;
        };
        const auto resourcesAndPrevious = [input](GuiHarness& harness, const QString& cliOut,
                                                  const std::string& previous) {
            const QString resource = input(harness, "a.wzl", "new content");
            test::WriteFile(harness.OutputFile(QStringLiteral("update.json")).toStdString(),
                            previous);
            test::WriteFile(QDir(cliOut).filePath(QStringLiteral("update.json")).toStdString(),
                            previous);
            if (!test::ImportAndWait(*harness.Window().manifestPage, {resource})) {
                return QStringList();
            }
            return QStringList{QStringLiteral("manifest"), resource};
        };
        const auto updateWritten = [](GuiHarness& harness) {
            harness.Window().manifestPage->WriteStandaloneManifest();
            // Written: it lists a.wzl, with its digest rather than a previous file's "m".
            const QByteArray written =
                test::ReadBytes(harness.OutputFile(QStringLiteral("update.json")));
            return written.contains("a.wzl") && !written.contains("\"md5\":\"m\"");
        };
        const std::string notFilter = "a\t255\t0\t20\t1\r\nb\t255\t0\t20\t1\r\n";
        // A database of these items, and the light-pillar file written from it.
        const auto pillarFrom = [](std::vector<test::Row> rows) {
            return [rows](GuiHarness& harness, const QString&) {
                const QString database = harness.UseItemDatabase(rows);
                return QStringList{QStringLiteral("pillar"), QStringLiteral("--db"), database};
            };
        };
        const auto pillarWritten = [](GuiHarness& harness) {
            harness.Window().lightPillarPage->ComputeFromDatabase();
            test::WaitForItemTable();
            harness.Window().lightPillarPage->WriteLightPillarFile();
            return QFile::exists(harness.OutputFile(QStringLiteral("CustomItemNameColors.txt")));
        };
        const auto filterFrom = [](std::vector<test::Row> rows) {
            return [rows](GuiHarness& harness, const QString&) {
                const QString database = harness.UseItemDatabase(rows);
                return QStringList{QStringLiteral("filter"), QStringLiteral("--db"), database,
                                   QStringLiteral("--form"), QStringLiteral("pc")};
            };
        };
        const auto filterWritten = [](GuiHarness& harness) {
            harness.Window().filterPage->LoadFilterGrid();
            test::WaitForItemTable();
            harness.Window().filterPage->WriteFilterFile(FilterFileForm::Pc);
            return QFile::exists(harness.OutputFile(QStringLiteral("lsDefaultItemFilter.txt")));
        };
        // An existing file in both output folders, which an empty result would empty.
        const auto over = [](auto prepare, const char* file) {
            return [prepare, file](GuiHarness& harness, const QString& cliOut) {
                for (const QString& folder : {harness.OutputDirectory(), cliOut}) {
                    test::WriteFile(QDir(folder).filePath(QString::fromUtf8(file)).toStdString(),
                                    "previous\r\n");
                }
                return prepare(harness, cliOut);
            };
        };
        const auto emptied = [](auto written, const char* file) {
            return [written, file](GuiHarness& harness) {
                written(harness);
                return QFileInfo(harness.OutputFile(QString::fromUtf8(file))).size() == 0;
            };
        };
        const Case cases[] = {
            {"light-pillar values a client cannot use", "以下数值客户端无法使用",
             "light-pillar value a client cannot use",
             [](GuiHarness& harness, const QString&) {
                 const QString database =
                     harness.UseItemDatabase({test::ItemRow("木剑", "1", "150")});
                 harness.Window().lightPillarPage->编辑框_颜色值->setText(QStringLiteral("0"));
                 return QStringList{QStringLiteral("pillar"), QStringLiteral("--db"), database,
                                    QStringLiteral("--color"), QStringLiteral("0")};
             },
             [](GuiHarness& harness) {
                 harness.Window().lightPillarPage->ComputeFromDatabase();
                 test::WaitForItemTable();
                 harness.Window().lightPillarPage->WriteLightPillarFile();
                 return QFile::exists(
                     harness.OutputFile(QStringLiteral("CustomItemNameColors.txt")));
             },
             "CustomItemNameColors.txt"},
            {"a file to import that is no filter file", "文件“", "does not look like a filter file",
             [&](GuiHarness& harness, const QString&) {
                 const QString file = input(harness, "colors.txt", notFilter);
                 harness.AnswerNextDialog({file});
                 return QStringList{QStringLiteral("filter"), QStringLiteral("--import"), file};
             },
             [](GuiHarness& harness) {
                 harness.Window().filterPage->ImportFilterFile();
                 return harness.Window().filterPage->Model().GridRowCount() == 3;
             },
             "lsDefaultItemFilter.txt"},
            {"a file to apply that is no filter file", "文件“", "does not look like a filter file",
             [&](GuiHarness& harness, const QString&) {
                 const QString database = harness.UseItemDatabase({test::ItemRow("a", "1", "0")});
                 harness.Window().filterPage->LoadFilterGrid();
                 test::WaitForItemTable();
                 const QString file = input(harness, "colors.txt", "a\t1,4,1,1,1\r\n");
                 harness.AnswerNextDialog({file});
                 return QStringList{QStringLiteral("filter"), QStringLiteral("--db"), database,
                                    QStringLiteral("--apply"), file};
             },
             [](GuiHarness& harness) {
                 FilterPage& page = *harness.Window().filterPage;
                 page.ApplyFilterFile();
                 return harness.Messages().size() == 1;  // the summary of an apply
             },
             "lsDefaultItemFilter.txt"},
            {"changes under a version that is not greater", "版本号未变更",
             "is not greater than 1.2.5",
             [=](GuiHarness& harness, const QString& cliOut) {
                 return resourcesAndPrevious(
                     harness, cliOut,
                     BuildStandaloneManifest(
                         BuildManifestBody("a.wzl m 1\r\n", ManifestMode::MicroClient, ""),
                         "1.2.5"));
             },
             updateWritten, "update.json"},
            {"a previous update.json that cannot be read", "已有的文件“", "not a readable manifest",
             [=](GuiHarness& harness, const QString& cliOut) {
                 return resourcesAndPrevious(harness, cliOut, "{\"assets_version\":");
             },
             updateWritten, "update.json"},
            {"an empty light-pillar list over a file with rows", "要生成的内容为空",
             "the result is empty",
             over(pillarFrom({test::ItemRow("木剑", "1", "50")}), "CustomItemNameColors.txt"),
             emptied(pillarWritten, "CustomItemNameColors.txt"), "CustomItemNameColors.txt"},
            {"an empty grid over a filter file", "要生成的内容为空", "the result is empty",
             over(filterFrom({}), "lsDefaultItemFilter.txt"),
             emptied(filterWritten, "lsDefaultItemFilter.txt"), "lsDefaultItemFilter.txt"},
            {"a tab in a light-pillar name", "以下物品名字含有制表符或换行符",
             "holding a tab or a line break", pillarFrom({test::ItemRow("木\t剑", "1", "150")}),
             pillarWritten, "CustomItemNameColors.txt"},
            {"a line break in a filter name", "以下物品名字含有制表符或换行符",
             "holding a tab or a line break", filterFrom({test::ItemRow("木\n剑", "1", "0")}),
             filterWritten, "lsDefaultItemFilter.txt"},
            {"characters GBK lacks", "以下物品名字含有GBK编码中没有的字符", "characters GBK lacks",
             pillarFrom({test::ItemRow("表情😀", "1", "150")}), pillarWritten,
             "CustomItemNameColors.txt"},
            {"a shine value beyond 32 bits", "以下物品的光柱值（第38列）超出32位整数的范围",
             "beyond 32 bits",
             pillarFrom({test::ItemRow("a", "1", "2147483748"), test::ItemRow("b", "1", "150")}),
             [](GuiHarness& harness) {
                 harness.Window().lightPillarPage->ComputeFromDatabase();
                 test::WaitForItemTable();
                 return harness.Window().lightPillarPage->Model().rowCount() == 1;
             },
             "CustomItemNameColors.txt"},
            {"a version with a space after it", "版本号“1.4 ”的前后有空白字符", "white space",
             [input](GuiHarness& harness, const QString&) {
                 const QString resource = input(harness, "a.wzl", "content");
                 harness.Window().manifestPage->编辑框_版本号->setText(QStringLiteral("1.4 "));
                 if (!test::ImportAndWait(*harness.Window().manifestPage, {resource})) {
                     return QStringList();
                 }
                 return QStringList{QStringLiteral("manifest"), QStringLiteral("--version"),
                                    QStringLiteral("1.4 "), resource};
             },
             updateWritten, "update.json"},
            {"a custom folder that leaves the root", "自定义目录“../fonts”会指向更新目录之外",
             "leaves the update's root",
             [input](GuiHarness& harness, const QString&) {
                 const QString resource = input(harness, "a.wzl", "content");
                 ManifestPage& page = *harness.Window().manifestPage;
                 page.选择框_自定义目录名->click();
                 page.编辑框_自定义目录名->setText(QStringLiteral("../fonts"));
                 if (!test::ImportAndWait(page, {resource})) {
                     return QStringList();
                 }
                 return QStringList{QStringLiteral("manifest"), QStringLiteral("--mode"),
                                    QStringLiteral("custom"),   QStringLiteral("--dir"),
                                    QStringLiteral("../fonts"), resource};
             },
             updateWritten, "update.json"},
            {"most entries of the previous update.json dropped", "已有的文件“",
             "would drop 2 of the 3",
             [=](GuiHarness& harness, const QString& cliOut) {
                 return resourcesAndPrevious(
                     harness, cliOut,
                     BuildStandaloneManifest(
                         BuildManifestBody("a.wzl m 1\r\nb.wzl m 1\r\nc.wzl m 1\r\n",
                                           ManifestMode::MicroClient, ""),
                         "1.2"));
             },
             updateWritten, "update.json"},
            {"two files giving one name with other bytes", "以下文件名来自两个内容不同的文件",
             "given by two files with other bytes",
             [input](GuiHarness& harness, const QString&) {
                 QDir(harness.InputFile(QString())).mkpath(QStringLiteral("one"));
                 QDir(harness.InputFile(QString())).mkpath(QStringLiteral("two"));
                 const QString one = input(harness, "one/x.wzl", "first");
                 const QString two = input(harness, "two/x.wzl", "second");
                 ManifestPage& page = *harness.Window().manifestPage;
                 page.ImportFiles({one, two});
                 return QStringList{QStringLiteral("manifest"), one, two};
             },
             [](GuiHarness& harness) {
                 ManifestPage& page = *harness.Window().manifestPage;
                 return test::WaitForImport(page) && !page.ResourceListText().empty();
             },
             "update.json"},
            {"a tab in a filter name", "以下物品名字含有制表符或换行符", "holding a tab",
             filterFrom({test::ItemRow("木\t剑", "1", "0")}), filterWritten,
             "lsDefaultItemFilter.txt"},
            {"the PC form over a mobile filter file", "已有的文件“", "is in the mobile form",
             [filterFrom](GuiHarness& harness, const QString& cliOut) {
                 for (const QString& folder : {harness.OutputDirectory(), cliOut}) {
                     test::WriteFile(QDir(folder)
                                         .filePath(QStringLiteral("lsDefaultItemFilter.txt"))
                                         .toStdString(),
                                     "木剑,4,0,0,0\r\n");
                 }
                 return filterFrom({test::ItemRow("木剑", "1", "0")})(harness, cliOut);
             },
             [filterWritten](GuiHarness& harness) {
                 filterWritten(harness);
                 return test::ReadBytes(
                            harness.OutputFile(QStringLiteral("lsDefaultItemFilter.txt")))
                     .startsWith("\xC4\xBE\xBD\xA3");  // 木剑 in GBK
             },
             "lsDefaultItemFilter.txt"},
            {"a version clients cannot compare", "版本号“v1.3”不是用点分隔的数字",
             "is not dotted decimal numbers",
             [input](GuiHarness& harness, const QString&) {
                 const QString resource = input(harness, "a.wzl", "content");
                 harness.Window().manifestPage->编辑框_版本号->setText(QStringLiteral("v1.3"));
                 if (!test::ImportAndWait(*harness.Window().manifestPage, {resource})) {
                     return QStringList();
                 }
                 return QStringList{QStringLiteral("manifest"), QStringLiteral("--version"),
                                    QStringLiteral("v1.3"), resource};
             },
             updateWritten, "update.json"},
        };
        for (const Case& c : cases) {
            for (const bool yes : {false, true}) {
                GuiHarness harness;
                const QString cliOut = harness.InputFile(QStringLiteral("cli"));
                QVERIFY(QDir().mkpath(cliOut));
                const QStringList arguments = c.prepare(harness, cliOut);
                QVERIFY2(!arguments.isEmpty(), c.label);
                harness.AnswerNextQuestion(yes);
                QVERIFY2(c.act(harness) == yes, c.label);
                QVERIFY2(harness.Questions().size() == 1, c.label);
                QVERIFY2(harness.Questions()[0].startsWith(QString::fromUtf8(c.question)),
                         qPrintable(harness.Questions()[0]));

                // varo-cli: refused, naming the finding's kind; written when
                // that kind is accepted with --allow.
                const QString target = QDir(cliOut).filePath(QString::fromUtf8(c.cliFile));
                const QByteArray before = test::ReadBytes(target);
                const auto run = [&](const QStringList& extra) {
                    for (int attempt = 1;; ++attempt) {
                        QProcess cli;
                        cli.setProcessEnvironment(TestEnvironment(cliOut));
                        cli.start(QString::fromStdString(ProgramDirectory() + "/varo-cli"),
                                  arguments + QStringList{QStringLiteral("--out"), cliOut} + extra);
                        // Wine now and then fails to start a process at all: that is
                        // tried again; anything else the program did is the answer.
                        if (!cli.waitForStarted(30000) && attempt < 3) {
                            continue;
                        }
                        const bool finished = cli.waitForFinished(60000);
                        QString err = QString::fromUtf8(cli.readAllStandardError());
                        if (!finished || cli.exitStatus() != QProcess::NormalExit) {
                            err += QStringLiteral(" [%1: %2]").arg(c.label, cli.errorString());
                            return std::make_pair(-1, err);
                        }
                        return std::make_pair(cli.exitCode(), err);
                    }
                };
                const auto [refusedStatus, refused] = run({});
                QVERIFY2(refusedStatus == 1,
                         qPrintable(QString::fromUtf8(c.label) + QStringLiteral(": ") + refused));
                QVERIFY2(refused.contains(QString::fromUtf8(c.refusal)), qPrintable(refused));
                QVERIFY2(refused.contains(QStringLiteral("nothing was written")),
                         qPrintable(refused));
                QCOMPARE(test::ReadBytes(target), before);
                // The first kind printed; later checks of the same run may name more.
                const auto kindIn = [](const QString& err) {
                    const qsizetype open = err.lastIndexOf(QLatin1Char('['));
                    return open < 0
                               ? QString()
                               : err.mid(open + 1, err.indexOf(QLatin1Char(']'), open) - open - 1);
                };
                QStringList kinds{kindIn(refused)};
                QVERIFY2(!kinds[0].isEmpty(), qPrintable(refused));
                if (yes) {
                    int status = 1;
                    QString err;
                    for (int round = 0; round < 3 && status != 0; ++round) {
                        std::tie(status, err) =
                            run({QStringLiteral("--allow"), kinds.join(QLatin1Char(','))});
                        kinds << kindIn(err);
                    }
                    QVERIFY2(status == 0, qPrintable(err));
                    QVERIFY2(err.contains(QStringLiteral("warning: ")), qPrintable(err));
                    QVERIFY2(test::ReadBytes(target) != before, c.label);
                }
            }
        }
    }
};

QTEST_MAIN(CliMatchesWindowTest)
#include "CliMatchesWindowTest.moc"
