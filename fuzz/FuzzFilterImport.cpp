// The filter import, bytes to rows: never crashes, and what it reads comes
// back with the same names and flags when written again: always from the
// mobile form marked with a byte-order mark (marked text is UTF-8), and from
// the PC form whenever the import reads those bytes as GBK (they are not
// UTF-8, or only two-byte UTF-8, and do not start like a byte-order mark).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "filter/FilterFile.h"
#include "text/CodePage.h"

namespace {

void RequireSameRows(const varo::FilterRows& rows, const std::string& bytes) {
    const auto again = varo::ParseFilterFile(bytes);
    if (!again || again->size() != rows.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const varo::FilterRow& a = rows[i];
        const varo::FilterRow& b = (*again)[i];
        if (a.itemName != b.itemName || a.best != b.best || a.autoPickUp != b.autoPickUp ||
            a.showName != b.showName) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varo::FilterFileRefusal refusal;
    const auto rows = varo::ParseFilterFile(
        std::string_view(reinterpret_cast<const char*>(data), size), &refusal);
    if (!rows) {
        if (refusal.line == 0) {
            std::abort();  // a refusal always names its line
        }
        return 0;
    }
    const varo::FilterFileBytes mobile =
        varo::EncodeFilterFile(*rows, varo::FilterFileForm::Mobile);
    if (!mobile.ok) {
        std::abort();  // names the import read always have a UTF-8 form
    }
    RequireSameRows(*rows, "\xEF\xBB\xBF" + mobile.bytes);

    const std::string pc = varo::EncodeFilterFile(*rows, varo::FilterFileForm::Pc).bytes;
    const bool twoByteOnly = std::none_of(
        pc.begin(), pc.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xE0; });
    // GBK text that happens to start with the bytes of a byte-order mark is
    // read as UTF-8, as the mark says: the rule has no round trip for it.
    const bool marked = pc.rfind("\xEF\xBB\xBF", 0) == 0;
    if ((!varo::IsValidUtf8(pc) || twoByteOnly) && !marked) {
        RequireSameRows(*rows, pc);
    }
    return 0;
}
