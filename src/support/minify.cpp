#include "support/minify.h"

namespace {

bool IsMinifySpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

bool IsWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == '-' || c == '+';
}

std::string MinifyText(const std::string& text, bool* commentNotClosed)
{
    if (commentNotClosed) {
        *commentNotClosed = false;
    }
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = true;
    bool prevWord = false;
    const std::size_t length = text.size();
    for (std::size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (IsMinifySpace(c)) {
            if (!pendingSpace) {
                pendingSpace = true;
                prevWord = !out.empty() && IsWordChar(out.back());
            }
        } else if (c == '#') {
            if (!out.empty() && out.back() != '\n') {
                out += '\n';
            }
            while (i < length && text[i] != '\n') {
                out += text[i];
                ++i;
            }
            out += '\n';
            pendingSpace = true;
        } else if (c == '/') {
            const char next = i + 1 < length ? text[i + 1] : '\0';
            if (i + 1 < length && next == '/') {
                while (i < length && text[i] != '\n') {
                    ++i;
                }
            } else if (i + 1 < length && next == '*') {
                // Starts on the opening '*', so "/*/" already closes.
                ++i;
                while (i < length && !(text[i] == '/' && text[i - 1] == '*')) {
                    ++i;
                }
                if (i == length && commentNotClosed) {
                    *commentNotClosed = true;
                }
            } else {
                out += '/';
            }
        } else {
            if (pendingSpace) {
                if (prevWord && IsWordChar(c)) {
                    out += ' ';
                }
                pendingSpace = false;
            }
            out += c;
        }
    }
    return out;
}
