#include "manifest/ResourceList.h"

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

void ResourceList::SetSource(std::string_view name, std::string path) {
    sourceOfName_[std::string(name)] = std::move(path);
}

std::string ResourceList::SourceOf(std::string_view name) const {
    const auto found = sourceOfName_.find(std::string(name));
    return found == sourceOfName_.end() ? std::string() : found->second;
}

void ResourceList::Clear() {
    text_.clear();
    sourceOfName_.clear();
}

}  // namespace varo
