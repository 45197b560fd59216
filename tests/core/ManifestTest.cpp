#include "manifest/Manifest.h"
#include "manifest/ResourceList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "digest/FileDigest.h"
#include "digest/Md5Lanes.h"
#include "digest/Md5Streams.h"
#include "manifest/ReleaseCheck.h"
#include "platform/FileIo.h"
#include "platform/Md5.h"
#include "support/TestSupport.h"

namespace varo {
namespace {

constexpr const char* kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";

TEST(ManifestFileName, MapsNamesByMode) {
    using enum ManifestMode;
    const struct {
        ManifestMode mode;
        const char* directory;
        const char* name;
        const char* fileName;
    } cases[] = {
        {MicroClient, "layout", "a.wzl", "a.wzl"},
        {MicroClient, "layout", "b.map", "b.map"},
        {MicroClient, "layout", "c.mp3", "c.mp3"},
        {HotUpdate, "layout", "a.wzl", "data/a.wzl"},
        {HotUpdate, "layout", "a.wzx", "data/a.wzx"},
        {HotUpdate, "layout", "b.map", "map/b.map"},
        {HotUpdate, "layout", "c.mp3", "wav/c.mp3"},
        {HotUpdate, "layout", "x.map.wzl", "map/x.map.wzl"},
        {HotUpdate, "layout", "x.wzl.mp3", "wav/x.wzl.mp3"},
        {HotUpdate, "layout", "x.wzlbackup", "data/x.wzlbackup"},
        {HotUpdate, "layout", "X.WZL", "data/X.WZL"},
        {HotUpdate, "layout", "Song.Mp3", "wav/Song.Mp3"},
        {HotUpdate, "layout", "abc.ttf", "abc.ttf"},
        {HotUpdate, "layout", "地图.map", "map/地图.map"},
        {CustomDirectory, "layout", "abc.ttf", "layout/abc.ttf"},
        {CustomDirectory, "layout", "a.wzl", "layout/a.wzl"},
        {CustomDirectory, "", "abc.ttf", "abc.ttf"},
        {CustomDirectory, "fonts/", "abc.ttf", "fonts//abc.ttf"},
        {CustomDirectory, " ", "abc.ttf", " /abc.ttf"},
        {CustomDirectory, "字体", "abc.ttf", "字体/abc.ttf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ManifestFileName(c.name, c.mode, c.directory), c.fileName)
            << c.name << " in mode " << static_cast<int>(c.mode);
    }
}

TEST(ManifestFileName, DialogFiltersByMode) {
    EXPECT_TRUE(ModeOffersFile(ManifestMode::MicroClient, "a.WZL"));
    EXPECT_FALSE(ModeOffersFile(ManifestMode::MicroClient, "b.map"));
    EXPECT_TRUE(ModeOffersFile(ManifestMode::HotUpdate, "b.MAP"));
    EXPECT_TRUE(ModeOffersFile(ManifestMode::HotUpdate, "c.mp3"));
    EXPECT_FALSE(ModeOffersFile(ManifestMode::HotUpdate, "c.mp3.txt"));
    EXPECT_TRUE(ModeOffersFile(ManifestMode::CustomDirectory, "README"));
    const std::vector<FileTypeFilter> hot = ResourceFileFilters(ManifestMode::HotUpdate);
    ASSERT_EQ(hot.size(), 4u);
    EXPECT_EQ(hot[3].description, "全部热更资源(*.wzl;*.wzx;*.map;*.mp3)");
    EXPECT_EQ(hot[3].patterns, (std::vector<std::string>{"*.wzl", "*.wzx", "*.map", "*.mp3"}));
}

const std::string kWorkedExampleList =
    std::string("a.wzl ") + kEmptyMd5 + " 0\r\nb.map " + kEmptyMd5 + " 0\r\n";

const std::string kWorkedExampleBody =
    "{\r\n"
    "  \"filename\":\"data/a.wzl\",\r\n"
    "  \"md5\":\"d41d8cd98f00b204e9800998ecf8427e\",\r\n"
    "  \"size\":\"0\"\r\n"
    "},\r\n"
    "{\r\n"
    "  \"filename\":\"map/b.map\",\r\n"
    "  \"md5\":\"d41d8cd98f00b204e9800998ecf8427e\",\r\n"
    "  \"size\":\"0\"\r\n"
    "}";

TEST(BuildManifestBody, WorkedExampleByteForByte) {
    const std::string body =
        BuildManifestBody(kWorkedExampleList, ManifestMode::HotUpdate, "layout");
    EXPECT_EQ(body, kWorkedExampleBody);
    EXPECT_EQ(BuildStandaloneManifest(body, "1.2.5"),
              "{\r\n  \"assets_version\":\"1.2.5\",\r\n  \"md5list\":[\r\n" + kWorkedExampleBody +
                  "\r\n  ]\r\n}");
}

TEST(BuildManifestBody, EdgeCases) {
    EXPECT_EQ(BuildManifestBody("", ManifestMode::HotUpdate, ""), "");
    EXPECT_EQ(BuildStandaloneManifest("", "1.2.5"),
              "{\r\n  \"assets_version\":\"1.2.5\",\r\n  \"md5list\":[\r\n\r\n  ]\r\n}");
    EXPECT_EQ(BuildStandaloneManifest("", ""),
              "{\r\n  \"assets_version\":\"\",\r\n  \"md5list\":[\r\n\r\n  ]\r\n}");

    const struct {
        const char* label;
        std::string line;
        std::string fileName;
        std::string md5;
        std::string size;
    } cases[] = {
        {"placeholder words stay in names", "字节MD5码文件名.wzl m 12", "字节MD5码文件名.wzl", "m",
         "12"},
        {"spaces in a name", "my map 1.map m 3", "my map 1.map", "m", "3"},
        {"quote and backslash escaped", "a\"b\\c.wzl m 4", "a\\\"b\\\\c.wzl", "m", "4"},
        {"tab escaped", "a\tb.wzl m 5", "a\\tb.wzl", "m", "5"},
        {"one field", "lonely", "lonely", "", ""},
        {"two fields", "a b", "a", "b", ""},
        {"size beyond 4 GiB", "big.wzl m 5368709120", "big.wzl", "m", "5368709120"},
    };
    for (const auto& c : cases) {
        const std::string expected = "{\r\n  \"filename\":\"" + c.fileName + "\",\r\n  \"md5\":\"" +
                                     c.md5 + "\",\r\n  \"size\":\"" + c.size + "\"\r\n}";
        EXPECT_EQ(BuildManifestBody(c.line + "\r\n", ManifestMode::MicroClient, ""), expected)
            << c.label;
    }
}

TEST(BuildManifestBody, SameInputSameBytesAndModeChangesOnlyPrefixes) {
    const std::string micro = BuildManifestBody(kWorkedExampleList, ManifestMode::MicroClient, "");
    EXPECT_EQ(micro, BuildManifestBody(kWorkedExampleList, ManifestMode::MicroClient, ""));
    std::string withPrefixes = micro;
    withPrefixes.replace(withPrefixes.find("a.wzl"), 5, "data/a.wzl");
    withPrefixes.replace(withPrefixes.find("b.map"), 5, "map/b.map");
    EXPECT_EQ(withPrefixes, kWorkedExampleBody);
}

TEST(JsonEscape, EscapesWhatJsonRequires) {
    EXPECT_EQ(JsonEscape("plain 名字"), "plain 名字");
    EXPECT_EQ(JsonEscape("\"\\\x01\x1f/"), "\\\"\\\\\\u0001\\u001f/");
    EXPECT_EQ(JsonEscape("a\xFF"), "a\xEF\xBF\xBD") << "ill-formed UTF-8 becomes U+FFFD";
}

TEST(ResourceList, LinesAndWhatTheyCanCarry) {
    std::string lines;
    AppendResourceLine(lines, "a.wzl", kEmptyMd5, 0);
    EXPECT_EQ(lines, std::string("a.wzl ") + kEmptyMd5 + " 0\r\n");
    lines.clear();
    AppendResourceLine(lines, "b", "x", 5368709120ull);
    EXPECT_EQ(lines, "b x 5368709120\r\n");
    EXPECT_TRUE(ResourceListCanCarry("with space.wzl"));
    EXPECT_FALSE(ResourceListCanCarry("a\nb"));
    EXPECT_FALSE(ResourceListCanCarry("a\rb"));
    EXPECT_FALSE(ResourceListCanCarry("a\u2029b"));
}

TEST(ResourceList, NewLinesReplaceTheLinesOfTheirNamesInPlace) {
    const struct {
        const char* label;
        std::string list;
        std::string added;
        std::string merged;
        bool appended;  // the text before the new lines stays as it was
    } cases[] = {
        {"into an empty list", "", "a x 1\r\n", "a x 1\r\n", true},
        {"new names go last", "a x 1\r\n", "b y 2\r\n", "a x 1\r\nb y 2\r\n", true},
        {"a known name keeps its place", "a x 1\r\nb y 2\r\n", "a z 3\r\nc w 4\r\n",
         "a z 3\r\nb y 2\r\nc w 4\r\n", false},
        {"twice in one import: the later wins", "", "a x 1\r\na z 3\r\n", "a z 3\r\n", true},
        {"names with spaces compare whole", "地图 1.map x 1\r\n1.map y 2\r\n", "地图 1.map z 3\r\n",
         "地图 1.map z 3\r\n1.map y 2\r\n", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MergeResourceLines(c.list, c.added), c.merged) << c.label;
        ResourceList list;
        list.Add(c.list);
        EXPECT_EQ(list.Add(c.added), c.appended) << c.label;
        EXPECT_EQ(list.Text(), c.merged) << c.label;
    }
}

// The digest of the whole text in one piece, as hexadecimal digits.
std::string Hex(const Md5Digest& digest) {
    std::string hex;
    for (const unsigned char byte : digest) {
        static constexpr char kHex[] = "0123456789abcdef";
        hex += kHex[byte >> 4];
        hex += kHex[byte & 0x0F];
    }
    return hex;
}

std::string OneShotMd5(const std::string& text) {
    Md5 md5;
    md5.Update(text.data(), text.size());
    return Hex(*md5.Finish());
}

TEST(DigestFile, DigestsAndSizes) {
    test::TempDir dir;
    test::WriteFile(dir.File("empty"), "");
    test::WriteFile(dir.File("abc"), "abc");
    std::string large;
    for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i) {
        large += static_cast<char>(i * 7 % 251);
    }
    test::WriteFile(dir.File("large"), large);

    EXPECT_EQ(DigestFile(dir.File("empty")).md5, kEmptyMd5);
    EXPECT_EQ(DigestFile(dir.File("empty")).size, 0u);
    EXPECT_EQ(DigestFile(dir.File("abc")).md5, "900150983cd24fb0d6963f7d28e17f72");
    std::uint64_t reported = 0;
    const FileDigest digest =
        DigestFile(dir.File("large"), [&](std::uint64_t bytes) { reported += bytes; });
    EXPECT_EQ(digest.md5, OneShotMd5(large)) << "chunk borders must not change the digest";
    EXPECT_EQ(digest.size, large.size());
    EXPECT_EQ(reported, large.size());

    EXPECT_FALSE(DigestFile(dir.File("absent")).ok);
    EXPECT_EQ(DigestFile(dir.File("absent")).error.kind, ENOENT);
    EXPECT_FALSE(DigestFile(dir.Path()).ok) << "a directory";
}

// Side by side in vector lanes, each message gets the digest it gets alone:
// every length around the block and padding borders, lanes refilled while
// others go on, up to the lane count of this processor.
TEST(Md5Lanes, DigestsSideBySideAsOneAtATime) {
    std::vector<std::string> messages;
    std::uint32_t seed = 12345;
    for (std::size_t length = 0; length < 200; ++length) {
        std::string message(length, '\0');
        for (char& c : message) {
            seed = seed * 1103515245 + 12345;
            c = static_cast<char>(seed >> 16);
        }
        messages.push_back(message);
    }
    messages.push_back(std::string(5000, 'a'));
    messages.push_back("abc");
    // Every width this processor has: 4 lanes always, 8 and 16 where it can.
    for (const int most : {4, 8, 16}) {
        Md5Lanes lanes(most);
        ASSERT_LE(lanes.Lanes(), most);
        if (lanes.Lanes() < most) {
            break;
        }
        std::vector<std::string> digests(messages.size());
        std::array<std::size_t, Md5Lanes::kMaxLanes> messageOfLane{};
        std::array<Md5Digest, Md5Lanes::kMaxLanes> finished{};
        std::size_t next = 0;
        while (next < messages.size() || lanes.AnyBusy()) {
            for (int lane = 0; lane < lanes.Lanes() && next < messages.size(); ++lane) {
                if (lanes.Free(lane)) {
                    messageOfLane[static_cast<std::size_t>(lane)] = next;
                    lanes.Start(lane, messages[next++]);
                }
            }
            for (const int lane : lanes.Run(finished)) {
                digests[messageOfLane[static_cast<std::size_t>(lane)]] =
                    Hex(finished[static_cast<std::size_t>(lane)]);
            }
        }
        for (std::size_t i = 0; i < messages.size(); ++i) {
            EXPECT_EQ(digests[i], OneShotMd5(messages[i]))
                << most << " lanes, length " << messages[i].size();
        }
        EXPECT_EQ(digests.back(), "900150983cd24fb0d6963f7d28e17f72");
    }
}

// Messages given a piece at a time share the lanes with whole ones and get
// the digest each gets alone: lengths that end in every position of a block,
// pieces of several sizes, messages of very different sizes side by side,
// lanes freed by a message given up, at every width this processor has.
TEST(Md5Lanes, StreamsMessagesAPieceAtATime) {
    std::vector<std::string> messages;
    std::uint32_t seed = 777;
    const auto random = [&seed](std::size_t length) {
        std::string message(length, '\0');
        for (char& c : message) {
            seed = seed * 1103515245 + 12345;
            c = static_cast<char>(seed >> 16);
        }
        return message;
    };
    for (std::size_t end = 0; end < 64; ++end) {
        messages.push_back(random(3 * 64 * 5 + end));  // several pieces, then `end` bytes
    }
    messages.push_back(random(300000));
    messages.push_back(random(1));
    messages.push_back(random(0));
    for (const int most : {4, 8, 16}) {
        Md5Lanes lanes(most);
        if (lanes.Lanes() < most) {
            break;
        }
        // Even messages in pieces of 64, 128 … 320 bytes, odd ones whole;
        // every seventh given up half way and started again.
        struct InLane {
            std::size_t message = 0;
            std::size_t given = 0;
            std::size_t piece = 0;
            bool abandon = false;
        };
        std::array<InLane, Md5Lanes::kMaxLanes> inLane{};
        std::vector<std::string> digests(messages.size());
        std::vector<std::size_t> queue;
        for (std::size_t i = 0; i < messages.size(); ++i) {
            queue.push_back(i);
        }
        std::array<Md5Digest, Md5Lanes::kMaxLanes> finished{};
        const auto feed = [&](int lane) {
            InLane& slot = inLane[static_cast<std::size_t>(lane)];
            const std::string& message = messages[slot.message];
            if (slot.abandon && slot.given > 0) {
                lanes.Abandon(lane);
                queue.push_back(slot.message);
                slot.abandon = false;
                return;
            }
            const std::size_t size = std::min(slot.piece, message.size() - slot.given);
            std::copy_n(message.data() + slot.given, size, lanes.Piece(lane, size));
            slot.given += size;
            lanes.Feed(lane, slot.given == message.size());
        };
        int started = 0;
        while (!queue.empty() || lanes.AnyBusy()) {
            for (int lane = 0; lane < lanes.Lanes(); ++lane) {
                if (lanes.Free(lane) && !queue.empty()) {
                    InLane& slot = inLane[static_cast<std::size_t>(lane)];
                    const std::size_t message = queue.front();
                    slot = {message, 0, 64 * (1 + message % 5), false};
                    queue.erase(queue.begin());
                    slot.abandon = ++started % 7 == 0;
                    if (slot.message % 2 == 1) {
                        lanes.Start(lane, messages[slot.message]);
                    } else {
                        lanes.Open(lane);
                        feed(lane);
                    }
                } else if (lanes.Hungry(lane)) {
                    feed(lane);
                }
            }
            for (const int lane : lanes.Run(finished)) {
                digests[inLane[static_cast<std::size_t>(lane)].message] =
                    Hex(finished[static_cast<std::size_t>(lane)]);
            }
        }
        for (std::size_t i = 0; i < messages.size(); ++i) {
            EXPECT_EQ(digests[i], OneShotMd5(messages[i]))
                << most << " lanes, length " << messages[i].size();
        }
    }
}

// Bodies arriving in network-sized reads on several threads at once get the
// digest each gets alone: lengths around the digest threads' piece size,
// reads of every size, a message dropped half way (a redirect's body) before
// the next on the same stream, one stream, a few, and more streams than one
// digest thread has lanes.
TEST(Md5Streams, DigestsBodiesFromManyThreadsAsOneAtATime) {
    constexpr std::size_t kPiece = 256 * 1024;
    std::vector<std::string> bodies;
    std::uint32_t seed = 99;
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{65}, kPiece - 1,
                                     kPiece, kPiece + 1, 2 * kPiece + 70000}) {
        std::string body(length, '\0');
        for (char& c : body) {
            seed = seed * 1103515245 + 12345;
            c = static_cast<char>(seed >> 16);
        }
        bodies.push_back(body);
    }
    for (const int streams : {1, 3, 2 * Md5Lanes::kMaxLanes + 1}) {
        std::vector<std::vector<std::string>> digests(static_cast<std::size_t>(streams));
        {
            Md5Streams engine(streams);
            std::vector<std::thread> producers;
            for (int s = 0; s < streams; ++s) {
                producers.emplace_back([&, s] {
                    std::vector<std::string>& mine = digests[static_cast<std::size_t>(s)];
                    mine.resize(bodies.size());
                    std::size_t read = 1 + static_cast<std::size_t>(s) * 977;
                    for (std::size_t k = 0; k < bodies.size(); ++k) {
                        const std::size_t b = (k + static_cast<std::size_t>(s)) % bodies.size();
                        const std::string_view body = bodies[b];
                        engine.Begin(s);
                        engine.Add(s, body.substr(0, body.size() / 2));
                        engine.End(s, nullptr);  // dropped: its digest is nobody's
                        engine.Begin(s);
                        for (std::size_t at = 0; at < body.size();) {
                            engine.Add(s, body.substr(at, read));
                            at += read;
                            read = read * 7 % 70001 + 1;
                        }
                        engine.End(s,
                                   [&mine, b](const Md5Digest& digest) { mine[b] = Hex(digest); });
                    }
                });
            }
            for (std::thread& producer : producers) {
                producer.join();
            }
            engine.Wait();
            for (int s = 0; s < streams; ++s) {
                for (std::size_t b = 0; b < bodies.size(); ++b) {
                    EXPECT_EQ(digests[static_cast<std::size_t>(s)][b], OneShotMd5(bodies[b]))
                        << streams << " streams, stream " << s << ", length " << bodies[b].size();
                }
            }
        }
    }
}

TEST(DigestFile, SparseFileBeyondFourGibibytesGetsItsTrueSize) {
    test::TempDir dir;
    const std::string path = dir.File("sparse.wzl");
    const std::uint64_t size = (std::uint64_t{1} << 32) + 5;
    test::WriteFile(path, "");
    std::filesystem::resize_file(FileSystemPath(path), size);
    const FileDigest digest = DigestFile(path);
    ASSERT_TRUE(digest.ok) << SystemErrorMessage(digest.error);
    EXPECT_EQ(digest.size, size);
    EXPECT_EQ(digest.md5.size(), 32u);
}

}  // namespace
}  // namespace varo

namespace varo {
namespace {

DigestJob Job(std::vector<std::string> paths, int threads, DigestProgress onProgress = {},
              const std::atomic<bool>* cancel = nullptr) {
    DigestJob job;
    job.paths = std::move(paths);
    job.threads = threads;
    job.onProgress = std::move(onProgress);
    job.cancel = cancel;
    return job;
}

TEST(DigestFiles, ParallelResultsKeepTheOrderOfThePathsAndProgressEndsAtTheTotal) {
    test::TempDir dir;
    std::vector<std::string> paths;
    std::uint64_t bytes = 0;
    for (int i = 0; i < 12; ++i) {
        const std::string content(static_cast<std::size_t>(i) * 300000, static_cast<char>('a' + i));
        test::WriteFile(dir.File(std::to_string(i)), content);
        paths.push_back(dir.File(std::to_string(i)));
        bytes += content.size();
    }
    paths.push_back(dir.File("absent"));
    const std::vector<FileDigest> one = DigestFiles(Job(paths, 1));
    DigestProgressState last;
    bool monotone = true;
    const std::vector<FileDigest> four =
        DigestFiles(Job(paths, 4, [&](const DigestProgressState& state) {
            monotone = monotone && state.done >= last.done && state.done <= state.total &&
                       state.filesDone >= last.filesDone && state.bytesRead >= last.bytesRead &&
                       state.files == paths.size();
            last = state;
        }));
    ASSERT_EQ(four.size(), paths.size());
    for (std::size_t i = 0; i + 1 < paths.size(); ++i) {
        EXPECT_EQ(four[i].md5, DigestFile(paths[i]).md5) << i;
        EXPECT_EQ(four[i].md5, one[i].md5) << i;
        EXPECT_EQ(four[i].size, i * 300000) << i;
    }
    EXPECT_FALSE(four.back().ok);
    EXPECT_TRUE(monotone);
    EXPECT_EQ(last.done, last.total) << "the last report says all is done";
    EXPECT_EQ(last.filesDone, paths.size());
    EXPECT_EQ(last.bytesRead, bytes);
    EXPECT_TRUE(DigestFiles(Job({}, 3)).empty());

    // Cancelled before it starts: every file fails as cancelled, none is read.
    const std::atomic<bool> cancel = true;
    for (const FileDigest& digest : DigestFiles(Job(paths, 2, {}, &cancel))) {
        EXPECT_EQ(digest.error.kind, ECANCELED);
    }
}

// A file that changes while it is read (still being copied, rewritten)
// fails: its digest would match neither the old file nor the new one. The
// progress stays within its total all the same.
TEST(DigestFiles, AFileThatChangesWhileItIsReadFails) {
    const std::string start(3 << 20, 'a');
    const struct {
        const char* label;
        // False when the system refused the change (Wine does not rename over an open file).
        std::function<bool(const std::string& path)> change;
    } cases[] = {
        {"grows",
         [](const std::string& path) {
             std::ofstream(path, std::ios::app | std::ios::binary) << std::string(2 << 20, 'b');
             return true;
         }},
        {"is truncated",
         [](const std::string& path) {
             std::filesystem::resize_file(FileSystemPath(path), 1 << 20);
             return true;
         }},
        {"is rewritten in place, same size",
         [&](const std::string& path) {
             std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
             file.seekp(static_cast<std::streamoff>(start.size() - 1));
             file << 'z';
             return true;
         }},
        {"is rewritten in place with its modification time put back",
         [&](const std::string& path) {
             const auto modified = std::filesystem::last_write_time(FileSystemPath(path));
             {
                 std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
                 file << 'z';
             }
             std::filesystem::last_write_time(FileSystemPath(path), modified);
             return true;
         }},
        {"is replaced by a rename, same bytes and size",
         [&](const std::string& path) {
             test::WriteFile(path + ".part", start);
             std::error_code error;
             std::filesystem::rename(FileSystemPath(path + ".part"), FileSystemPath(path), error);
             return !error;
         }},
        // Wine keeps the name of a deleted file until its last handle closes.
        {"is deleted",
         [](const std::string& path) {
             return std::remove(path.c_str()) == 0 &&
                    !std::filesystem::exists(FileSystemPath(path));
         }},
        {"has a folder put in its place",
         [](const std::string& path) {
             std::error_code error;
             std::filesystem::rename(FileSystemPath(path), FileSystemPath(path + ".old"), error);
             return !error && std::filesystem::create_directory(FileSystemPath(path), error);
         }},
    };
    // Alone, the file streams through the system's MD5; beside another large
    // file, both stream through the vector lanes a piece at a time.
    for (const bool beside : {false, true}) {
        for (const auto& c : cases) {
            test::TempDir dir;
            const std::string path = dir.File("changing.wzl");
            test::WriteFile(path, start);
            std::vector<std::string> paths = {path};
            if (beside) {
                paths.push_back(dir.File("other.wzl"));
                test::WriteFile(paths.back(), std::string(1 << 20, 'o'));
            }
            bool changed = false;
            bool tookPlace = false;
            bool withinTotal = true;
            // The first report comes after the first chunk: the file changes there.
            const std::vector<FileDigest> digests =
                DigestFiles(Job(paths, 1, [&](const DigestProgressState& state) {
                    withinTotal = withinTotal && state.done <= state.total;
                    if (!changed) {
                        changed = true;
                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                        tookPlace = c.change(path);
                    }
                }));
            if (!tookPlace) {
                continue;  // nothing changed: nothing to find
            }
            EXPECT_FALSE(digests[0].ok) << c.label << (beside ? ", in the lanes" : "");
            EXPECT_EQ(digests[0].error.kind, kChangedWhileRead) << c.label;
            EXPECT_TRUE(withinTotal) << c.label;
            if (beside) {
                EXPECT_EQ(digests[1].md5, OneShotMd5(std::string(1 << 20, 'o'))) << c.label;
            }
        }
    }
}

TEST(ReleaseCheck, ComparesVersionsPartByPart) {
    const struct {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        {"1.2.10", "1.2.9", 1},  // numbers, not text
        {"1.10", "1.9.9", 1},
        {"1.2", "1.2.0", 0},  // a missing part is 0
        {"1.2.1", "1.2", 1},
        {"01.2", "1.2", 0},
        {"99999999999999999999999.1", "99999999999999999999998.9", 1},  // beyond 64 bits
        {"1.2b", "1.2a", 1},                                            // text parts as text
        {"1.10a", "1.9a", -1},
        {"1.2", "1.b", -1},  // a number against text: as text
        {"", "0", 0},
        {"", "1", -1},
        {" 1.2.6", "1.2.5", 1},  // white space around a version is no part of it
        {"1.2.6 ", "1.2.6", 0},
        {"\t1.2.6\xE3\x80\x80", "1.2.10", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareVersions(c.a, c.b), c.order) << c.a << " vs " << c.b;
        EXPECT_EQ(CompareVersions(c.b, c.a), -c.order) << c.b << " vs " << c.a;
    }
}

// The one rule for versions: decimal numbers separated by single dots.
TEST(ReleaseCheck, VersionsClientsCanCompare) {
    const struct {
        const char* version;
        bool comparable;
    } cases[] = {
        {"1.2.5", true},
        {"10", true},
        {" 1.2.6\t", true},
        {"\xE3\x80\x80"
         "2.0",
         true},
        {"", false},
        {"abc", false},
        {"v1.3", false},
        {"1.2.11-beta", false},
        {"1..2", false},
        {"1.2.", false},
        {".1", false},
        {"1 .2", false},
        {"１.２", false},
        {"99999999999999999999.1", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsComparableVersion(c.version), c.comparable) << c.version;
    }
}

// --version next: the previous version with its last number raised.
TEST(ReleaseCheck, NextVersionRaisesTheLastNumber) {
    const struct {
        const char* previous;
        std::optional<std::string> next;
    } cases[] = {
        {"1.3.9", "1.3.10"},
        {"1.2.5", "1.2.6"},
        {"7", "8"},
        {"1.99", "1.100"},
        {"1.009", "1.010"},
        {" 2.0 ", "2.1"},
        {"1.99999999999999999999", "1.100000000000000000000"},
        {"v1.3", std::nullopt},
        {"1.2.", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NextVersion(c.previous), c.next) << c.previous;
    }
}

TEST(ReleaseCheck, ParsesOnlyTheShapeOfUpdateJson) {
    const std::string good = BuildStandaloneManifest(
        BuildManifestBody("a.wzl m1 10\r\n\"q\".wzl m2 20\r\n", ManifestMode::HotUpdate, ""),
        "2.0");
    const ParsedManifest parsed = ParseStandaloneManifest(good);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.version, "2.0");
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[1].filename, "data/\"q\".wzl");
    EXPECT_EQ(parsed.entries[1].size, "20");

    for (const char* bad : {"", "{", "[]", "{\"md5list\":[]}",
                            "{\"assets_version\":1,\"md5list\":[]}", "{\"assets_version\":\"1\"}",
                            "{\"assets_version\":\"1\",\"md5list\":[{\"filename\":\"a\"}]}",
                            "{\"assets_version\":\"1\",\"md5list\":[7]}",
                            "{\"assets_version\":\"\xB0\xA1\",\"md5list\":[]}",  // GBK bytes
                            "{\"assets_version\":\"1\",\"md5list\":[]} trailing"}) {
        const ParsedManifest refused = ParseStandaloneManifest(bad);
        EXPECT_FALSE(refused.ok) << bad;
        EXPECT_FALSE(refused.error.empty()) << bad;
    }
    // Nesting deeper than any manifest stops the reading at once, with
    // memory for a few levels only, whatever the size of the file.
    for (const std::string& deep :
         {"{\"x\":" + std::string(4 << 20, '['),
          "{\"assets_version\":\"1\",\"md5list\":[{\"x\":" + std::string(4 << 20, '[')}) {
        const ParsedManifest refused = ParseStandaloneManifest(deep);
        EXPECT_FALSE(refused.ok);
        EXPECT_NE(refused.error.find("nested"), std::string::npos) << refused.error;
    }
    // Other keys, at any level within the limit, are passed over.
    const ParsedManifest extra = ParseStandaloneManifest(
        "{\"x\":[{\"y\":[1,null]}],\"assets_version\":\"2\",\"md5list\":[{\"filename\":\"a\","
        "\"md5\":\"m\",\"size\":\"1\",\"extra\":{\"z\":true}}]}");
    ASSERT_TRUE(extra.ok) << extra.error;
    EXPECT_EQ(extra.entries.size(), 1u);
}

// A manifest as this program writes it is read by a scan of its form; it
// must give what the general reader gives for the same document in another
// spacing, and no cut of it may pass for a whole manifest.
TEST(ReleaseCheck, TheWrittenFormReadsAsAnyOther) {
    const struct {
        const char* label;
        std::string list;
    } cases[] = {
        {"no entries", ""},
        {"one", "a.wzl 0cc175b9c0f1b6a831c399e269772661 1\r\n"},
        {"names to escape and Chinese",
         "\"q\".wzl m2 20\r\nback\\slash.wzl m3 3\r\n地图.map m4 4\r\n"},
        {"several", "a.wzl m1 10\r\nb.wzl m2 20\r\nc.mp3 m3 30\r\n"},
    };
    const auto respaced = [](std::string text) {
        for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) {
            text.replace(at, 2, " \n");
        }
        return text;
    };
    for (const auto& c : cases) {
        const std::string body = BuildManifestBody(c.list, ManifestMode::HotUpdate, "");
        const std::string manifest = BuildStandaloneManifest(body, "1.2.5");
        for (const bool entriesOnly : {false, true}) {
            const std::string& text = entriesOnly ? body : manifest;
            const ParsedManifest read =
                entriesOnly ? ParseManifestEntries(text) : ParseStandaloneManifest(text);
            const ParsedManifest general = entriesOnly ? ParseManifestEntries(respaced(text))
                                                       : ParseStandaloneManifest(respaced(text));
            ASSERT_TRUE(read.ok) << c.label << ": " << read.error;
            ASSERT_TRUE(general.ok) << c.label << ": " << general.error;
            EXPECT_EQ(read.version, general.version) << c.label;
            EXPECT_EQ(read.entriesOnly, entriesOnly) << c.label;
            ASSERT_EQ(read.entries.size(), general.entries.size()) << c.label;
            for (std::size_t i = 0; i < read.entries.size(); ++i) {
                EXPECT_EQ(read.entries[i].filename, general.entries[i].filename) << c.label;
                EXPECT_EQ(read.entries[i].md5, general.entries[i].md5) << c.label;
                EXPECT_EQ(read.entries[i].size, general.entries[i].size) << c.label;
            }
        }
        for (std::size_t cut = 0; cut < manifest.size(); ++cut) {
            EXPECT_FALSE(ParseStandaloneManifest(manifest.substr(0, cut)).ok)
                << c.label << ", cut at " << cut;
        }
    }
}

TEST(ReleaseCheck, CountsAddedChangedRemovedAndTheDownload) {
    auto manifest = [](const char* version, std::vector<ManifestEntry> entries) {
        ParsedManifest parsed;
        parsed.ok = true;
        parsed.version = version;
        parsed.entries = std::move(entries);
        return parsed;
    };
    const ParsedManifest before =
        manifest("1.0", {{"a", "m1", "10"}, {"b", "m2", "20"}, {"c", "m3", "30"}});
    const ParsedManifest after = manifest(
        "1.0", {{"a", "m1", "10"}, {"b", "m9", "20"}, {"c", "m3", "31"}, {"d", "m4", "400"}});
    const ReleaseComparison change = CompareReleases(before, after);
    EXPECT_EQ(change.added, 1u);
    EXPECT_EQ(change.changed, 2u);
    EXPECT_EQ(change.removed, 0u);
    EXPECT_EQ(change.downloadBytes, 20u + 31u + 400u);
    EXPECT_TRUE(change.NeedsNewVersion());

    const ReleaseComparison removal = CompareReleases(after, manifest("1.0", {{"a", "m1", "10"}}));
    EXPECT_EQ(removal.removed, 3u);
    EXPECT_EQ(removal.downloadBytes, 0u);
    EXPECT_TRUE(removal.NeedsNewVersion());  // a removal is a change too

    EXPECT_FALSE(CompareReleases(before, before).NeedsNewVersion());
    EXPECT_FALSE(CompareReleases(before, manifest("1.0.1", after.entries)).NeedsNewVersion());
}

// A name listed twice: the previous manifest's later entry is the one
// compared, and a new manifest's second entry of a name counts as added.
TEST(ReleaseCheck, ANameListedTwiceCountsOnce) {
    const auto manifest = [](std::vector<ManifestEntry> entries) {
        ParsedManifest parsed;
        parsed.ok = true;
        parsed.version = "1.0";
        parsed.entries = std::move(entries);
        return parsed;
    };
    const struct {
        const char* label;
        std::vector<ManifestEntry> before;
        std::vector<ManifestEntry> after;
        std::size_t added, changed, removed;
    } cases[] = {
        {"twice before, the later the same",
         {{"a", "m0", "1"}, {"a", "m1", "1"}, {"b", "m2", "2"}},
         {{"a", "m1", "1"}, {"b", "m2", "2"}},
         0,
         0,
         0},
        {"twice before, the earlier the same",
         {{"a", "m1", "1"}, {"a", "m0", "1"}},
         {{"a", "m1", "1"}},
         0,
         1,
         0},
        {"twice after", {{"a", "m1", "1"}}, {{"a", "m1", "1"}, {"a", "m1", "1"}}, 1, 0, 0},
        {"twice on both sides, in the same places",
         {{"a", "m1", "1"}, {"a", "m2", "1"}},
         {{"a", "m1", "1"}, {"a", "m2", "1"}},
         1,
         1,
         0},
        {"removed twice", {{"a", "m1", "1"}, {"a", "m1", "1"}, {"b", "m2", "2"}}, {}, 0, 0, 2},
    };
    for (const auto& c : cases) {
        const ReleaseComparison change = CompareReleases(manifest(c.before), manifest(c.after));
        EXPECT_EQ(change.added, c.added) << c.label;
        EXPECT_EQ(change.changed, c.changed) << c.label;
        EXPECT_EQ(change.removed, c.removed) << c.label;
    }
}

TEST(ReleaseCheck, ReadsThePreviousFileOrSaysWhyNot) {
    test::TempDir dir;
    EXPECT_EQ(ReadPreviousRelease(dir.File("update.json")).state, PreviousRelease::State::Absent);
    std::filesystem::create_directory(dir.File("folder"));
    EXPECT_EQ(ReadPreviousRelease(dir.File("folder")).state, PreviousRelease::State::Absent);
    test::WriteFile(dir.File("update.json"), "{\"assets_version\":\"3\",\"md5list\":[");
    const PreviousRelease broken = ReadPreviousRelease(dir.File("update.json"));
    EXPECT_EQ(broken.state, PreviousRelease::State::Unusable);
    EXPECT_NE(broken.error.find("parse error"), std::string::npos) << broken.error;
    EXPECT_EQ(broken.fault.kind, ManifestFault::Kind::Syntax);

    // Where the reader stopped, for the window's 第N行第M列: line and character.
    const struct {
        const char* text;
        ManifestFault::Kind kind;
        std::size_t line;
        std::size_t column;
        std::size_t entry;
    } faults[] = {
        {"{\r\n  \"assets_version\":\"1\",\r\n  x", ManifestFault::Kind::Syntax, 3, 3, 0},
        {"{\"assets_version\":\"版本\",,}", ManifestFault::Kind::Syntax, 1, 24, 0},
        {"{\"md5list\":[]}", ManifestFault::Kind::NoVersion, 0, 0, 0},
        {"{\"assets_version\":\"1\"}", ManifestFault::Kind::NoList, 0, 0, 0},
        {"{\"assets_version\":\"1\",\"md5list\":[{\"filename\":\"a\",\"md5\":\"m\",\"size\":"
         "\"1\"},{\"filename\":\"b\"}]}",
         ManifestFault::Kind::BadEntry, 0, 0, 2},
    };
    for (const auto& f : faults) {
        const ManifestFault fault = ParseStandaloneManifest(f.text).fault;
        EXPECT_EQ(fault.kind, f.kind) << f.text;
        EXPECT_EQ(fault.line, f.line) << f.text;
        EXPECT_EQ(fault.column, f.column) << f.text;
        EXPECT_EQ(fault.entry, f.entry) << f.text;
    }
    test::WriteFile(dir.File("update.json"), BuildStandaloneManifest("", "3"));
    const PreviousRelease good = ReadPreviousRelease(dir.File("update.json"));
    EXPECT_EQ(good.state, PreviousRelease::State::Present);
    EXPECT_EQ(good.manifest.version, "3");
}

}  // namespace
}  // namespace varo
