#include "db/SqliteApi.h"

namespace varo::sqlite {

SharedLibrary& Library() {
    static SharedLibrary library("libsqlite3.so.0");
    return library;
}

}  // namespace varo::sqlite
