#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "digest/FileDigest.h"
#include "jobs/AddressVerifyJob.h"
#include "platform/Md5.h"
#include "support/HttpTestServer.h"

namespace varo {
namespace {

using test::HttpTestServer;
using test::TestRequest;
using test::TestResponse;
using Kind = PublishedEntryProblem::Kind;

std::string Md5Of(std::string_view bytes) {
    Md5 md5;
    md5.Update(bytes.data(), bytes.size());
    return Md5Hex(md5.Finish().value());
}

struct ListedFile {
    std::string filename;
    std::string bytes;  // what the manifest was made from
};

std::string ManifestOf(const std::vector<ListedFile>& files, const std::string& version = "1.0") {
    std::string json = "{\"assets_version\":\"" + version + "\",\"md5list\":[";
    for (std::size_t i = 0; i < files.size(); ++i) {
        json += (i == 0 ? "{" : ",{") + std::string("\"filename\":\"") + files[i].filename +
                "\",\"md5\":\"" + Md5Of(files[i].bytes) + "\",\"size\":\"" +
                std::to_string(files[i].bytes.size()) + "\"}";
    }
    return json + "]}";
}

AddressVerifyRun QuickToTimeOut(bool quick = false) {
    AddressVerifyRun run;
    run.connections = 4;
    run.quick = quick;
    run.timeouts.stallMilliseconds = 1000;
    return run;
}

std::optional<Kind> KindOf(const PublishVerification& verification, const std::string& name) {
    for (const PublishedEntryProblem& problem : verification.problems) {
        if (problem.filename == name) {
            return problem.kind;
        }
    }
    return std::nullopt;
}

// A release on a web server with what goes wrong between a publish folder
// and the clients, fetched in full and with --quick.
TEST(AddressVerify, EveryEntryAsAClientFetchesIt) {
    const std::string bytes(70000, 'x');
    const struct {
        std::string filename;
        std::string listed;         // the bytes the manifest was made from
        TestResponse served;        // what the server gives for the name
        std::optional<Kind> full;   // the problem found, reading every byte
        std::optional<Kind> quick;  // the problem found with sizes only
    } cases[] = {
        {"data/ok.wzl", bytes, TestResponse(200, bytes), std::nullopt, std::nullopt},
        {"data/地图 1.map", "map", TestResponse(200, "map"), std::nullopt, std::nullopt},
        {"data/a+b&c%.wzl", "odd", TestResponse(200, "odd"), std::nullopt, std::nullopt},
        {"data/gone.wzl", "gone", TestResponse(404, "not here"), Kind::Missing, Kind::Missing},
        {"data/error.wzl", "error", TestResponse(500, "oops"), Kind::ServerStatus,
         Kind::ServerStatus},
        {"data/cut.wzl", bytes, TestResponse(200, bytes.substr(0, 5000)), Kind::SizeDiffers,
         Kind::SizeDiffers},
        // An FTP client in text mode.
        {"data/text.wzl", "a\nb\n", TestResponse(200, "a\r\nb\r\n"), Kind::SizeDiffers,
         Kind::SizeDiffers},
        // Last week's file under this week's name: the size alone cannot tell.
        {"data/old.wzl", "new!", TestResponse(200, "old!"), Kind::Md5Differs, std::nullopt},
        {"data/slow.wzl", "slow", TestResponse(200, "slow").Delayed(3000), Kind::Unfetched,
         Kind::Unfetched},
        {"data/moved.wzl", "moved",
         TestResponse(302, "see there").With("Location", "/elsewhere/moved.wzl"), std::nullopt,
         std::nullopt},
        {"data/away.wzl", "away",
         TestResponse(302).With("Location", "http://mirror.invalid/away.wzl"), Kind::RedirectedAway,
         Kind::RedirectedAway},
        // A proxy that answers a part with the whole body, and no length.
        {"data/whole.wzl", bytes, TestResponse(200, bytes).WithoutLength().IgnoringRanges(),
         std::nullopt, std::nullopt},
        // The same with a length on GET: --quick takes it and reads no byte.
        {"data/whole-sized.wzl", bytes,
         TestResponse(200, bytes).HeadWithoutLength().IgnoringRanges(), std::nullopt, std::nullopt},
        {"data/streamed.wzl", bytes, TestResponse(200, bytes).WithoutLength(), std::nullopt,
         std::nullopt},
        {"../secret.wzl", "secret", TestResponse(200, "secret"), Kind::LeavesRoot,
         Kind::LeavesRoot},
    };
    std::map<std::string, TestResponse> served;
    std::vector<ListedFile> listed;
    for (const auto& c : cases) {
        served["/release/" + c.filename] = c.served;
        listed.push_back({c.filename, c.listed});
    }
    served["/elsewhere/moved.wzl"] = TestResponse(200, "moved");
    served["/release/update.json"] = TestResponse(200, ManifestOf(listed));
    HttpTestServer server([&served](const TestRequest& request) {
        const std::string path =
            test::PercentDecoded(request.target.substr(0, request.target.find('?')));
        const auto found = served.find(path);
        return found != served.end() ? found->second : TestResponse{404, "no such file"};
    });

    for (const bool quick : {false, true}) {
        const PublishVerification verification = VerifyPublishedAddress(
            server.Address() + "/release/update.json", QuickToTimeOut(quick));
        ASSERT_EQ(verification.problem, PublishVerification::Problem::None);
        EXPECT_FALSE(verification.staleManifest);
        EXPECT_EQ(verification.quick, quick);
        for (const auto& c : cases) {
            EXPECT_EQ(KindOf(verification, c.filename), quick ? c.quick : c.full)
                << c.filename << (quick ? " (quick)" : "");
        }
        EXPECT_FALSE(verification.Matches());
        if (quick) {
            // The bytes of the two files without a length on HEAD and with no
            // part served, one of them counted; the other's length taken.
            EXPECT_LT(verification.bytesRead, 2 * bytes.size());
        }
    }
    std::size_t gets = 0;
    for (const TestRequest& request : server.Requests()) {
        EXPECT_EQ(request.target.find("secret"), std::string::npos) << "a name leaving the base";
        gets += request.method == "GET" ? 1 : 0;
    }
    // Each part of a name percent-encoded as UTF-8, the folders' slashes kept.
    const std::vector<TestRequest> requests = server.Requests();
    const auto sent = [&requests](const std::string& target) {
        for (const TestRequest& request : requests) {
            if (request.target == target) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(sent("/release/data/%E5%9C%B0%E5%9B%BE%201.map"));
    EXPECT_TRUE(sent("/release/data/a%2Bb%26c%25.wzl"));
    // The connections are kept alive between fetches: fewer than the requests.
    EXPECT_LT(server.Connections(), static_cast<int>(requests.size()));
    EXPECT_GT(gets, 0u);
}

// The manifest a client gets against the server's own: a cache that keeps
// an old one is named; one that cannot be passed shows in the entries.
TEST(AddressVerify, AnOldManifestInACacheIsNamed) {
    const std::vector<ListedFile> now = {{"a.wzl", "new a"}, {"b.wzl", "b"}};
    const std::vector<ListedFile> before = {{"a.wzl", "old a"}, {"b.wzl", "b"}};
    const struct {
        const char* label;
        bool cacheHonoursNoCache;
        bool stale;
        std::optional<Kind> a;
    } cases[] = {
        {"a cache that a no-cache request passes", true, true, std::nullopt},
        {"a cache that keeps the old one whatever is asked", false, false, Kind::Md5Differs},
    };
    for (const auto& c : cases) {
        HttpTestServer server([&](const TestRequest& request) {
            const std::string path = request.target.substr(0, request.target.find('?'));
            if (path == "/update.json") {
                const bool passes = c.cacheHonoursNoCache &&
                                    request.headers.count("cache-control") != 0 &&
                                    request.headers.at("cache-control") == "no-cache";
                return TestResponse{200, ManifestOf(passes ? now : before)};
            }
            return TestResponse{200, path == "/a.wzl" ? "new a" : "b"};
        });
        const PublishVerification verification =
            VerifyPublishedAddress(server.Address() + "/update.json", QuickToTimeOut());
        ASSERT_EQ(verification.problem, PublishVerification::Problem::None) << c.label;
        EXPECT_EQ(verification.staleManifest, c.stale) << c.label;
        EXPECT_EQ(KindOf(verification, "a.wzl"), c.a) << c.label;
        EXPECT_FALSE(verification.Matches()) << c.label << ": clients get the old one";
        // Once as a client asks, once with a query no cache has seen.
        std::size_t withQuery = 0;
        for (const TestRequest& request : server.Requests()) {
            withQuery += request.target.rfind("/update.json?t=", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(withQuery, 1u) << c.label;
    }
}

TEST(AddressVerify, AManifestThatCannotBeFetchedOrRead) {
    const struct {
        const char* label;
        TestResponse manifest;
        PublishVerification::Problem problem;
        int status;
    } cases[] = {
        {"missing", TestResponse(404, "no"), PublishVerification::Problem::Unfetched, 404},
        {"forbidden", TestResponse(403, "no"), PublishVerification::Problem::Unfetched, 403},
        {"no manifest", TestResponse(200, "<html>"), PublishVerification::Problem::NotAManifest, 0},
        {"too slow", TestResponse(200, ManifestOf({})).Delayed(3000),
         PublishVerification::Problem::Unfetched, 0},
    };
    for (const auto& c : cases) {
        HttpTestServer server([&c](const TestRequest&) { return c.manifest; });
        const PublishVerification verification =
            VerifyPublishedAddress(server.Address() + "/update.json", QuickToTimeOut());
        EXPECT_EQ(verification.problem, c.problem) << c.label;
        EXPECT_EQ(verification.fetched.status, c.status) << c.label;
        EXPECT_FALSE(verification.Matches()) << c.label;
    }
    // Nobody listening: the reason is the library's.
    std::string nobody;
    {
        HttpTestServer gone([](const TestRequest&) { return TestResponse{}; });
        nobody = gone.Address();
    }
    const PublishVerification refused = VerifyPublishedAddress(nobody + "/update.json", {});
    EXPECT_EQ(refused.problem, PublishVerification::Problem::Unfetched);
    EXPECT_EQ(refused.fetched.fetchFailure, HttpResponse::Failure::CannotConnect);
    EXPECT_NE(refused.fetched.reason, "");
}

TEST(AddressVerify, RedirectsStayOnTheServer) {
    const struct {
        const char* from;
        const char* location;
        std::optional<std::string> to;
    } cases[] = {
        {"http://h:8080/a/b.json", "/c/d.wzl", "http://h:8080/c/d.wzl"},
        {"http://h:8080/a/b.json?t=1", "d.wzl", "http://h:8080/a/d.wzl"},
        {"http://h/a/b.json", "http://H:80/x", "http://H:80/x"},
        {"https://h/a", "//h/x", "https://h/x"},
        {"http://h/a", "https://h/a", std::nullopt},
        {"http://h/a", "http://other/a", std::nullopt},
        {"http://h:8080/a", "http://h:8081/a", std::nullopt},
        {"http://h/a", "", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RedirectWithinServer(c.from, c.location), c.to) << c.from << " " << c.location;
    }
}

}  // namespace
}  // namespace varo
