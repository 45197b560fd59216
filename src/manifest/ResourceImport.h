#pragma once

#include <optional>
#include <string>
#include <vector>

#include "digest/FileDigest.h"
#include "manifest/ResourcePaths.h"

namespace varo {

// What an import makes of the resource files it is given, decided once for
// both front ends: which files are digested, which are refused and why,
// which entry names two files share; then the list lines of the digests.
struct ResourceImportPlan {
    // The same entry name from two different paths in one import (one file
    // name in two folders, say): the later file's line stays, as in the list.
    struct SharedName {
        std::string name;
        std::string earlier;
        std::string later;
        std::size_t earlierFile = 0;  // their places in `files`
        std::size_t laterFile = 0;
    };
    std::vector<std::string> files;                // to digest, in the order given
    std::vector<std::optional<FileState>> listed;  // as ExpandedResourcePaths::listed
    std::vector<SkippedResource> refused;          // never digested: names a list line cannot carry
    std::vector<SharedName> sharedNames;
    // The list line of each file: files of one name share the line of the
    // first of them, which the last one digested fills.
    std::vector<std::size_t> lineOfFile;
    std::size_t lines = 0;
};

// `listed`: the states the folder listings gave the paths (empty: none).
ResourceImportPlan PlanResourceImport(std::vector<std::string> paths,
                                      std::vector<std::optional<FileState>> listed = {});

// Per line of the plan, the file that fills it: the last file of its name
// whose digest succeeded; plan.files.size() for a line no file fills.
std::vector<std::size_t> FileOfEachLine(const ResourceImportPlan& plan,
                                        const std::vector<FileDigest>& digests);

// True when two digests that succeeded describe the same bytes.
bool SameBytes(const FileDigest& a, const FileDigest& b);

// The digests of a plan's files as list lines, and the files that failed.
struct ImportedResources {
    std::string lines;  // "name md5 size\r\n", one line per name, as the list keeps them
    std::size_t lineCount = 0;
    std::vector<SkippedResource> failed;  // with the reason of each
};

// `digests` are those of plan.files, in their order.
ImportedResources ResourceListLines(const ResourceImportPlan& plan,
                                    const std::vector<FileDigest>& digests);

}  // namespace varo
