// The translator's typed messages: reading glslang's and the driver's logs,
// writing the error blob's text.
#include "platform/gfx/hlsl/hlsl_diagnostics.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

namespace gfx {

namespace {

const char* SeverityName(Severity s)
{
    switch (s) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: return "note";
    }
    return "note";
}

bool AllDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char ch) { return std::isdigit((unsigned char)ch); });
}

}  // namespace

bool HasSeverity(const Diagnostics& d, Severity severity)
{
    return std::any_of(d.begin(), d.end(), [&](const Diagnostic& x) { return x.severity == severity; });
}

std::string FormatDiagnostics(const Diagnostics& d)
{
    std::string out;
    for (const Diagnostic& x : d)
        out += x.file + "(" + std::to_string(x.line) + "): " + SeverityName(x.severity) + ": " + x.text + "\n";
    return out;
}

void ParseGlslangLog(const std::string& log, const std::string& sourceName, Diagnostics& out)
{
    std::istringstream in(log);
    std::string line;
    bool placedError = false;
    Diagnostics unplaced;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        Severity severity = Severity::Note;
        std::string rest = line;
        static const struct {
            const char* prefix;
            Severity severity;
        } kinds[] = {{"INTERNAL ERROR: ", Severity::Error},
                     {"ERROR: ", Severity::Error},
                     {"UNIMPLEMENTED: ", Severity::Error},
                     {"WARNING: ", Severity::Warning},
                     {"NOTE: ", Severity::Note}};
        for (const auto& k : kinds) {
            if (line.rfind(k.prefix, 0) == 0) {
                severity = k.severity;
                rest = line.substr(std::strlen(k.prefix));
                break;
            }
        }
        // "file:line: message"
        std::size_t c1 = rest.find(':');
        std::size_t c2 = c1 == std::string::npos ? std::string::npos : rest.find(':', c1 + 1);
        if (c2 != std::string::npos && c2 > c1 + 1 && AllDigits(rest.substr(c1 + 1, c2 - c1 - 1))) {
            std::string file = rest.substr(0, c1);
            std::string text = rest.substr(c2 + 1);
            while (!text.empty() && text[0] == ' ')
                text.erase(0, 1);
            // glslang numbers the main source string 0 when it has no name
            if (file.empty() || file == "0")
                file = sourceName;
            out.push_back({file, std::uint32_t(std::stoul(rest.substr(c1 + 1, c2 - c1 - 1))), severity, text});
            placedError |= severity == Severity::Error;
        } else {
            unplaced.push_back({sourceName, 1, severity, rest});
        }
    }
    for (const Diagnostic& u : unplaced) {
        // The summary ("N compilation errors. No code generated.") adds nothing to placed errors.
        if (placedError && u.text.find("compilation error") != std::string::npos)
            continue;
        out.push_back(u);
    }
}

void ParseDriverLog(const std::string& log, const std::string& sourceName, Diagnostics& out)
{
    std::istringstream in(log);
    std::string line;
    // A driver may list every overload it tried: the first lines say enough.
    constexpr int kMaxLines = 12;
    int lines = 0, dropped = 0;
    std::size_t first = out.size();
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        if (lines == kMaxLines) {
            ++dropped;
            continue;
        }
        ++lines;
        std::string lower = line;
        for (char& ch : lower)
            ch = char(std::tolower((unsigned char)ch));
        Severity severity = lower.find("warning") != std::string::npos ? Severity::Warning : Severity::Error;
        std::uint32_t lineNo = 1;
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::size_t p = colon + 1;
            std::size_t q = p;
            while (q < line.size() && std::isdigit((unsigned char)line[q]))
                ++q;
            if (q > p)
                lineNo = std::max<std::uint32_t>(1, std::uint32_t(std::stoul(line.substr(p, q - p))));
        }
        out.push_back({sourceName, lineNo, severity, "GL: " + line});
    }
    if (dropped)
        out.push_back({sourceName, 1, Severity::Note, "GL: " + std::to_string(dropped) + " more lines"});
    if (out.size() == first)
        out.push_back({sourceName, 1, Severity::Error, "GL: the driver rejected the shader"});
}

}  // namespace gfx
