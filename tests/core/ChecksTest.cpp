#include "checks/Findings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "manifest/Manifest.h"
#include "manifest/ResourceImport.h"
#include "platform/FileIo.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

using test::ItemRow;
using test::TempDir;

// The kinds of findings, by their place in the Finding variant, in order.
std::vector<std::size_t> Kinds(const std::vector<Finding>& findings) {
    std::vector<std::size_t> kinds;
    for (const Finding& finding : findings) {
        kinds.push_back(finding.index());
    }
    return kinds;
}

template <typename Kind>
constexpr std::size_t KindOf() {
    return Finding(Kind{}).index();
}
constexpr std::size_t kEmpty = KindOf<EmptyResultFinding>();
constexpr std::size_t kUncarriable = KindOf<UncarriableNamesFinding>();
constexpr std::size_t kLost = KindOf<LostCharactersFinding>();
constexpr std::size_t kUnusable = KindOf<UnusableValuesFinding>();
constexpr std::size_t kNotRaised = KindOf<VersionNotRaisedFinding>();
constexpr std::size_t kUncomparable = KindOf<UncomparableVersionFinding>();
constexpr std::size_t kUnreadable = KindOf<UnreadablePreviousManifestFinding>();
constexpr std::size_t kRemovals = KindOf<RemovalsFinding>();
constexpr std::size_t kUnsafeFolder = KindOf<UnsafeFolderFinding>();
constexpr std::size_t kOtherForm = KindOf<OtherFormFinding>();

const ManifestNaming kMicro{ManifestMode::MicroClient, ""};

// A row of the given name, written out as GBK bytes.
LightPillarRow PillarRow(std::string_view name, const std::string& lost = {}) {
    return LightPillarRow({test::GbkString(name), GbkText(GbkView("255")), GbkText(GbkView("0")),
                           GbkText(GbkView("20")), GbkText(GbkView("1"))},
                          lost);
}

FilterRow FilterNamed(std::string_view name, const std::string& lost = {}) {
    return FilterRow{test::GbkString(name), GbkText(), false, false, false, lost};
}

// The check before the PC form of `rows` is written at `path`.
std::vector<Finding> CheckPcFilterFile(const FilterRows& rows, const std::string& path) {
    return CheckFilterFile(rows, path, FilterFileForm::Pc,
                           EncodeFilterFile(rows, FilterFileForm::Pc).bytes);
}

// What each writer's check finds before it replaces the file at `path`:
// never an empty file over one that holds something, a name that splits its
// line, or a '?' for a character without a question.
TEST(Checks, WritersFindWhatWouldLoseTheUsersData) {
    TempDir dir;
    const std::string full = dir.File("full.txt");
    const std::string empty = dir.File("empty.txt");
    const std::string absent = dir.File("absent.txt");
    test::WriteFile(full, "previous");
    test::WriteFile(empty, "");
    const struct {
        const char* label;
        std::function<std::vector<Finding>()> check;
        std::vector<std::size_t> kinds;
    } cases[] = {
        {"light pillar: rows over a file",
         [&] { return CheckLightPillarFile({PillarRow("a")}, full); },
         {}},
        {"light pillar: no rows over a file",
         [&] { return CheckLightPillarFile({}, full); },
         {kEmpty}},
        {"light pillar: no rows, no file", [&] { return CheckLightPillarFile({}, absent); }, {}},
        {"light pillar: no rows over an empty file",
         [&] { return CheckLightPillarFile({}, empty); },
         {}},
        {"light pillar: no rows over a folder",
         [&] { return CheckLightPillarFile({}, dir.Path()); },
         {}},
        {"light pillar: a tab in a name",
         [&] { return CheckLightPillarFile({PillarRow("a\tb")}, absent); },
         {kUncarriable}},
        {"light pillar: CR and LF in names",
         [&] {
             return CheckLightPillarFile({PillarRow("a\rb"), PillarRow("c\n")}, absent);
         },
         {kUncarriable}},
        {"light pillar: a name that lost characters",
         [&] { return CheckLightPillarFile({PillarRow("a?", "a😀")}, absent); },
         {kLost}},
        {"light pillar: all at once, in order",
         [&] {
             LightPillarRow bad = PillarRow("x\ty?", "x\ty😀");
             bad.fields[kColorColumn] = GbkText(GbkView("0"));
             return CheckLightPillarFile({bad}, full);
         },
         {kUncarriable, kLost, kUnusable}},
        {"filter: a tab, which the import takes for another kind of file",
         [&] { return CheckPcFilterFile({FilterNamed("a\tb")}, absent); },
         {kUncarriable}},
        {"filter: CR or LF in a name",
         [&] {
             return CheckPcFilterFile({FilterNamed("a\rb"), FilterNamed("c\nd")}, absent);
         },
         {kUncarriable}},
        {"filter: a name that lost characters",
         [&] { return CheckPcFilterFile({FilterNamed("???", "한국어")}, full); },
         {kLost}},
        {"filter: no rows over a file", [&] { return CheckPcFilterFile({}, full); }, {kEmpty}},
        {"single manifest: nothing over a file",
         [&] { return CheckSingleManifest("", full, kMicro); },
         {kEmpty}},
        {"single manifest: entries", [&] { return CheckSingleManifest("{}", full, kMicro); }, {}},
        {"single manifest: a folder that leaves the root",
         [&] {
             return CheckSingleManifest("{}", full, {ManifestMode::CustomDirectory, "../x"});
         },
         {kUnsafeFolder}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Kinds(c.check()), c.kinds) << c.label;
    }

    // What the findings name: the row, the name as given, what the file gets.
    const std::vector<Finding> found = CheckLightPillarFile(
        {PillarRow("ok"), PillarRow("\xB1\xED\xC7\xE9?", "表情😀"), PillarRow("a\tb")}, full);
    ASSERT_EQ(found.size(), 2u);
    const auto& uncarriable = std::get<UncarriableNamesFinding>(found[0]);
    EXPECT_EQ(uncarriable.fileName, kLightPillarFileName);
    ASSERT_EQ(uncarriable.names.size(), 1u);
    EXPECT_EQ(uncarriable.names[0].row, 2u);
    const auto& lost = std::get<LostCharactersFinding>(found[1]);
    ASSERT_EQ(lost.names.size(), 1u);
    EXPECT_EQ(lost.names[0].row, 1u);
    EXPECT_EQ(lost.names[0].original, "表情😀");
    EXPECT_EQ(lost.names[0].written.Bytes(), "\xB1\xED\xC7\xE9?");
    EXPECT_EQ(std::get<EmptyResultFinding>(CheckPcFilterFile({}, full)[0]).previousSize, 8u);
}

// update.json: a version clients cannot compare is asked about whatever is
// there; changes under a version that is not greater, and an empty list over
// one with entries, against the previous file.
TEST(Checks, ReleaseFindsVersionsAndEmptyLists) {
    const std::string listed = BuildStandaloneManifest(
        BuildManifestBody("a.wzl m 1\r\n", ManifestMode::MicroClient, ""), "1.2.9");
    const std::string two = BuildStandaloneManifest(
        BuildManifestBody("a.wzl m 1\r\nb.wzl m 1\r\n", ManifestMode::MicroClient, ""), "1.2");
    const std::string three = BuildStandaloneManifest(
        BuildManifestBody("a.wzl m 1\r\nb.wzl m 1\r\nc.wzl m 1\r\n", ManifestMode::MicroClient, ""),
        "1.2");
    const struct {
        const char* label;
        const char* version;
        std::optional<std::string> previous;
        const char* list;
        std::vector<std::size_t> kinds;
    } cases[] = {
        {"a first release", "1.2.5", std::nullopt, "a.wzl m 1\r\n", {}},
        {"a first release, no version", "", std::nullopt, "a.wzl m 1\r\n", {kUncomparable}},
        {"letters", "abc", std::nullopt, "a.wzl m 1\r\n", {kUncomparable}},
        {"a v before it", "v1.3", listed, "a.wzl m 2\r\n", {kUncomparable}},
        {"a suffix", "1.2.11-beta", listed, "a.wzl m 2\r\n", {kUncomparable}},
        {"white space before it", " 1.3", listed, "a.wzl m 2\r\n", {kUncomparable}},
        {"white space after it", "1.5\t", std::nullopt, "a.wzl m 2\r\n", {kUncomparable}},
        {"an ideographic space after it",
         "1.5\xE3\x80\x80",
         std::nullopt,
         "a.wzl m 2\r\n",
         {kUncomparable}},
        {"changes under the same version", "1.2.9", listed, "a.wzl m 2\r\n", {kNotRaised}},
        {"nothing changed, same version", "1.2.9", listed, "a.wzl m 1\r\n", {}},
        {"the list emptied, version raised", "1.3", listed, "", {kEmpty}},
        {"the list emptied, same version", "1.2.9", listed, "", {kNotRaised, kEmpty}},
        {"an empty list over an empty one", "1.3", BuildStandaloneManifest("", "1.2"), "", {}},
        {"two of three entries dropped, version raised",
         "1.3",
         three,
         "a.wzl m 1\r\n",
         {kRemovals}},
        {"one of two dropped: half, not more", "1.3", two, "a.wzl m 1\r\n", {}},
        {"all entries renamed by another mode",
         "1.3",
         two,
         "x.wzl m 1\r\ny.wzl m 1\r\nz.wzl m 1\r\n",
         {kRemovals}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.File("update.json");
        if (c.previous) {
            test::WriteFile(path, *c.previous);
        }
        const std::string manifest = BuildStandaloneManifest(
            BuildManifestBody(c.list, ManifestMode::MicroClient, ""), c.version);
        EXPECT_EQ(Kinds(CheckRelease(path, manifest, c.version, kMicro).findings), c.kinds)
            << c.label;
    }
}

// A previous update.json the new one cannot be checked against is named with
// what the messages say: the size it is over (it is not read), or where it
// stops being a manifest. A folder of that name is no previous release.
TEST(Checks, ReleaseNamesAPreviousFileItCannotRead) {
    TempDir dir;
    const std::string path = dir.File("update.json");
    const std::string manifest = BuildStandaloneManifest(
        BuildManifestBody("a.wzl m 1\r\n", ManifestMode::MicroClient, ""), "1.3");
    const auto unreadable = [&] {
        const std::vector<Finding> findings = CheckRelease(path, manifest, "1.3", kMicro).findings;
        EXPECT_EQ(Kinds(findings), std::vector<std::size_t>{kUnreadable});
        return findings.empty() ? UnreadablePreviousManifestFinding{}
                                : std::get<UnreadablePreviousManifestFinding>(findings[0]);
    };

    test::WriteFile(path, "{\r\n  \"assets_version\":\"1\",\r\n  x");
    const UnreadablePreviousManifestFinding broken = unreadable();
    EXPECT_FALSE(broken.error);
    EXPECT_EQ(broken.fault.kind, ManifestFault::Kind::Syntax);
    EXPECT_EQ(broken.fault.line, 3u);

    std::filesystem::resize_file(path, kLargestWholeFile + 1);  // sparse: nothing to read
    const UnreadablePreviousManifestFinding huge = unreadable();
    EXPECT_EQ(huge.error.kind, EFBIG);
    EXPECT_EQ(huge.sizeLimit, kLargestWholeFile);
    EXPECT_EQ(huge.path, path);

    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_TRUE(CheckRelease(path, manifest, "1.3", kMicro).findings.empty());
}

// Every row of the table is looked at, not only those that give a list row:
// 2147483748 wraps to a negative value and its row would vanish unseen.
TEST(Checks, ShineValuesBeyond32BitsInAnyRowOfTheTable) {
    TempDir dir;
    const std::string path = dir.File("items.DB");
    test::CreateItemDatabase(
        path, 40,
        {ItemRow("a", "1", "99999999999"), ItemRow("b", "1", "2147483647"),
         ItemRow("c", "1", "2147483748"), ItemRow("d", "1", "-2147483648"),
         ItemRow("e", "1", "-2147483649"), ItemRow("f", "1", "abc"),
         ItemRow("g", "1", "０００２１４７４８３６４８"), ItemRow("h", "1", "150")});
    SqliteConnection connection;
    const ItemTable table = LoadItemTable(connection, path, kLightPillarItemColumns);
    ASSERT_TRUE(table.ok) << table.error;
    const std::optional<Finding> finding = CheckShineValues(table.matrix);
    ASSERT_TRUE(finding.has_value());
    std::vector<std::string> named;
    for (const ShineOutOfRangeFinding::Value& value :
         std::get<ShineOutOfRangeFinding>(*finding).values) {
        named.push_back(std::to_string(value.item) + value.itemName.Bytes() + "=" +
                        value.text.Bytes());
    }
    EXPECT_EQ(named, (std::vector<std::string>{"1a=99999999999", "3c=2147483748", "5e=-2147483649",
                                               "7g=\xA3\xB0\xA3\xB0\xA3\xB0\xA3\xB2\xA3\xB1\xA3\xB4"
                                               "\xA3\xB7\xA3\xB4\xA3\xB8\xA3\xB3\xA3\xB6\xA3\xB4"
                                               "\xA3\xB8"}));
    EXPECT_FALSE(CheckShineValues(ItemMatrix()).has_value());
}

// The database's own text of a name GBK cannot hold comes with the rows, so
// the check before writing can name it; names it can hold carry nothing.
TEST(Checks, NamesThatLoseCharactersKeepTheirOwnText) {
    TempDir dir;
    const std::string path = dir.File("items.DB");
    test::CreateItemDatabase(path, 40,
                             {ItemRow("表情😀", "1", "150"), ItemRow("木剑", "1", "150"),
                              ItemRow("韩文한국어", "1", "150")});
    // A name stored as GBK bytes rather than UTF-8, as some old tools did.
    ASSERT_EQ(test::RunSql(path,
                           "UPDATE StdItems SET c2 = CAST(x'C4BEBDA3' AS TEXT) WHERE "
                           "c2 = '木剑';"),
              "");
    SqliteConnection connection;
    const ItemTable table = LoadItemTable(connection, path, kLightPillarItemColumns);
    ASSERT_TRUE(table.ok) << table.error;
    const LightPillarList rows = ComputeLightPillarRows(table.matrix, {});
    const FilterRows filter = LoadFilterRows(table.matrix, table.rows);
    ASSERT_EQ(rows.size(), 3u);
    const std::optional<Finding> lost = [&]() -> std::optional<Finding> {
        std::vector<Finding> found = CheckLightPillarFile(rows, dir.File("absent"));
        return found.empty() ? std::nullopt : std::optional<Finding>(found[0]);
    }();
    ASSERT_TRUE(lost.has_value());
    std::vector<std::string> shown;
    for (const LostCharactersFinding::Name& name : std::get<LostCharactersFinding>(*lost).names) {
        shown.push_back(name.original);
    }
    // The GBK bytes are shown as what they read in GBK.
    EXPECT_EQ(shown, (std::vector<std::string>{"表情😀", "木剑", "韩文한국어"}));
    EXPECT_EQ(rows[2].fields[kItemNameColumn].Bytes(), "\xBA\xAB\xCE\xC4???");
    EXPECT_EQ(filter[0].lostName, "表情😀");
    EXPECT_EQ(Kinds(CheckPcFilterFile(filter, dir.File("absent"))),
              std::vector<std::size_t>{kLost});
}

// The custom folder a manifest names its entries under: nothing outside the
// update's root, no backslash, no empty folder name. Other modes ignore it.
TEST(Checks, CustomFoldersStayInsideTheRoot) {
    using Reason = UnsafeFolderFinding::Reason;
    const struct {
        ManifestMode mode;
        const char* folder;
        std::optional<Reason> reason;
    } cases[] = {
        {ManifestMode::CustomDirectory, "layout", std::nullopt},
        {ManifestMode::CustomDirectory, "fonts/cn", std::nullopt},
        {ManifestMode::CustomDirectory, "", std::nullopt},
        {ManifestMode::CustomDirectory, "..", Reason::LeavesRoot},
        {ManifestMode::CustomDirectory, "a/../../b", Reason::LeavesRoot},
        {ManifestMode::CustomDirectory, "/etc", Reason::LeavesRoot},
        {ManifestMode::CustomDirectory, "C:fonts", Reason::LeavesRoot},
        {ManifestMode::CustomDirectory, "d:/x", Reason::LeavesRoot},
        {ManifestMode::CustomDirectory, "a\\b", Reason::Backslash},
        {ManifestMode::CustomDirectory, "layout/", Reason::EmptyPart},
        {ManifestMode::CustomDirectory, "a//b", Reason::EmptyPart},
        {ManifestMode::CustomDirectory, "..a/b..", std::nullopt},  // names, not parents
        {ManifestMode::HotUpdate, "../x", std::nullopt},
        {ManifestMode::MicroClient, "/x", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<Finding> found = CheckManifestFolder({c.mode, c.folder});
        ASSERT_EQ(found.has_value(), c.reason.has_value()) << c.folder;
        if (found) {
            EXPECT_EQ(std::get<UnsafeFolderFinding>(*found).reason, *c.reason) << c.folder;
            EXPECT_STREQ(FindingKind(*found), "unsafe-folder");
        }
    }
}

// One form of lsDefaultItemFilter.txt over the other loses a client its file;
// a file of ASCII names reads the same in both forms.
TEST(Checks, OneFilterFormOverTheOther) {
    TempDir dir;
    const std::string path = dir.File("lsDefaultItemFilter.txt");
    const FilterRows chinese = {FilterNamed("\xC4\xBE\xBD\xA3")};  // 木剑
    const FilterRows ascii = {FilterNamed("Sword")};
    const struct {
        const char* label;
        std::string existing;
        const FilterRows& rows;
        FilterFileForm form;
        bool found;
    } cases[] = {
        {"PC over mobile", "木剑,4,1,0,0\r\n", chinese, FilterFileForm::Pc, true},
        {"mobile over PC", "\xC4\xBE\xBD\xA3,4,1,0,0\r\n", chinese, FilterFileForm::Mobile, true},
        {"mobile over mobile", "木剑,4,1,0,0\r\n", chinese, FilterFileForm::Mobile, false},
        {"PC over PC", "\xC4\xBE\xBD\xA3,4,1,0,0\r\n", chinese, FilterFileForm::Pc, false},
        {"over ASCII names", "Sword,4,1,0,0\r\n", chinese, FilterFileForm::Pc, false},
        {"ASCII names over mobile", "木剑,4,1,0,0\r\n", ascii, FilterFileForm::Pc, false},
    };
    for (const auto& c : cases) {
        test::WriteFile(path, c.existing);
        const std::vector<Finding> findings =
            CheckFilterFile(c.rows, path, c.form, EncodeFilterFile(c.rows, c.form).bytes);
        EXPECT_EQ(Kinds(findings),
                  c.found ? std::vector<std::size_t>{kOtherForm} : std::vector<std::size_t>{})
            << c.label;
    }
}

// One entry name from two files: other bytes are a finding naming both
// files and digests, the same bytes are not; against the window's list too.
TEST(Checks, OneNameFromTwoFilesWithOtherBytes) {
    const ResourceImportPlan plan = PlanResourceImport({"a/x.wzl", "b/x.wzl", "c/y.wzl"});
    const auto digest = [](const char* md5, std::uint64_t size) {
        return FileDigest{true, md5, size, {}, false, {}};
    };
    const struct {
        const char* label;
        std::vector<FileDigest> digests;
        const char* listed;
        std::vector<std::string> names;  // name, earlier path, earlier md5, later md5
    } cases[] = {
        {"the same bytes twice", {digest("m1", 1), digest("m1", 1), digest("m2", 2)}, "", {}},
        {"other bytes",
         {digest("m1", 1), digest("m3", 1), digest("m2", 2)},
         "",
         {"x.wzl", "a/x.wzl", "m1", "m3"}},
        {"the same digest, another size",
         {digest("m1", 1), digest("m1", 2), digest("m2", 2)},
         "",
         {"x.wzl", "a/x.wzl", "m1", "m1"}},
        {"the earlier one failed", {FileDigest{}, digest("m3", 1), digest("m2", 2)}, "", {}},
        {"a listed line replaced with other bytes",
         {digest("m1", 1), digest("m1", 1), digest("m2", 2)},
         "z.wzl m9 9\r\ny.wzl m7 2\r\n",
         {"y.wzl", "d/y.wzl", "m7", "m2"}},
        {"a listed line given again with its bytes",
         {digest("m1", 1), digest("m1", 1), digest("m2", 2)},
         "y.wzl m2 2\r\n",
         {}},
        {"the listed file itself imported again after it changed",
         {digest("m1", 1), digest("m1", 1), digest("m2", 2)},
         "x.wzl m7 2\r\n",
         {}},
    };
    for (const auto& c : cases) {
        const std::optional<Finding> found =
            CheckDuplicateNames(plan, c.digests, c.listed, [](std::string_view name) {
                return std::string(name == "x.wzl" ? "b/x.wzl" : "d/y.wzl");
            });
        std::vector<std::string> names;
        if (found) {
            for (const DuplicateNameFinding::Name& n :
                 std::get<DuplicateNameFinding>(*found).names) {
                names.insert(names.end(), {n.name, n.earlierPath, n.earlierMd5, n.laterMd5});
            }
        }
        EXPECT_EQ(names, c.names) << c.label;
    }
}

TEST(Checks, EmptyTablesSayWhy) {
    const auto table = [](int rows, int columns) {
        ItemTable made;
        made.ok = true;
        made.rows = rows;
        made.columns = columns;
        return made;
    };
    using Reason = EmptyTableNote::Reason;
    EXPECT_EQ(ExplainEmptyLightPillarList(table(0, 0), 0)->reason, Reason::NoItems);
    EXPECT_EQ(ExplainEmptyLightPillarList(table(5, 37), 0)->reason, Reason::TooFewColumns);
    EXPECT_EQ(ExplainEmptyLightPillarList(table(5, 37), 0)->columns, 37);
    EXPECT_EQ(ExplainEmptyLightPillarList(table(5, 40), 0)->reason, Reason::NoShineValue);
    EXPECT_FALSE(ExplainEmptyLightPillarList(table(5, 40), 1).has_value());
    EXPECT_EQ(ExplainEmptyFilterGrid(table(0, 0))->reason, Reason::NoItems);
    EXPECT_FALSE(ExplainEmptyFilterGrid(table(1, 3)).has_value());
}

}  // namespace
}  // namespace varo
