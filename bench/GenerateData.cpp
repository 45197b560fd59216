// Generates the benchmark data, deterministically:
//   varo-bench-gen DIR
// DIR/items.DB     a StdItems table of 100,000 items and 40 columns
// DIR/big/*.wzl    100 files of 8 MiB
// DIR/small/*.wzl  2,000 files of 0 to 64 KiB
// DIR/filters/*.txt filter files of almost 64 MiB: 999,999 lines, 6.1 million short lines
// DIR/tree/d*/*.wzl  100,000 files of 0 to 8 KiB in 100 folders, about 400 MB
// Existing files of the right size are kept, so a second run is quick.

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/SqliteApi.h"

namespace {

constexpr int kItems = 100000;
constexpr int kColumns = 40;

std::uint64_t Next(std::uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

bool WriteFile(const std::string& path, std::size_t size, std::uint64_t seed) {
    std::error_code error;
    if (std::filesystem::exists(path, error) && std::filesystem::file_size(path, error) == size) {
        return true;
    }
    std::vector<std::uint64_t> words((size + 7) / 8);
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (std::uint64_t& word : words) {
        word = Next(state);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(words.data()), static_cast<std::streamsize>(size));
    return out.good();
}

bool MakeDatabase(const std::string& path) {
    if (std::filesystem::exists(path)) {
        return true;
    }
    std::string sql =
        "BEGIN; CREATE TABLE StdItems (Idx INTEGER PRIMARY KEY, Name TEXT, StdMode TEXT";
    for (int column = 4; column <= kColumns; ++column) {
        sql += column == 38 ? ", Shine INTEGER" : ", c" + std::to_string(column) + " INTEGER";
    }
    sql += "); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(kItems) + ") INSERT INTO StdItems SELECT i, '物品' || i || '号', (i % 7)";
    for (int column = 4; column <= kColumns; ++column) {
        sql += column == 38 ? ", 90 + (i % 30)" : ", (i * " + std::to_string(column) + ") % 1000";
    }
    sql += " FROM n; COMMIT;";
    const std::string temporary = path + ".building";
    std::remove(temporary.c_str());
    sqlite3* db = nullptr;
    int result = VARO_SQLITE(sqlite3_open_v2)(temporary.c_str(), &db,
                                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result == SQLITE_OK) {
        result = VARO_SQLITE(sqlite3_exec)(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    VARO_SQLITE(sqlite3_close)(db);
    return result == SQLITE_OK && std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Filter files of almost 64 MiB, the most an import reads: `lines` lines of
// GBK names ("物品" and a number, padded) spread evenly over the size, or
// (no lines given) as many lines "a,4,0,0,0" as fit.
bool WriteFilterFile(const std::string& path, std::size_t lines) {
    constexpr std::size_t kSize = (64u << 20) - 4096;
    std::error_code error;
    if (std::filesystem::exists(path, error) && std::filesystem::file_size(path, error) <= kSize &&
        std::filesystem::file_size(path, error) > kSize - 65536) {
        return true;
    }
    std::string content;
    content.reserve(kSize);
    while (lines == 0 && content.size() + 11 <= kSize) {
        content += "a,4,0,0,0\r\n";
    }
    for (std::size_t i = 0; i < lines; ++i) {
        const std::string name = "\xCE\xEF\xC6\xB7" + std::to_string(i);  // 物品
        const std::size_t room = (kSize - content.size()) / (lines - i);
        content += name;
        content += std::string(room > name.size() + 11 ? room - name.size() - 11 : 0, 'x');
        content += ",4,0,1,0\r\n";
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return out.good();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    std::filesystem::create_directories(directory + "/big");
    std::filesystem::create_directories(directory + "/small");
    std::filesystem::create_directories(directory + "/filters");
    // The most lines an import takes, and short lines far beyond that.
    if (!WriteFilterFile(directory + "/filters/long-lines.txt", 999999) ||
        !WriteFilterFile(directory + "/filters/short-lines.txt", 0)) {
        return 1;
    }
    if (!MakeDatabase(directory + "/items.DB")) {
        std::fprintf(stderr, "cannot make %s/items.DB\n", directory.c_str());
        return 1;
    }
    std::uint64_t sizes = 42;
    for (int i = 0; i < 100; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/big/big%03d.wzl", i);
        if (!WriteFile(directory + name, 8u << 20, static_cast<std::uint64_t>(i) + 1)) {
            return 1;
        }
    }
    for (int i = 0; i < 2000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/small/small%04d.wzl", i);
        const std::size_t size = static_cast<std::size_t>(Next(sizes) % (64 * 1024 + 1));
        if (!WriteFile(directory + name, size, static_cast<std::uint64_t>(i) + 1000)) {
            return 1;
        }
    }
    // A client tree: 100 folders of 1,000 files of 0 to 8 KiB, every name its own.
    for (int folder = 0; folder < 100; ++folder) {
        char path[64];
        std::snprintf(path, sizeof path, "/tree/d%03d", folder);
        std::filesystem::create_directories(directory + path);
        for (int i = 0; i < 1000; ++i) {
            const int file = folder * 1000 + i;
            char name[64];
            std::snprintf(name, sizeof name, "/tree/d%03d/f%06d.wzl", folder, file);
            const std::size_t size = static_cast<std::size_t>(Next(sizes) % (8 * 1024 + 1));
            if (!WriteFile(directory + name, size, static_cast<std::uint64_t>(file) + 100000)) {
                return 1;
            }
        }
    }
    return 0;
}
