#pragma once
// File names as messages show them: a name of any length would be printed
// whole on every reload, so a long one is cut.
#include <cstddef>
#include <string>

inline constexpr std::size_t kPathShownCharacters = 200;

// The name unchanged up to kPathShownCharacters bytes; a longer one as its
// first kPathShownCharacters bytes, "…" and its length.
std::string PathForMessage(const std::string& path);
// The text without its trailing CR, LF and blank characters (error texts end
// in CR LF).
std::string WithoutLineEnds(std::string text);
