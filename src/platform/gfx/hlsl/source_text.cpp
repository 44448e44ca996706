// Shader texts cut at their first zero byte.
#include "platform/gfx/hlsl/source_text.h"

#include <algorithm>
#include <cstdint>

namespace gfx {

std::string UpToNul(const std::string& file, const std::string& text, Diagnostics& cuts)
{
    std::size_t nul = text.find('\0');
    if (nul == std::string::npos)
        return text;
    auto line = std::uint32_t(1 + std::count(text.begin(), text.begin() + std::ptrdiff_t(nul), '\n'));
    const char* why = "the file holds a NUL byte here; the text is read only up to it";
    // A file included twice is cut twice: one error says enough.
    if (std::none_of(cuts.begin(), cuts.end(), [&](const Diagnostic& d) { return d.file == file && d.line == line; }))
        AddError(cuts, file, why, line);
    return text.substr(0, nul);
}

}  // namespace gfx
