#pragma once

#include <compare>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace varo {

// Text in code page 936 (GBK). Database text lives in memory in this form; it
// is converted to UTF-8 only where it leaves for SQLite or a file. The types
// keep the two apart: a GbkView or GbkText is never taken where UTF-8 text
// (std::string, std::string_view) is meant, nor the other way round. Bytes
// become GBK text only by saying so: GbkView(bytes), GbkText(bytes).

// GBK text held elsewhere, as std::string_view holds bytes.
class GbkView {
  public:
    constexpr GbkView() = default;
    constexpr explicit GbkView(std::string_view bytes) noexcept : bytes_(bytes) {}
    // A literal: ASCII only, which reads the same in GBK and UTF-8, so a
    // source-file literal can never pass UTF-8 bytes off as GBK (checked when
    // compiling).
    template <std::size_t N>
    consteval GbkView(const char (&ascii)[N]) : bytes_(ascii, N - 1) {
        for (std::size_t i = 0; i + 1 < N; ++i) {
            if (static_cast<unsigned char>(ascii[i]) >= 0x80) {
                throw "a GBK literal must be ASCII";
            }
        }
    }

    constexpr std::string_view Bytes() const noexcept { return bytes_; }
    constexpr bool Empty() const noexcept { return bytes_.empty(); }
    constexpr std::size_t Size() const noexcept { return bytes_.size(); }
    constexpr GbkView Part(std::size_t offset, std::size_t count = std::string_view::npos) const {
        return GbkView(bytes_.substr(offset, count));
    }

  private:
    std::string_view bytes_;
};

constexpr bool operator==(GbkView a, GbkView b) noexcept {
    return a.Bytes() == b.Bytes();
}
constexpr std::strong_ordering operator<=>(GbkView a, GbkView b) noexcept {
    return a.Bytes() <=> b.Bytes();
}

// GBK text owning its bytes.
class GbkText {
  public:
    GbkText() = default;
    explicit GbkText(std::string bytes) noexcept : bytes_(std::move(bytes)) {}
    explicit GbkText(GbkView text) : bytes_(text.Bytes()) {}
    template <std::size_t N>
    explicit GbkText(const char (&ascii)[N]) = delete;  // GbkText(GbkView("...")) says it

    operator GbkView() const noexcept { return GbkView(bytes_); }
    GbkView View() const noexcept { return GbkView(bytes_); }

    const std::string& Bytes() const noexcept { return bytes_; }
    // The bytes to append to or rewrite; they stay GBK.
    std::string& Buffer() noexcept { return bytes_; }
    std::string Release() && noexcept { return std::move(bytes_); }

    bool Empty() const noexcept { return bytes_.empty(); }
    std::size_t Size() const noexcept { return bytes_.size(); }
    GbkText& operator+=(GbkView text) {
        bytes_ += text.Bytes();
        return *this;
    }
    friend bool operator==(const GbkText&, const GbkText&) = default;
    friend auto operator<=>(const GbkText&, const GbkText&) = default;

  private:
    std::string bytes_;
};

// Where the text of a database call is UTF-8 already: the overloads that take
// this tag pass text to SQLite and back unconverted.
struct Utf8Form {
    explicit Utf8Form() = default;
};
inline constexpr Utf8Form kUtf8{};

}  // namespace varo

template <>
struct std::hash<varo::GbkView> {
    std::size_t operator()(varo::GbkView text) const noexcept {
        return std::hash<std::string_view>()(text.Bytes());
    }
};
