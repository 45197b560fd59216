#include "manifest/ResourceList.h"

#include <unordered_set>
#include <utility>

#include "manifest/Manifest.h"

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
    std::unordered_set<std::string_view> gone(names.begin(), names.end());
    std::string kept;
    kept.reserve(text_.size());
    std::string_view rest = text_;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line =
            rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
        rest.remove_prefix(line.size());
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) {
            bare.remove_suffix(1);
        }
        if (gone.count(ParseResourceLine(bare).name) == 0) {
            kept += line;
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
