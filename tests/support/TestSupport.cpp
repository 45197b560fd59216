#include "support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

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

}  // namespace varo::test
