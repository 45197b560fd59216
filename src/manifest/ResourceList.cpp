#include "manifest/ResourceList.h"

#include <unordered_set>
#include <utility>

#include "manifest/Manifest.h"
#include "text/GbkSearch.h"

namespace varo {

bool ResourceList::Add(std::string_view lines) {
    if (lines.empty()) {
        return true;
    }
    std::string merged = MergeResourceLines(text_, lines);
    const bool appended = merged.compare(0, text_.size(), text_) == 0;
    text_ = std::move(merged);
    return appended;
}

void ResourceList::SetSource(std::string_view name, std::string path, const FileState& state) {
    sourceOfName_[std::string(name)] = {std::move(path), state};
}

const ResourceList::Source* ResourceList::FindSource(std::string_view name) const {
    const auto found = sourceOfName_.find(std::string(name));
    return found == sourceOfName_.end() ? nullptr : &found->second;
}

std::string ResourceList::SourceOf(std::string_view name) const {
    const Source* source = FindSource(name);
    return source == nullptr ? std::string() : source->path;
}

void ResourceList::Remove(const std::vector<std::string>& names) {
    const std::unordered_set<std::string_view> gone(names.begin(), names.end());
    // Every line of the list ends in CR LF, as Add keeps them.
    std::string kept;
    kept.reserve(text_.size());
    for (const std::string_view line : SplitLines(text_)) {
        if (gone.count(ParseResourceLine(line).name) == 0) {
            kept += line;
            kept += "\r\n";
        }
    }
    for (const std::string& name : names) {
        sourceOfName_.erase(name);
    }
    text_ = std::move(kept);
}

void ResourceList::Clear() {
    text_.clear();
    sourceOfName_.clear();
}

}  // namespace varo
