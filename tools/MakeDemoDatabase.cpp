// Builds the demo item database from its SQL script:
//   varo-make-demo-db SCRIPT.sql OUTPUT.DB
// The database is written next to the output under a temporary name and
// renamed into place, so a failed build never leaves a half-made file.

#include <cstdio>
#include <filesystem>
#include <string>

#include "db/SqliteApi.h"
#include "platform/FileIo.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SCRIPT.sql OUTPUT.DB\n", argv[0]);
        return 2;
    }
    const auto script = varo::ReadWholeFile(argv[1]);
    if (!script) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    const std::string output = argv[2];
    const std::string temporary = output + ".building";
    std::remove(temporary.c_str());

    sqlite3* db = nullptr;
    int result = VARO_SQLITE(sqlite3_open_v2)(temporary.c_str(), &db,
                                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* error = nullptr;
    if (result == SQLITE_OK) {
        result = VARO_SQLITE(sqlite3_exec)(db, script->c_str(), nullptr, nullptr, &error);
    }
    if (result != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[1],
                     error != nullptr ? error : "cannot create database");
    }
    VARO_SQLITE(sqlite3_free)(error);
    VARO_SQLITE(sqlite3_close)(db);
    // std::filesystem::rename replaces an older database on every system.
    std::error_code renameError;
    if (result == SQLITE_OK) {
        std::filesystem::rename(varo::FileSystemPath(temporary), varo::FileSystemPath(output),
                                renameError);
        if (renameError) {
            std::fprintf(stderr, "%s: %s\n", output.c_str(), renameError.message().c_str());
        }
    }
    if (result != SQLITE_OK || renameError) {
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
