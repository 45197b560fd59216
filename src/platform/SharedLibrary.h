#pragma once

#include <mutex>
#include <string>

namespace varo {

// The file name of the SQLite library: libsqlite3.so.0, or sqlite3.dll on Windows.
extern const char* const kSqliteLibraryFileName;

// A shared library bound by file name at run time. It is loaded on the first
// symbol lookup, from the program directory first, then from the system's
// library search path.
class SharedLibrary {
  public:
    explicit SharedLibrary(std::string fileName);
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The function's address; a missing library or function is a fatal error.
    void* Symbol(const char* name);
    // The function's address, or null when the library or the function is missing.
    void* TrySymbol(const char* name);

    bool IsLoaded() const;
    const std::string& FileName() const { return fileName_; }

  private:
    void* Load();

    std::string fileName_;
    mutable std::mutex mutex_;
    void* handle_ = nullptr;
};

}  // namespace varo
