#include "support/path_text.h"

std::string PathForMessage(const std::string& path)
{
    if (path.size() <= kPathShownCharacters)
        return path;
    // Do not cut a UTF-8 sequence in two.
    std::size_t cut = kPathShownCharacters;
    while (cut > 0 && (static_cast<unsigned char>(path[cut]) & 0xC0) == 0x80)
        --cut;
    return path.substr(0, cut) + "\xE2\x80\xA6 (" + std::to_string(path.size()) + " characters)";
}

std::string WithoutLineEnds(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}
