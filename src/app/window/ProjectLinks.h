#pragma once

namespace varo {

// The project's own pages, linked from the about page and the caption.
inline constexpr const char* kProjectHomePage = "https://varo-tools.example.org/";
inline constexpr const char* kProjectTutorialPage = "https://varo-tools.example.org/tutorial/";

}  // namespace varo
