#include "platform/SystemError.h"

namespace varo {

const char* ProgramFailureMessage(int kind) {
    switch (kind) {
        case kNotRegularFile:
            return "not a regular file (a pipe, a device or a socket)";
        case kChangedWhileRead:
            return "changed while it was read";
        case kReservedDeviceName:
            return "a name Windows reserves for a device";
        case kNameHoldsLineBreak:
            return "the name holds a line break, which a list line cannot carry";
        case kReadOnlyTarget:
            return "the file there is read-only and was left as it is";
        case kFolderPassedOver:
            return "a folder inside; the files of folders inside are not taken";
        case kNameNotUtf8:
            return "the name is not UTF-8, so no manifest can spell it for a client";
        default:
            return nullptr;
    }
}

}  // namespace varo
