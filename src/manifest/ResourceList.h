#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/FileIo.h"

namespace varo {

// The resource list the manifests are written from: one "name md5 size"
// line per name (CR LF each), in the order the names first came, and the
// file each name was imported from. A later line of a name the list holds
// replaces that line in its place, so no name has two entries.
class ResourceList {
  public:
    const std::string& Text() const { return text_; }

    // Adds an import's lines. True when they were only appended (the text
    // before them is as it was), false when a line was replaced in place.
    bool Add(std::string_view lines);
    // The file a listed name came from, as it was when it was digested.
    struct Source {
        std::string path;
        FileState state;
    };
    void SetSource(std::string_view name, std::string path, const FileState& state);
    // The file of a listed name; null when not known.
    const Source* FindSource(std::string_view name) const;
    // Its path; empty when not known.
    std::string SourceOf(std::string_view name) const;
    // Takes the lines of these names out, with their sources; the other
    // lines keep their order.
    void Remove(const std::vector<std::string>& names);

    void Clear();

  private:
    std::string text_;
    std::unordered_map<std::string, Source> sourceOfName_;
};

}  // namespace varo
