#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "db/ItemTable.h"
#include "filter/FilterFile.h"
#include "manifest/Manifest.h"
#include "manifest/ReleaseCheck.h"
#include "pillar/LightPillar.h"
#include "platform/FileIo.h"
#include "platform/ProgramDirectory.h"
#include "support/HttpTestServer.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

using test::ReadFile;
using test::TempDir;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs the real varo-cli; stdout and stderr are files, so stderr is no terminal.
// `prefix` runs before the program in the same shell, such as a ulimit;
// `wrapper` runs the program, such as setpriv.
CliRun RunCli(const TempDir& dir, const std::vector<std::string>& arguments,
              const std::string& prefix = "", const std::string& wrapper = "") {
    // The digest cache of this test's folder, never the user's.
    // English unless the test asks for another language (a later assignment wins).
    std::string command = "VARO_LANG=en " + prefix + "XDG_CACHE_HOME=" + Quoted(dir.File("cache")) +
                          " exec " + wrapper + Quoted(ProgramDirectory() + "/varo-cli");
    for (const std::string& argument : arguments) {
        command += ' ';
        command += Quoted(argument);
    }
    command +=
        " >" + Quoted(dir.File("cli.out")) + " 2>" + Quoted(dir.File("cli.err")) + " </dev/null";
    const int raw = std::system(("sh -c " + Quoted(command)).c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(dir.File("cli.out")).value_or("");
    run.err = ReadFile(dir.File("cli.err")).value_or("");
    std::filesystem::remove(dir.File("cli.out"));
    std::filesystem::remove(dir.File("cli.err"));
    return run;
}

class CliTest : public testing::Test {
  protected:
    void SetUp() override {
        database = dir.File("items.DB");
        test::CreateItemDatabase(
            database, 40,
            {test::ItemRow("木剑", "1", "101"), test::ItemRow("金创药", "3", "100"),
             test::ItemRow("骨头", "9", "55")});
        out = dir.File("out");
        std::filesystem::create_directory(out);
    }

    ItemTable Table() {
        SqliteConnection connection;
        return LoadItemTable(connection, database);
    }

    TempDir dir;
    std::string database;
    std::string out;
};

TEST_F(CliTest, PillarWritesWhatTheCoreComputes) {
    const CliRun run = RunCli(dir, {"pillar", "--db", database, "--color", "１２", "--effect-count",
                                    "7", "--pillar-file", "", "--force", "--out", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "wrote " + out + "/CustomItemNameColors.txt (2 entries)\n");
    EXPECT_EQ(run.err.rfind("varo-cli: warning: 4 light-pillar values a client cannot use", 0), 0u)
        << run.err;
    const LightPillarParameters parameters{test::GbkString("\xA3\xB1\xA3\xB2"),
                                           GbkText(GbkView("7")), GbkText()};
    EXPECT_EQ(ReadFile(out + "/CustomItemNameColors.txt"),
              FormatLightPillarFile(ComputeLightPillarRows(Table().matrix, parameters)));
}

TEST_F(CliTest, FilterFromTheDatabaseAndFromAFile) {
    // Paths as Explorer's 复制为路径 gives them, in double quotes.
    CliRun run = RunCli(dir, {"filter", "--db", "\"" + database + "\"", "--form", "pc", "--best",
                              "on", "--show-name", "off", "--out", "\"" + out + "\""});
    ASSERT_EQ(run.status, 0) << run.err;
    const ItemTable table = Table();
    FilterRows rows = LoadFilterRows(table.matrix, table.rows);
    SetFlagForAll(rows, kFilterBestColumn, true);
    const std::string pc = EncodeFilterFile(rows, FilterFileForm::Pc).bytes;
    EXPECT_EQ(ReadFile(out + "/lsDefaultItemFilter.txt"), pc);

    // The PC file read back and written in the mobile form over it (accepted
    // by its kind), pick-up switched on.
    test::WriteFile(dir.File("pc.txt"), pc);
    run = RunCli(dir, {"filter", "--import", dir.File("pc.txt"), "--pickup", "on", "--out", out});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("[other-form]"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(out + "/lsDefaultItemFilter.txt"), pc);
    run = RunCli(dir, {"filter", "--import", dir.File("pc.txt"), "--pickup", "on", "--allow",
                       "other-form", "--out", out});
    ASSERT_EQ(run.status, 0) << run.err;
    SetFlagForAll(rows, kFilterAutoPickUpColumn, true);
    EXPECT_EQ(ReadFile(out + "/lsDefaultItemFilter.txt"),
              "木剑,4,1,1,0\r\n金创药,4,1,1,0\r\n骨头,4,1,1,0\r\n");
}

// Filter files as editors leave them: LF line ends; names holding commas as
// the writer puts them.
TEST_F(CliTest, FilterFilesWithLfLinesAndNamesHoldingCommas) {
    std::string lines;
    for (int i = 0; i < 37; ++i) {
        lines += "item" + std::to_string(i) + ",4,1,0," + std::to_string(i % 2) + "\n";
    }
    test::WriteFile(dir.File("lf.txt"), lines);
    CliRun run = RunCli(dir, {"filter", "--import", dir.File("lf.txt"), "--out", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "wrote " + out + "/lsDefaultItemFilter.txt (37 entries)\n");

    const std::string commas = dir.File("commas.DB");
    test::CreateItemDatabase(commas, 40,
                             {test::ItemRow("金", "1", "0"), test::ItemRow("金,银", "1", "0")});
    test::WriteFile(dir.File("apply.txt"), "金,银,4,1,1,1\n金,4,0,0,1\n");
    run = RunCli(dir, {"filter", "--db", commas, "--apply", dir.File("apply.txt"), "--out", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("flags set on 2 rows; 0 names not in the database"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadFile(out + "/lsDefaultItemFilter.txt"), "金,4,0,0,1\r\n金,银,4,1,1,1\r\n");
}

TEST_F(CliTest, ManifestJobsAndDirectories) {
    const std::string resources = dir.File("res");
    std::filesystem::create_directory(resources);
    for (const char* name : {"b.wzl", "a.WZX", "c.map", "d.mp3", "e.txt", "f g.wzl"}) {
        test::WriteFile(resources + "/" + name, std::string(name) + std::string(70000, 'x'));
    }
    std::filesystem::create_directory(resources + "/sub.wzl");
    // Entries that cannot be examined are named and skipped, not fatal.
    std::filesystem::create_symlink("loop.wzl", resources + "/loop.wzl");

    CliRun one = RunCli(dir, {"manifest", "--mode", "hot", "--jobs", "1", "--out", out, resources});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "wrote " + out + "/update.json (5 entries)\n");
    EXPECT_EQ(one.err, "varo-cli: " + resources + "/loop.wzl: skipped: " + std::strerror(ELOOP) +
                           "\nvaro-cli: " + resources +
                           "/sub.wzl: skipped: a folder inside; the files of folders inside are "
                           "not taken\n")
        << "no progress when stderr is no terminal";
    const auto first = ReadFile(out + "/update.json");
    const auto written = std::filesystem::last_write_time(out + "/update.json");
    std::filesystem::last_write_time(out + "/update.json",
                                     written - std::chrono::hours(1));  // to tell a rewrite
    CliRun two = RunCli(dir, {"manifest", "--mode", "hot", "--jobs", "2", "--out", out, resources});
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(ReadFile(out + "/update.json"), first);
    EXPECT_EQ(two.out,
              "unchanged " + out + "/update.json (5 entries): it held these bytes already\n");
    EXPECT_EQ(std::filesystem::last_write_time(out + "/update.json"),
              written - std::chrono::hours(1))
        << "an unchanged release changes no file";

    // Sorted by name; the dialog's extensions without regard to case; no .txt, no directory.
    const std::string firstText = first.value_or("");
    EXPECT_NE(firstText.find("\"filename\":\"data/a.WZX\""), std::string::npos);
    EXPECT_NE(firstText.find("\"filename\":\"data/f g.wzl\""), std::string::npos);
    EXPECT_EQ(firstText.find("e.txt"), std::string::npos);
    EXPECT_LT(firstText.find("a.WZX"), firstText.find("b.wzl"));

    // Files named one by one keep argument order; --single and --version.
    CliRun single = RunCli(
        dir, {"manifest", "--single", "--out", out, resources + "/c.map", resources + "/b.wzl"});
    ASSERT_EQ(single.status, 0) << single.err;
    const std::string singleText = ReadFile(out + "/单json文件.json").value_or("");
    EXPECT_LT(singleText.find("c.map"), singleText.find("b.wzl"));
    EXPECT_EQ(singleText.front(), '{');
    EXPECT_EQ(singleText.back(), '}');
    CliRun versioned =
        RunCli(dir, {"manifest", "--version", "9.9", "--dir", "x", "--mode", "custom", "--allow",
                     "removals", "--out", out, resources + "/e.txt"});
    ASSERT_EQ(versioned.status, 0) << versioned.err;
    EXPECT_NE(ReadFile(out + "/update.json").value_or("").find("\"assets_version\":\"9.9\""),
              std::string::npos);
    EXPECT_NE(ReadFile(out + "/update.json").value_or("").find("\"filename\":\"x/e.txt\""),
              std::string::npos);
}

TEST_F(CliTest, ManifestComparesWithThePreviousUpdateJson) {
    const std::string a = dir.File("a.wzl");
    const std::string b = dir.File("b.wzl");
    test::WriteFile(a, "aaa");
    test::WriteFile(b, "bb");
    ASSERT_EQ(RunCli(dir, {"manifest", "--version", "1.9", "--out", out, a}).status, 0);
    const auto released = ReadFile(out + "/update.json");

    // b added, a changed, the same version: the summary, then refused; the
    // option scripts used to ask for that still works.
    test::WriteFile(a, "aaaa");
    CliRun run =
        RunCli(dir, {"manifest", "--version", "1.9", "--require-new-version", "--out", out, a, b});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(
        run.err.find("(version 1.9): 1 added, 1 changed, 0 removed; a client downloads 6 bytes"),
        std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("not greater than 1.9"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("(--version next gives 1.10)"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(out + "/update.json"), released);

    // A raised version is no longer refused; the only entry dropped is,
    // unless accepted by its kind.
    run = RunCli(dir, {"manifest", "--version", "1.10", "--allow", "removals", "--out", out, b});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("1 added, 0 changed, 1 removed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("warning: the new update.json would drop 1 of the 1 entry"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("not greater"), std::string::npos) << run.err;

    // --version next: the version there with its last number raised.
    run = RunCli(dir, {"manifest", "--version", "next", "--out", out, a, b});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadFile(out + "/update.json").value_or("").find("\"assets_version\":\"1.11\""),
              std::string::npos);
    std::filesystem::remove(out + "/update.json");
    run = RunCli(dir, {"manifest", "--version", "next", "--out", out, a});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no update.json there to take the next version from"), std::string::npos)
        << run.err;
}

// verify: the lines it prints and its exit status, against a publish folder
// laid out as a hot update's update.json names its files.
TEST_F(CliTest, VerifyNamesEachEntryThatDoesNotMatch) {
    const std::string publish = dir.File("publish");
    std::filesystem::create_directories(publish + "/data");
    test::WriteFile(publish + "/data/a.wzl", "a");
    test::WriteFile(publish + "/data/b.wzl", "bb");
    const std::string manifest = publish + "/update.json";
    ASSERT_EQ(RunCli(dir, {"manifest", "--mode", "hot", "--version", "1.0", "--out", publish,
                           publish + "/data"})
                  .status,
              0);
    const struct {
        const char* label;
        std::vector<std::string> arguments;
        std::function<void()> change;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {"every entry matches",
         {"verify", manifest},
         [] {},
         0,
         "checked 2 entries in " + publish + " (3 bytes read): all match\n",
         ""},
        {"--root names the folder; a missing file, a longer one, a stray one",
         {"verify", "--jobs", "1", "--root", publish, manifest},
         [&] {
             std::filesystem::remove(publish + "/data/a.wzl");
             test::WriteFile(publish + "/data/b.wzl", "bbb");
             test::WriteFile(publish + "/data/c.wzl", "c");
         },
         1,
         "data/a.wzl: missing\ndata/b.wzl: size differs: listed 2, found 3\ndata/c.wzl: not in "
         "the manifest\nchecked 2 entries in " +
             publish + " (3 bytes read): 2 entries do not match; 1 file not in the manifest\n",
         ""},
        {"not a manifest: where it breaks",
         {"verify", manifest},
         [&] { test::WriteFile(manifest, "{\n  \"assets_version\": \"1.0\" \"x\""); },
         1,
         "",
         "varo-cli: " + manifest +
             ": not a readable manifest: parse error at line 2, column 29: syntax error while "
             "parsing object - unexpected string literal; expected '}'\n"},
        {"no manifest given", {"verify"}, [] {}, 2, "", ""},
    };
    for (const auto& c : cases) {
        c.change();
        const CliRun run = RunCli(dir, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.label << ": " << run.err;
        EXPECT_EQ(run.out, c.out) << c.label;
        if (c.status != 2) {
            EXPECT_EQ(run.err, c.err) << c.label;
        }
    }
}

// manifest --stage: every check before the first copy, update.json last,
// and one summary line.
TEST_F(CliTest, StageKeepsThePublishFolderInStepWithUpdateJson) {
    const std::string resources = dir.File("res");
    const std::string publish = dir.File("publish");
    std::filesystem::create_directories(resources);
    test::WriteFile(resources + "/a.wzl", "a");
    test::WriteFile(resources + "/b.map", "bb");
    const auto stage = [&](std::vector<std::string> extra) {
        std::vector<std::string> arguments = {"manifest", "--stage", publish};
        if (std::find(extra.begin(), extra.end(), "--mode") == extra.end()) {
            extra.insert(extra.begin(), {"--mode", "hot"});
        }
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back(resources);
        return RunCli(dir, arguments);
    };
    const struct {
        const char* label;
        std::vector<std::string> extra;
        std::function<void()> before;
        int status;
        std::string errEnd;  // the last line on stderr
        std::string updateVersion;
    } cases[] = {
        {"into a new folder",
         {"--version", "1.0"},
         [] {},
         0,
         "varo-cli: staged: 2 files copied (2 added, 0 changed), 0 already there, 0 no longer "
         "listed, 3 bytes copied\n",
         "1.0"},
        {"a changed file under the same version: refused, nothing copied",
         {"--version", "1.0"},
         [&] { test::WriteFile(resources + "/a.wzl", "A"); },
         1,
         "",
         "1.0"},
        {"a copy that fails leaves update.json as it was",
         {"--version", "1.1"},
         [&] {
             std::filesystem::remove(publish + "/data/a.wzl");
             std::filesystem::create_directories(publish + "/data/a.wzl");
         },
         1,
         "; nothing was copied; update.json was left as it was\n",
         "1.0"},
        {"a folder that leaves the publish folder, allowed as a finding, still copies nothing",
         {"--version", "1.1", "--mode", "custom", "--dir", "../out", "--allow",
          "unsafe-folder,removals"},
         [&] { std::filesystem::remove(publish + "/data/a.wzl"); },
         1,
         "varo-cli: ../out/a.wzl: the name would leave " + publish +
             "; nothing was copied or written\n",
         "1.0"},
        {"the changed file under a new version",
         {"--version", "1.1"},
         [] {},
         0,
         "varo-cli: staged: 1 file copied (1 added, 0 changed), 1 already there, 0 no longer "
         "listed, 1 byte copied\n",
         "1.1"},
        {"--stage with --single", {"--single"}, [] {}, 2, "", "1.1"},
        {"--stage with --out", {"--out", publish}, [] {}, 2, "", "1.1"},
    };
    for (const auto& c : cases) {
        c.before();
        const CliRun run = stage(c.extra);
        EXPECT_EQ(run.status, c.status) << c.label << ": " << run.err;
        if (!c.errEnd.empty()) {
            EXPECT_TRUE(
                run.err.size() >= c.errEnd.size() &&
                run.err.compare(run.err.size() - c.errEnd.size(), c.errEnd.size(), c.errEnd) == 0)
                << c.label << ": " << run.err;
        }
        EXPECT_NE(ReadFile(publish + "/update.json")
                      .value_or("")
                      .find("\"assets_version\":\"" + c.updateVersion + "\""),
                  std::string::npos)
            << c.label;
    }
    EXPECT_EQ(ReadFile(publish + "/data/a.wzl"), "A");
    EXPECT_EQ(RunCli(dir, {"verify", publish + "/update.json"}).status, 0);
}

TEST_F(CliTest, ErrorsAreLoudAndLeaveTheOutputUntouched) {
    const std::string previous = "previous content";
    for (const char* name :
         {"CustomItemNameColors.txt", "lsDefaultItemFilter.txt", "update.json"}) {
        test::WriteFile(out + "/" + name, previous);
    }
    test::WriteFile(dir.File("binary.txt"), "\xFF\xFE\xFF,4,1,1,1");
    test::WriteFile(dir.File("emoji.txt"), "木剑,4,1,0,0\r\n😀,4,0,0,0\r\n");
    ASSERT_EQ(test::RunSql(dir.File("other.DB"), "CREATE TABLE Other (a);"), "");
    std::filesystem::create_directory(dir.File("taken"));
    std::filesystem::create_directory(dir.File("taken/CustomItemNameColors.txt"));
    test::WriteFile(dir.File("huge.txt"), "");
    std::filesystem::resize_file(dir.File("huge.txt"), kLargestWholeFile + 1);
    test::WriteFile(dir.File("zero.DB"), "");
    const std::string pipe = test::MakePipe(dir, "pipe.wzl");

    const struct {
        const char* label;
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {"missing database",
         {"pillar", "--db", dir.File("absent.DB"), "--out", out},
         1,
         "absent.DB: cannot read: No such file"},
        {"a folder as the database",
         {"pillar", "--db", dir.Path(), "--out", out},
         1,
         "a folder, not a database file"},
        {"an empty database file",
         {"filter", "--db", dir.File("zero.DB"), "--out", out},
         1,
         "an empty file, not an SQLite database"},
        {"a pipe as the database", {"pillar", "--db", pipe, "--out", out}, 1, "not a regular file"},
        {"no StdItems",
         {"filter", "--db", dir.File("other.DB"), "--out", out},
         1,
         "the database has no StdItems table"},
        {"unreadable import",
         {"filter", "--import", dir.File("absent.txt"), "--out", out},
         1,
         "absent.txt"},
        {"not a filter file",
         {"filter", "--import", dir.File("binary.txt"), "--out", out},
         1,
         "binary.txt"},
        {"import holding a character GBK lacks",
         {"filter", "--import", dir.File("emoji.txt"), "--out", out},
         1,
         "line 2: the character \"😀\" has no GBK form"},
        {"missing resource", {"manifest", "--out", out, dir.File("absent.wzl")}, 1, "absent.wzl"},
        {"a pipe as a resource",
         {"manifest", "--out", out, pipe},
         1,
         "pipe.wzl: cannot read: not a regular file"},
        {"oversized filter file",
         {"filter", "--import", dir.File("huge.txt"), "--out", out},
         1,
         "larger than 64 MiB"},
        {"folder without a file the mode takes",
         {"manifest", "--mode", "hot", "--out", out, dir.File("taken")},
         1,
         "holds no file that the hot mode takes"},
        {"output name taken",
         {"pillar", "--db", database, "--out", dir.File("taken")},
         1,
         "CustomItemNameColors.txt"},
        {"output directory missing",
         {"pillar", "--db", database, "--out", dir.File("nowhere")},
         1,
         "nowhere"},
        {"output directory a file",
         {"pillar", "--db", database, "--out", dir.File("binary.txt")},
         1,
         "binary.txt: not a folder"},
        {"both sources",
         {"filter", "--db", database, "--import", dir.File("binary.txt")},
         2,
         "usage:"},
        {"no source", {"filter", "--out", out}, 2, "usage:"},
        {"unknown mode", {"manifest", "--mode", "cold", database}, 2, "usage:"},
        {"no jobs", {"manifest", "--jobs", "0", database}, 2, "--jobs: a whole number, 1 or more"},
        {"jobs as text",
         {"manifest", "--jobs", "abc", database},
         2,
         "--jobs: a whole number, 1 or more"},
        {"unknown command", {"bogus", "--db", database}, 2, "unknown command 'bogus'"},
        {"bad switch", {"filter", "--db", database, "--best", "yes"}, 2, "usage:"},
        {"no subcommand", {}, 2, "usage:"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.label << ": " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.label << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.label;
        for (const char* name :
             {"CustomItemNameColors.txt", "lsDefaultItemFilter.txt", "update.json"}) {
            EXPECT_EQ(ReadFile(out + "/" + name), previous) << c.label;
        }
    }
    EXPECT_EQ(test::ListDirectory(dir.File("taken")),
              std::vector<std::string>{"CustomItemNameColors.txt"});
    EXPECT_EQ(test::ListDirectory(out).size(), 3u) << "no temporary file left behind";
}

TEST_F(CliTest, EveryWriterSurvivesAFullDiskAndATakenName) {
    std::vector<test::Row> rows;
    for (int i = 0; i < 300; ++i) {
        rows.push_back(test::ItemRow("物品" + std::to_string(i), "1", "150"));
    }
    const std::string large = dir.File("large.DB");
    test::CreateItemDatabase(large, 40, rows);
    std::vector<std::string> manyResources;
    for (int i = 0; i < 40; ++i) {
        manyResources.push_back(dir.File(std::string("r").append(std::to_string(i)) + ".wzl"));
        test::WriteFile(manyResources.back(), "x");
    }

    const struct {
        const char* file;
        std::vector<std::string> arguments;
    } writers[] = {
        {"CustomItemNameColors.txt", {"pillar", "--db", large}},
        {"lsDefaultItemFilter.txt", {"filter", "--db", large, "--form", "mobile"}},
        {"lsDefaultItemFilter.txt", {"filter", "--db", large, "--form", "pc"}},
        {"update.json", {"manifest", "--force"}},  // over a previous file that is no manifest
        {"单json文件.json", {"manifest", "--single"}},
    };
    for (const auto& writer : writers) {
        std::vector<std::string> arguments = writer.arguments;
        arguments.insert(arguments.end(), {"--out", out});
        if (arguments.front() == "manifest") {
            arguments.insert(arguments.end(), manyResources.begin(), manyResources.end());
        }
        const std::string target = out + "/" + writer.file;

        // The disk fills up after 1 KiB: the previous file stays.
        test::WriteFile(target, "previous");
        CliRun full = RunCli(dir, arguments, "ulimit -f 1; ");
        EXPECT_EQ(full.status, 1) << writer.file << ": " << full.err;
        EXPECT_NE(full.err.find(writer.file), std::string::npos) << full.err;
        EXPECT_EQ(ReadFile(target), "previous") << writer.file;
        EXPECT_EQ(test::ListDirectory(out), std::vector<std::string>{writer.file})
            << "no temporary left";

        // The output directory is read-only (for root too: the run drops to "nobody").
        test::WriteFile(target, "previous");
        std::filesystem::permissions(out,
                                     std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
        std::filesystem::permissions(
            dir.Path(), std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
            std::filesystem::perm_options::add);
        CliRun readOnly =
            RunCli(dir, arguments, "",
                   ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "");
        std::filesystem::permissions(out, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        EXPECT_EQ(readOnly.status, 1) << writer.file << ": " << readOnly.err;
        EXPECT_NE(readOnly.err.find("cannot write: Permission denied"), std::string::npos)
            << readOnly.err;
        EXPECT_EQ(ReadFile(target), "previous") << writer.file;
        EXPECT_EQ(test::ListDirectory(out), std::vector<std::string>{writer.file});
        std::filesystem::remove(target);

        // The name is taken by a directory.
        std::filesystem::remove(target);
        std::filesystem::create_directory(target);
        CliRun taken = RunCli(dir, arguments);
        EXPECT_EQ(taken.status, 1) << writer.file;
        EXPECT_TRUE(std::filesystem::is_directory(target));
        EXPECT_EQ(test::ListDirectory(out), std::vector<std::string>{writer.file});
        std::filesystem::remove(target);

        // And it works when nothing stands in the way.
        CliRun fine = RunCli(dir, arguments);
        EXPECT_EQ(fine.status, 0) << writer.file << ": " << fine.err;
        EXPECT_GT(ReadFile(target).value_or("").size(), 1024u) << writer.file;
        std::filesystem::remove(target);
    }
}

TEST_F(CliTest, HelpAndVersion) {
    const CliRun version = RunCli(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "varo-cli 2.1.1\n");
    const CliRun help = RunCli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("varo-cli manifest [--mode micro|hot|custom]"), std::string::npos);
}

// verify of an address: what a client would fetch, each problem on a line,
// the exit status as for a folder; --quick and --root only where they apply.
TEST_F(CliTest, VerifyFetchesWhatAClientWould) {
    const std::string manifest =
        "{\"assets_version\":\"1\",\"md5list\":["
        "{\"filename\":\"data/地图 1.map\",\"md5\":\"900150983cd24fb0d6963f7d28e17f72\","
        "\"size\":\"3\"},"
        "{\"filename\":\"data/gone.wzl\",\"md5\":\"900150983cd24fb0d6963f7d28e17f72\","
        "\"size\":\"3\"}]}";
    test::HttpTestServer server([&manifest](const test::TestRequest& request) {
        const std::string path =
            test::PercentDecoded(request.target.substr(0, request.target.find('?')));
        if (path == "/pub/update.json") {
            return test::TestResponse(200, manifest);
        }
        if (path == "/pub/data/地图 1.map" || path == "/pub/data/gone.wzl") {
            return test::TestResponse(200, "abc");
        }
        if (path == "/broken/update.json") {
            return test::TestResponse(200, manifest);
        }
        if (path == "/broken/data/地图 1.map") {
            return test::TestResponse(200, "abd");
        }
        return test::TestResponse(404, "no");
    });
    const std::string good = server.Address() + "/pub/update.json";
    const std::string broken = server.Address() + "/broken/update.json";
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* says;
    } cases[] = {
        {{"verify", good}, 0, "checked 2 entries at "},
        {{"verify", "--quick", "--jobs", "1", good}, 0, "checked the sizes of 2 entries"},
        {{"verify", broken}, 1, "data/地图 1.map: MD5 differs"},
        {{"verify", broken}, 1, "data/gone.wzl: missing (the server answered 404)"},
        {{"verify", "--quick", broken}, 1, "1 entry does not match"},
        {{"verify", server.Address() + "/none/update.json"},
         1,
         "missing (the server answered 404)"},
        {{"verify", "--quick", out + "/update.json"}, 2, "--quick is for an address"},
        {{"verify", "--root", out, good}, 2, "--root is for a manifest in a folder"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments.back() << ": " << run.err;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << c.says << "\n"
                                                                       << run.out << run.err;
    }
}

// Help, usage errors, failures, refusals and reports in the user's language:
// VARO_LANG, else the locale; every word of a Chinese run is Chinese but
// options, file names, kinds and data, and an English run holds no Chinese
// but data.
TEST_F(CliTest, SpeaksTheUsersLanguage) {
    const std::string absent = dir.File("不存在的数据库.DB");
    const std::string absentAscii = dir.File("absent.DB");
    test::WriteFile(dir.File("filter.txt"), "木剑,1,1,0,1\r\n");
    const std::string zh = "VARO_LANG=zh ";
    const struct {
        const char* label;
        std::string prefix;
        std::vector<std::string> arguments;
        int status;
        bool chinese;
    } cases[] = {
        {"help", zh, {"--help"}, 0, true},
        {"pillar's help", zh, {"pillar", "--help"}, 0, true},
        {"filter's help", zh, {"filter", "--help"}, 0, true},
        {"manifest's help", zh, {"manifest", "--help"}, 0, true},
        {"verify's help", zh, {"verify", "--help"}, 0, true},
        {"no command", zh, {}, 2, true},
        {"unknown command", zh, {"伪造"}, 2, true},
        {"an option left out", zh, {"pillar"}, 2, true},
        {"an option without its value", zh, {"pillar", "--db"}, 2, true},
        {"an argument too many", zh, {"pillar", "--db", database, "extra.DB"}, 2, true},
        {"options that exclude each other",
         zh,
         {"pillar", "--db", database, "--force", "--allow", "removals"},
         2,
         true},
        {"an option that needs another",
         zh,
         {"filter", "--import", dir.File("filter.txt"), "--apply", dir.File("filter.txt")},
         2,
         true},
        {"a value none of the allowed",
         zh,
         {"filter", "--db", database, "--form", "平板"},
         2,
         true},
        {"an unknown kind", zh, {"pillar", "--db", database, "--allow", "全部"}, 2, true},
        {"no jobs", zh, {"manifest", "--jobs", "0", database}, 2, true},
        {"both sources", zh, {"filter", "--out", out}, 2, true},
        {"a missing database", zh, {"pillar", "--db", absent}, 1, true},
        {"a refused finding",
         zh,
         {"pillar", "--db", database, "--color", "0", "--out", out},
         1,
         true},
        {"written with a warning",
         zh,
         {"pillar", "--db", database, "--color", "0", "--force", "--out", out},
         0,
         true},
        {"a manifest", zh, {"manifest", "--quiet", "--out", out, dir.File("filter.txt")}, 0, true},
        {"a folder verified", zh, {"verify", out + "/update.json"}, 1, true},
        {"a Chinese locale",
         "LC_ALL= LC_MESSAGES= LANG=zh_CN.UTF-8 VARO_LANG= ",
         {"pillar", "--db", absent},
         1,
         true},
        {"VARO_LANG over the locale",
         "LC_ALL=zh_CN.UTF-8 VARO_LANG=en ",
         {"pillar", "--db", absentAscii},
         1,
         false},
        {"an English locale", "LC_ALL=en_US.UTF-8 VARO_LANG= ", {"--help"}, 0, false},
        {"English usage", "", {"pillar", "--db", database, "extra.DB"}, 2, false},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(dir, c.arguments, c.prefix);
        EXPECT_EQ(run.status, c.status) << c.label << ": " << run.err;
        // The test's own folders are data.
        std::string said = run.out + run.err;
        for (const std::string& folder : {out, dir.Path()}) {
            for (std::size_t at; (at = said.find(folder)) != std::string::npos;) {
                said.erase(at, folder.size());
            }
        }
        if (c.chinese) {
            EXPECT_EQ(test::EnglishIn(said), "") << c.label << ": " << said;
            EXPECT_NE(test::ChineseIn(said), "") << c.label << ": " << said;
        } else {
            EXPECT_EQ(test::ChineseIn(said), "") << c.label << ": " << said;
        }
    }
}

}  // namespace
}  // namespace varo

namespace varo {
namespace {

// Texts from files reach the terminal with their control characters escaped
// (a version holding ESC sequences cannot clear or colour it); one entry name
// from two folders is named with both paths.
TEST_F(CliTest, DataReachesTheTerminalEscapedAndSharedNamesAreNamed) {
    test::WriteFile(out + "/update.json",
                    "{\"assets_version\":\"1\\u001b[2J\\u001b[31m\",\"md5list\":[]}");
    std::filesystem::create_directory(dir.File("one"));
    std::filesystem::create_directory(dir.File("two"));
    test::WriteFile(dir.File("one/x.wzl"), "first");
    test::WriteFile(dir.File("two/x.wzl"), "abc");
    test::WriteFile(dir.File("one/y.wzl"), "same");
    test::WriteFile(dir.File("two/y.wzl"), "same");
    const std::vector<std::string> arguments = {"manifest",      "--version",    "2", "--out", out,
                                                dir.File("one"), dir.File("two")};
    CliRun run = RunCli(dir, arguments);
    EXPECT_EQ(run.status, 1) << "x.wzl from two files with other bytes";
    std::vector<std::string> allowed = arguments;
    allowed.insert(allowed.begin() + 1, {"--allow", "duplicate-name"});
    run = RunCli(dir, allowed);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("(version 1\\x1B[2J\\x1B[31m)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("x.wzl from " + dir.File("one/x.wzl") +
                           " (8b04d5e3775d298e78455efc5ca404d5, 5 bytes) and " +
                           dir.File("two/x.wzl") + " (900150983cd24fb0d6963f7d28e17f72, 3 bytes)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(dir.File("one/y.wzl") + " and " + dir.File("two/y.wzl") +
                           " give the same entry name y.wzl with the same bytes"),
              std::string::npos)
        << run.err;
    EXPECT_NE(ReadFile(out + "/update.json")->find("900150983cd24fb0d6963f7d28e17f72"),
              std::string::npos)
        << "the later file's entry";
}

}  // namespace
}  // namespace varo

namespace varo {
namespace {

// Two publishes at once share one digest cache: each waits for the other's
// transaction, both write the same manifest, and the third run recalls.
TEST_F(CliTest, TwoProcessesShareTheDigestCache) {
    std::filesystem::create_directory(dir.File("tree"));
    for (int i = 0; i < 400; ++i) {
        test::WriteFile(dir.File("tree/f" + std::to_string(i) + ".wzl"),
                        std::string(static_cast<std::size_t>(i * 37), 'x'));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));  // past the racy window
    std::filesystem::create_directory(dir.File("one"));
    std::filesystem::create_directory(dir.File("two"));
    const std::string cli = Quoted(ProgramDirectory() + "/varo-cli");
    const std::string run =
        "XDG_CACHE_HOME=" + Quoted(dir.File("cache")) + " " + cli + " manifest --quiet --out ";
    const std::string script =
        "(" + run + Quoted(dir.File("one")) + " " + Quoted(dir.File("tree")) + " >/dev/null 2>" +
        Quoted(dir.File("one.err")) + "; echo $? >" + Quoted(dir.File("one.status")) + ") & (" +
        run + Quoted(dir.File("two")) + " " + Quoted(dir.File("tree")) + " >/dev/null 2>" +
        Quoted(dir.File("two.err")) + "; echo $? >" + Quoted(dir.File("two.status")) + "); wait";
    ASSERT_EQ(std::system(("sh -c " + Quoted(script)).c_str()), 0);
    EXPECT_EQ(ReadFile(dir.File("one.status")), "0\n") << ReadFile(dir.File("one.err")).value();
    EXPECT_EQ(ReadFile(dir.File("two.status")), "0\n") << ReadFile(dir.File("two.err")).value();
    EXPECT_EQ(ReadFile(dir.File("one.err")), "");
    EXPECT_EQ(ReadFile(dir.File("two.err")), "");
    EXPECT_EQ(ReadFile(dir.File("one/update.json")), ReadFile(dir.File("two/update.json")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("cache/varo-toolkit/digests.sqlite")));

    // --no-cache digests everything and leaves the cache alone.
    const auto before = std::filesystem::last_write_time(dir.File("cache/varo-toolkit"));
    const CliRun fresh = RunCli(dir, {"manifest", "--no-cache", "--out", out, dir.File("tree")});
    EXPECT_EQ(fresh.status, 0) << fresh.err;
    EXPECT_EQ(ReadFile(out + "/update.json"), ReadFile(dir.File("one/update.json")));
    EXPECT_EQ(std::filesystem::last_write_time(dir.File("cache/varo-toolkit")), before);
}

}  // namespace
}  // namespace varo
