#include "db/SqliteApi.h"

namespace varo::sqlite {

SharedLibrary& Library() {
    static SharedLibrary library(kSqliteLibraryFileName);
    return library;
}

}  // namespace varo::sqlite
