// Marks and checks the names of a zip archive as UTF-8, so that Explorer on
// Chinese Windows and other tools that read unmarked names in code page 936
// show them right:
//   varo-zip-names --mark ARCHIVE   sets general-purpose bit 11 on every
//                                   entry whose name is non-ASCII UTF-8
//   varo-zip-names --check ARCHIVE  fails when such an entry lacks it
// Info-ZIP's zip stores the UTF-8 names as they are but does not set the bit.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "text/CodePage.h"

namespace {

constexpr std::uint16_t kUtf8Flag = 1u << 11;

std::uint32_t Read32(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

std::uint16_t Read16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

void Write16(std::string& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

bool NeedsFlag(std::string_view name) {
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return varo::IsValidUtf8(name);
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode != "--mark" && mode != "--check") {
        std::fprintf(stderr, "usage: %s --mark|--check ARCHIVE\n", argv[0]);
        return 2;
    }
    std::ifstream input(argv[2], std::ios::binary);
    std::string zip((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    // The end-of-central-directory record: the last "PK\5\6" with room for it.
    std::size_t end = std::string::npos;
    for (std::size_t at = zip.size() >= 22 ? zip.size() - 21 : 0; at-- > 0;) {
        if (Read32(zip, at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end == std::string::npos) {
        std::fprintf(stderr, "%s: no zip archive\n", argv[2]);
        return 1;
    }
    const std::uint16_t count = Read16(zip, end + 10);
    std::size_t entry = Read32(zip, end + 16);
    int unmarked = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (entry + 46 > zip.size() || Read32(zip, entry) != 0x02014b50) {
            std::fprintf(stderr, "%s: broken central directory\n", argv[2]);
            return 1;
        }
        const std::uint16_t nameLength = Read16(zip, entry + 28);
        const std::size_t next =
            entry + 46 + nameLength + Read16(zip, entry + 30) + Read16(zip, entry + 32);
        const std::string name = zip.substr(entry + 46, nameLength);
        const std::size_t local = Read32(zip, entry + 42);
        if (NeedsFlag(name)) {
            if (mode == "--mark") {
                Write16(zip, entry + 8, Read16(zip, entry + 8) | kUtf8Flag);
                Write16(zip, local + 6, Read16(zip, local + 6) | kUtf8Flag);
            } else if (!(Read16(zip, entry + 8) & kUtf8Flag) ||
                       !(Read16(zip, local + 6) & kUtf8Flag)) {
                std::fprintf(stderr, "%s: the name %s is not marked UTF-8\n", argv[2],
                             name.c_str());
                ++unmarked;
            }
        }
        entry = next;
    }
    if (mode == "--mark") {
        std::ofstream output(argv[2], std::ios::binary | std::ios::trunc);
        output.write(zip.data(), static_cast<std::streamsize>(zip.size()));
        return output ? 0 : 1;
    }
    return unmarked == 0 ? 0 : 1;
}
