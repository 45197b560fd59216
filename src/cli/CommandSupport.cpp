#include <cerrno>
#include <cstdio>
#include <variant>

#include "cli/Commands.h"
#include "platform/Console.h"
#include "platform/FileIo.h"
#include "platform/Path.h"
#include "text/CodePage.h"

namespace varo::cli {
namespace {

const char* ColumnName(int column) {
    switch (column) {
        case kColorColumn:
            return "colour";
        case kShineValueColumn:
            return "shine value";
        case kEffectImageCountColumn:
            return "effect-image count";
        case kPillarFileNumberColumn:
            return "file number";
        default:
            return "name";
    }
}

std::string FindingText(const Finding& finding) {
    return std::visit(
        FindingVisitor{
            [](const UnusableValuesFinding& unusable) {
                std::string text = std::to_string(unusable.values.size()) + " light-pillar value" +
                                   (unusable.values.size() == 1 ? "" : "s") +
                                   " a client cannot use (the colour must be a whole number from 1 "
                                   "to 255, the effect-image count and file number above 0):";
                for (std::size_t i = 0; i < unusable.values.size() && i < kUnusableValuesListed;
                     ++i) {
                    const UnusableValuesFinding::Value& value = unusable.values[i];
                    text += (i == 0 ? " row " : "; row ") + std::to_string(value.row + 1) + " " +
                            GbkToUtf8(value.itemName) + " " + ColumnName(value.column) + " \"" +
                            GbkToUtf8(value.text) + "\"";
                }
                if (unusable.values.size() > kUnusableValuesListed) {
                    text += "; and " +
                            std::to_string(unusable.values.size() - kUnusableValuesListed) +
                            " more";
                }
                return text;
            },
            [](const NotAFilterFileFinding& file) {
                return Shown(file.path) +
                       " does not look like a filter file: most lines are not "
                       "\"name,kind,best,pickup,show\", or a line holds a tab";
            },
            [](const VersionNotRaisedFinding& release) {
                return "the version " + release.version + " is not greater than " +
                       release.previousVersion +
                       " of the previous update.json although entries changed; clients would "
                       "not fetch them";
            },
            [](const UnreadablePreviousManifestFinding& previous) {
                const std::string reason = previous.error.kind == EFBIG ? "larger than 64 MiB"
                                           : previous.error ? SystemErrorMessage(previous.error)
                                                            : previous.detail;
                return Shown(previous.path) + ": not a readable manifest (" + reason +
                       "); the new one cannot be checked against it";
            },
        },
        finding);
}

}  // namespace

int Fail(std::string_view message) {
    WriteStandardError("varo-cli: " + std::string(message) + "\n");
    return 1;
}

void Note(std::string_view message) {
    WriteStandardError("varo-cli: " + std::string(message) + "\n");
}

bool AllowFinding(const std::optional<Finding>& finding, bool force) {
    if (!finding) {
        return true;
    }
    if (force) {
        Note("warning: " + FindingText(*finding));
        return true;
    }
    Fail(FindingText(*finding) + "; nothing was written (--force writes it anyway)");
    return false;
}

std::string Shown(std::string_view path) {
    return DisplayPath(path);
}

std::string OutputPath(const std::string& directory, const char* fileName) {
    return JoinPath(directory, fileName);
}

int WriteOutput(const std::string& directory, const char* fileName, std::string_view bytes,
                std::size_t entries) {
    const std::string path = OutputPath(directory, fileName);
    const FileWriteResult result = WriteFileAtomically(path, bytes);
    if (!result.ok) {
        return Fail(Shown(path) + ": cannot write: " + SystemErrorMessage(result.error));
    }
    WriteStandardOutput("wrote " + Shown(path) + " (" + std::to_string(entries) +
                        (entries == 1 ? " entry)\n" : " entries)\n"));
    return 0;
}

}  // namespace varo::cli
