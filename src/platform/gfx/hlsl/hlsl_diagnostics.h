#pragma once
// Inside the gfx layer: the translator's messages, typed, and their text form
// in the error blob ("file(line): severity: text").
#include <cstdint>
#include <string>
#include <vector>

namespace gfx {

enum class Severity { Error, Warning, Note };

struct Diagnostic {
    std::string file;
    std::uint32_t line = 1;
    Severity severity = Severity::Error;
    std::string text;
};

using Diagnostics = std::vector<Diagnostic>;

inline void AddError(Diagnostics& d, const std::string& file, const std::string& text, std::uint32_t line = 1)
{
    d.push_back({file, line, Severity::Error, text});
}

bool HasSeverity(const Diagnostics& d, Severity severity);
inline bool HasErrors(const Diagnostics& d)
{
    return HasSeverity(d, Severity::Error);
}

// One line per diagnostic, in order.
std::string FormatDiagnostics(const Diagnostics& d);

// glslang's "ERROR: name:12: text" lines; lines without a place get the
// compiled source's name and line 1 and come after the placed ones.
void ParseGlslangLog(const std::string& log, const std::string& sourceName, Diagnostics& out);

// The driver's log: Mesa "0:12(5): error: ...", others "ERROR: 0:12: ...".
// With line directives in the GLSL those numbers are lines of the HLSL.
void ParseDriverLog(const std::string& log, const std::string& sourceName, Diagnostics& out);

}  // namespace gfx
