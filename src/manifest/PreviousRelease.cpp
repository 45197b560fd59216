#include "manifest/PreviousRelease.h"

#include <cerrno>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "platform/FileIo.h"
#include "text/CodePage.h"

namespace varo {
namespace {

// The deepest nesting a manifest file may have: the manifest itself is three
// levels deep (object, array, entry); anything deeper is not read on.
constexpr std::size_t kMaxDepth = 16;

// Reads update.json as a stream of events into the entries themselves, so a
// large or hostile file never becomes a document tree: memory stays near the
// size of the entries, and nesting stops at kMaxDepth.
class ManifestReader : public nlohmann::json_sax<nlohmann::json> {
  public:
    // `entriesOnly`: the text is the array of entries itself (单json文件.json
    // with its brackets added), whose first character the parser is given
    // in addition.
    ManifestReader(ParsedManifest& parsed, std::string_view text, bool entriesOnly = false)
        : parsed_(parsed), text_(text), entriesOnly_(entriesOnly) {}

    bool null() override { return Scalar(); }
    bool boolean(bool) override { return Scalar(); }
    bool number_integer(number_integer_t) override { return Scalar(); }
    bool number_unsigned(number_unsigned_t) override { return Scalar(); }
    bool number_float(number_float_t, const string_t&) override { return Scalar(); }
    bool binary(binary_t&) override { return Scalar(); }

    bool string(string_t& value) override {
        if (frames_.empty() || frames_.back() == Frame::List) {
            return Scalar();
        }
        switch (TakeSlot()) {
            case Slot::Version:
                parsed_.version = std::move(value);
                sawVersion_ = true;
                return true;
            case Slot::List:
                return Fail(kNoList, ManifestFault::Kind::NoList);
            case Slot::Filename:
                return SetField(entry_.filename, value, 1);
            case Slot::Md5:
                return SetField(entry_.md5, value, 2);
            case Slot::Size:
                return SetField(entry_.size, value, 4);
            case Slot::None:
                return true;
        }
        return true;
    }

    bool start_object(std::size_t) override {
        if (frames_.size() >= kMaxDepth) {
            return Fail(TooDeep(), ManifestFault::Kind::TooDeep);
        }
        if (frames_.empty()) {
            frames_.push_back(Frame::Root);
            return true;
        }
        if (frames_.back() == Frame::List) {
            entry_ = {};
            fields_ = 0;
            frames_.push_back(Frame::Entry);
            return true;
        }
        if (!NestedValueAllowed(TakeSlot())) {
            return false;
        }
        frames_.push_back(Frame::Other);
        return true;
    }

    bool start_array(std::size_t) override {
        if (frames_.size() >= kMaxDepth) {
            return Fail(TooDeep(), ManifestFault::Kind::TooDeep);
        }
        if (frames_.empty() && entriesOnly_) {
            sawVersion_ = sawList_ = true;
            frames_.push_back(Frame::List);
            return true;
        }
        if (frames_.empty()) {
            return Fail(kNoVersion, ManifestFault::Kind::NoVersion);
        }
        if (frames_.back() == Frame::List) {
            return FailEntry();
        }
        const Slot slot = TakeSlot();
        if (slot == Slot::List) {
            parsed_.entries.clear();  // a repeated "md5list": the last one counts
            sawList_ = true;
            frames_.push_back(Frame::List);
            return true;
        }
        if (!NestedValueAllowed(slot)) {
            return false;
        }
        frames_.push_back(Frame::Other);
        return true;
    }

    bool key(string_t& name) override {
        if (frames_.back() == Frame::Root) {
            slot_ = name == "assets_version" ? Slot::Version
                    : name == "md5list"      ? Slot::List
                                             : Slot::None;
        } else if (frames_.back() == Frame::Entry) {
            slot_ = name == "filename" ? Slot::Filename
                    : name == "md5"    ? Slot::Md5
                    : name == "size"   ? Slot::Size
                                       : Slot::None;
        }
        return true;
    }

    bool end_object() override {
        const Frame frame = frames_.back();
        frames_.pop_back();
        if (frame == Frame::Entry) {
            if (fields_ != 7) {
                return FailEntry();
            }
            parsed_.entries.push_back(std::move(entry_));
        }
        return true;
    }

    bool end_array() override {
        frames_.pop_back();
        return true;
    }

    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& error) override {
        // "[json.exception.parse_error.101] parse error at …": the part after the tag
        const std::string_view what = error.what();
        const std::size_t tagEnd = what.find("] ");
        Fail(std::string(tagEnd == std::string_view::npos ? what : what.substr(tagEnd + 2)),
             ManifestFault::Kind::Syntax);
        // The byte the parser stopped at is the last one it read: its line and
        // column, counting characters.
        const std::string_view before = text_.substr(0, position > 0 ? position - 1 : 0);
        const std::size_t lineStart = before.rfind('\n');
        const std::string_view line =
            lineStart == std::string_view::npos ? before : before.substr(lineStart + 1);
        parsed_.fault.line =
            static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
        parsed_.fault.column = static_cast<std::size_t>(std::count_if(
                                   line.begin(), line.end(),
                                   [](char c) {
                                       return (static_cast<unsigned char>(c) & 0xC0) !=
                                              0x80;  // not a continuation byte
                                   })) +
                               1;
        if (entriesOnly_) {
            // The bracket added before the text is no character of the file.
            if (parsed_.fault.line == 1 && parsed_.fault.column > 1) {
                --parsed_.fault.column;
            }
            const std::size_t colon = parsed_.error.find(": ");
            if (parsed_.error.rfind("parse error at line ", 0) == 0 && colon != std::string::npos) {
                parsed_.error = "parse error at line " + std::to_string(parsed_.fault.line) +
                                ", column " + std::to_string(parsed_.fault.column) +
                                parsed_.error.substr(colon);
            }
        }
        return false;
    }

    // After the whole text was read: the parts a manifest must have.
    bool Complete() {
        if (!sawVersion_) {
            return Fail(kNoVersion, ManifestFault::Kind::NoVersion);
        }
        if (!sawList_) {
            return Fail(kNoList, ManifestFault::Kind::NoList);
        }
        return true;
    }

  private:
    enum class Frame { Root, List, Entry, Other };
    enum class Slot { None, Version, List, Filename, Md5, Size };

    static constexpr const char* kNoVersion = "no \"assets_version\" text";
    static constexpr const char* kNoList = "no \"md5list\" array";

    static std::string TooDeep() {
        return "nested more than " + std::to_string(kMaxDepth) + " levels deep";
    }

    Slot TakeSlot() { return std::exchange(slot_, Slot::None); }

    // A number, true, false, null: only allowed where no text is expected.
    bool Scalar() {
        if (frames_.empty()) {
            return Fail(kNoVersion, ManifestFault::Kind::NoVersion);
        }
        if (frames_.back() == Frame::List) {
            return FailEntry();
        }
        return NestedValueAllowed(TakeSlot());
    }

    bool NestedValueAllowed(Slot slot) {
        switch (slot) {
            case Slot::Version:
                return Fail(kNoVersion, ManifestFault::Kind::NoVersion);
            case Slot::List:
                return Fail(kNoList, ManifestFault::Kind::NoList);
            case Slot::Filename:
            case Slot::Md5:
            case Slot::Size:
                return FailEntry();
            case Slot::None:
                break;
        }
        return true;
    }

    bool SetField(std::string& field, string_t& value, unsigned bit) {
        field = std::move(value);
        fields_ |= bit;
        return true;
    }

    bool FailEntry() {
        parsed_.fault.entry = parsed_.entries.size() + 1;
        return Fail("entry " + std::to_string(parsed_.fault.entry) +
                        (entriesOnly_ ? "" : " of \"md5list\"") +
                        " lacks \"filename\", \"md5\" or \"size\" text",
                    ManifestFault::Kind::BadEntry);
    }

    bool Fail(std::string error, ManifestFault::Kind kind) {
        parsed_.error = std::move(error);
        parsed_.fault.kind = kind;
        return false;
    }

    ParsedManifest& parsed_;
    std::string_view text_;
    bool entriesOnly_ = false;
    std::vector<Frame> frames_;
    Slot slot_ = Slot::None;
    ManifestEntry entry_;
    unsigned fields_ = 0;
    bool sawVersion_ = false;
    bool sawList_ = false;
};

}  // namespace

namespace {

// Reads the manifest exactly as this program writes it (see
// BuildStandaloneManifest and BuildManifestBody): the same bytes in, the
// same entries out as the general reader, at the speed of a scan, for the
// update.json of 100,000 entries that every release reads back. Nothing,
// when the text has any other form (other spacing or order, an escape, a
// key more): the general reader reads those.
class WrittenForm {
  public:
    explicit WrittenForm(std::string_view text) : text_(text) {}

    std::optional<ParsedManifest> Read(bool entriesOnly) {
        ParsedManifest parsed;
        parsed.entriesOnly = entriesOnly;
        if (!IsValidUtf8(text_)) {
            return std::nullopt;  // the general reader names the byte
        }
        if (!entriesOnly) {
            if (!Take("{\r\n  \"assets_version\":\"") || !Text(parsed.version) ||
                !Take("\",\r\n  \"md5list\":[\r\n")) {
                return std::nullopt;
            }
        }
        const std::string_view end = entriesOnly ? "" : "\r\n  ]\r\n}";
        if (text_.size() - at_ == end.size()) {
            return Take(end) ? std::optional(std::move(parsed)) : std::nullopt;
        }
        for (;;) {
            ManifestEntry& entry = parsed.entries.emplace_back();
            if (!Take("{\r\n  \"filename\":\"") || !Text(entry.filename) ||
                !Take("\",\r\n  \"md5\":\"") || !Text(entry.md5) || !Take("\",\r\n  \"size\":\"") ||
                !Text(entry.size) || !Take("\"\r\n}")) {
                return std::nullopt;
            }
            if (text_.size() - at_ == end.size()) {
                return Take(end) ? std::optional(std::move(parsed)) : std::nullopt;
            }
            if (!Take(",\r\n")) {
                return std::nullopt;
            }
        }
    }

  private:
    bool Take(std::string_view literal) {
        if (text_.substr(at_, literal.size()) != literal) {
            return false;
        }
        at_ += literal.size();
        return true;
    }

    // A string's text up to its closing quote, which must come before any
    // escape or control character.
    bool Text(std::string& into) {
        const std::size_t start = at_;
        while (at_ < text_.size()) {
            const auto byte = static_cast<unsigned char>(text_[at_]);
            if (byte == '"') {
                into.assign(text_.substr(start, at_ - start));
                return true;
            }
            if (byte == '\\' || byte < 0x20) {
                return false;
            }
            ++at_;
        }
        return false;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

ParsedManifest ParseManifestText(std::string_view json, bool entriesOnly) {
    if (std::optional<ParsedManifest> written = WrittenForm(json).Read(entriesOnly)) {
        written->ok = true;
        return std::move(*written);
    }
    ParsedManifest parsed;
    parsed.entriesOnly = entriesOnly;
    std::string wrapped;
    if (entriesOnly) {
        wrapped.reserve(json.size() + 2);
        wrapped += '[';
        wrapped += json;
        wrapped += ']';
        json = wrapped;
    }
    ManifestReader reader(parsed, json, entriesOnly);
    bool read = false;
    try {
        read = nlohmann::json::sax_parse(json.begin(), json.end(), &reader) && reader.Complete();
    } catch (const nlohmann::json::exception& error) {
        parsed.error = error.what();
        parsed.fault.kind = ManifestFault::Kind::Syntax;
    }
    if (!read) {
        parsed.version.clear();
        parsed.entries.clear();
        return parsed;
    }
    parsed.error.clear();
    parsed.ok = true;
    return parsed;
}

}  // namespace

ParsedManifest ParseStandaloneManifest(std::string_view json) {
    return ParseManifestText(json, false);
}

ParsedManifest ParseManifestEntries(std::string_view body) {
    return ParseManifestText(body, true);
}

ParsedManifest ParseAnyManifest(std::string_view text, bool entriesExpected) {
    ParsedManifest first = ParseManifestText(text, entriesExpected);
    if (first.ok) {
        return first;
    }
    ParsedManifest second = ParseManifestText(text, !entriesExpected);
    return second.ok ? second : first;
}

PreviousRelease ReadPreviousRelease(const std::string& path) {
    PreviousRelease previous;
    SystemError error;
    previous.sizeLimit = kLargestWholeFile;
    const std::optional<std::string> text = ReadWholeFile(path, previous.sizeLimit, &error);
    if (!text) {
        if (error.kind != ENOENT && error.kind != EISDIR) {  // a directory is no previous release
            previous.state = PreviousRelease::State::Unusable;
            previous.readError = error;
        }
        return previous;
    }
    previous.manifest = ParseStandaloneManifest(*text);
    previous.state =
        previous.manifest.ok ? PreviousRelease::State::Present : PreviousRelease::State::Unusable;
    previous.error = previous.manifest.error;
    previous.fault = previous.manifest.fault;
    return previous;
}

}  // namespace varo
