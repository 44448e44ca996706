// MinifyText on arbitrary bytes: no crash, no overread, and the shape of its
// output: a '#' only ever starts a line, and outside '#' lines no tab, CR or
// '#' survives.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/minify.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string output = MinifyText(input);

    std::size_t hashes = 0;
    for (char c : input) {
        hashes += c == '#';
    }
    // Each '#' line adds at most two line feeds and replaces its own.
    if (output.size() > input.size() + 2 * hashes) {
        __builtin_trap();
    }
    std::size_t lineStart = 0;
    while (lineStart <= output.size()) {
        std::size_t lineEnd = output.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = output.size();
        }
        if (lineEnd > lineStart && output[lineStart] != '#') {
            for (std::size_t i = lineStart; i < lineEnd; ++i) {
                const char c = output[i];
                if (c == '\t' || c == '\r' || c == '#') {
                    __builtin_trap();
                }
            }
        }
        lineStart = lineEnd + 1;
    }
    // Whitespace never leads the output.
    if (!output.empty() && (output[0] == ' ' || output[0] == '\t' || output[0] == '\r')) {
        __builtin_trap();
    }
    return 0;
}
