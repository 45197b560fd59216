// The filter import, bytes to rows: never crashes; rows written in the
// mobile form and read again come back with the same names and flags.
// (The PC form is not compared: GBK bytes that happen to be valid UTF-8 are
// read as UTF-8, as the import decides.)

#include <cstdint>
#include <cstdlib>

#include "filter/FilterFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto rows =
        varo::ParseFilterFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!rows) {
        return 0;
    }
    varo::EncodeFilterFile(*rows, varo::FilterFileForm::Pc);
    const varo::FilterFileBytes mobile =
        varo::EncodeFilterFile(*rows, varo::FilterFileForm::Mobile);
    if (!mobile.ok) {
        return 0;
    }
    const auto again = varo::ParseFilterFile(mobile.bytes);
    if (!again || again->size() != rows->size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < rows->size(); ++i) {
        const varo::FilterRow& a = (*rows)[i];
        const varo::FilterRow& b = (*again)[i];
        if (a.itemName != b.itemName || a.best != b.best || a.autoPickUp != b.autoPickUp ||
            a.showName != b.showName) {
            std::abort();
        }
    }
    return 0;
}
