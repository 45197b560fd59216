#include "support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "checks/Findings.h"
#include "db/SqliteApi.h"
#include "platform/FileIo.h"

namespace varo::test {

std::string MakePipe([[maybe_unused]] const TempDir& dir, const std::string& name) {
#ifdef _WIN32
    static int serial = 0;
    const std::string path = "\\\\.\\pipe\\varo-test-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(++serial) + "-" + name;
    const std::wstring wide(path.begin(), path.end());
    const HANDLE pipe = CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096,
                                         4096, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot create a named pipe");
    }
    return path;  // the handle stays open: the pipe lives until the process ends
#else
    const std::string path = dir.File(name);
    if (::mkfifo(path.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot create a FIFO");
    }
    return path;
#endif
}

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() /
            ("varo-test-" + std::to_string(random()) + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = ProgramPath(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(FileSystemPath(path_), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(FileSystemPath(path_), ignored);
}

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    if (*value == '\0') {
        ::unsetenv(name);
    } else {
        ::setenv(name, value, 1);
    }
#endif
}

std::string RunSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    int result = VARO_SQLITE(sqlite3_open_v2)(path.c_str(), &db,
                                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* error = nullptr;
    std::string message;
    if (result == SQLITE_OK) {
        result = VARO_SQLITE(sqlite3_exec)(db, sql.c_str(), nullptr, nullptr, &error);
    }
    if (result != SQLITE_OK) {
        message = error != nullptr ? error : VARO_SQLITE(sqlite3_errmsg)(db);
    }
    VARO_SQLITE(sqlite3_free)(error);
    VARO_SQLITE(sqlite3_close)(db);
    return message;
}

namespace {

std::string SqlLiteral(const Cell& cell) {
    if (!cell) {
        return "NULL";
    }
    std::string literal = "'";
    for (const char c : *cell) {
        literal += c;
        if (c == '\'') {
            literal += '\'';
        }
    }
    return literal + "'";
}

}  // namespace

void CreateItemDatabase(const std::string& path, int columns, const std::vector<Row>& rows) {
    std::ostringstream sql;
    sql << "BEGIN; CREATE TABLE StdItems (";
    for (int k = 1; k <= columns; ++k) {
        sql << (k > 1 ? ", " : "") << "c" << k;
    }
    sql << ");";
    for (const Row& row : rows) {
        sql << "INSERT INTO StdItems VALUES (";
        for (int k = 0; k < columns; ++k) {
            sql << (k > 0 ? ", " : "")
                << (k < static_cast<int>(row.size()) ? SqlLiteral(row[k]) : "NULL");
        }
        sql << ");";
    }
    sql << "COMMIT;";
    const std::string error = RunSql(path, sql.str());
    if (!error.empty()) {
        throw std::runtime_error("creating " + path + ": " + error);
    }
}

Row ItemRow(const Cell& name, const Cell& kind, const Cell& shine) {
    Row row(40, std::string("0"));
    row[1] = name;
    row[2] = kind;
    row[37] = shine;
    return row;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(FileSystemPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.good()) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(FileSystemPath(path), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FileSystemPath(path))) {
        names.push_back(ProgramPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// The code points of a UTF-8 text.
std::vector<char32_t> CodePoints(std::string_view utf8) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            point = (point << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        points.push_back(point);
        i += length;
    }
    return points;
}

bool IsChinese(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF) || c == 0x201C ||
           c == 0x201D || c == 0x2026;
}

// The names an English text may hold in Chinese: the window's buttons and
// columns, and a file name.
const char* const kChineseNames[] = {"单json文件.json",    "DB一键计算", "生成光柱文件",
                                     "是否显示极品(红字)", "自动捡取",   "显示名字"};

}  // namespace

// The Chinese characters and punctuation of an English text, beside the names.
std::string ChineseIn(std::string text) {
    for (const std::string name : kChineseNames) {
        for (std::size_t at; (at = text.find(name)) != std::string::npos;) {
            text.erase(at, name.size());
        }
    }
    std::string found;
    for (const char32_t c : CodePoints(text)) {
        if (IsChinese(c)) {
            found += "U+" + std::to_string(static_cast<unsigned long>(c)) + " ";
        }
    }
    return found;
}

// The English words of a Chinese text: runs of letters that are no option
// (--out), file name (update.json), finding kind (pillar-values), value of
// an option (micro|hot) or one of the names and units both languages share.
std::string EnglishIn(std::string text) {
    for (std::size_t at; (at = text.find("单json文件.json")) != std::string::npos;) {
        text.erase(at, std::string_view("单json文件.json").size());
    }
    static const std::set<std::string> kShared = {
        // Names and units.
        "MiB", "MD5", "GBK", "SQLite", "JSON", "PC", "StdItems", "Windows", "CON", "NUL", "AUX",
        "COM1", "DB", "Shine", "Varo", "ANSI", "s", "xHH",
        // What the commands' forms name: placeholders, commands, values and defaults.
        "DIR", "PATH", "TEXT", "FILE", "KIND", "N", "MANIFEST", "URL", "D", "dir", "pillar",
        "filter", "manifest", "verify", "on", "off", "mobile", "pc", "micro", "hot", "custom",
        "next", "layout",
        // Web addresses.
        "http", "https",
        // The fields of update.json.
        "md5", "size", "filename", "md5list"};
    std::string found;
    const auto isTokenChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '.' || c == '-' || c == '|';
    };
    for (std::size_t i = 0; i < text.size();) {
        if (!isTokenChar(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && isTokenChar(text[end])) {
            ++end;
        }
        const std::string token = text.substr(i, end - i);
        const bool hasLetter =
            token.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") !=
            std::string::npos;
        const bool nameLike = token.find_first_of("._-|") != std::string::npos;
        const auto& kinds = FindingKinds();
        const bool kind = std::find(kinds.begin(), kinds.end(), token) != kinds.end();
        if (hasLetter && !nameLike && !kind && kShared.count(token) == 0) {
            found += token + " ";
        }
        i = end;
    }
    return found;
}

}  // namespace varo::test
