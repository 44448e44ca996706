#include "shell/command_line.h"

#include <cstring>
#include <utility>

#include "platform/window/process.h"

char** SplitCommandLine(const char* commandLine, int* count)
{
    std::size_t n = std::strlen(commandLine);
    std::size_t tableSize = ((n + 2) / 2 + 1) * sizeof(char*);
    char** words = static_cast<char**>(GlobalAlloc(GMEM_FIXED, tableSize + n + 2));
    char* text = reinterpret_cast<char*>(words) + tableSize;

    bool inQuotes = false;
    bool inWord = false;
    bool atWordStart = true;
    int argc = 0;
    std::size_t j = 0;
    for (std::size_t i = 0; i < n; ++i) {
        char c = commandLine[i];
        if (inQuotes) {
            if (c == '"')
                inQuotes = false;
            else
                text[j++] = c;
            continue;
        }
        switch (c) {
        case '\t':
        case '\n':
        case '\r':
        case ' ':
            if (inWord) {
                text[j++] = '\0';
                inWord = false;
            }
            atWordStart = true;
            break;
        case '"':
            inQuotes = true;
            inWord = true;
            if (atWordStart) {
                words[argc++] = text + j;
                atWordStart = false;
            }
            break;
        default:
            inWord = true;
            if (atWordStart) {
                words[argc++] = text + j;
                atWordStart = false;
            }
            text[j++] = c;
            break;
        }
    }
    text[j] = '\0';
    words[argc] = nullptr;
    *count = argc;
    return words;
}

std::string GetDirectoryOfPath(const std::string& path)
{
    const std::size_t separator = path.rfind('/');
    if (separator == std::string::npos)
        return ".";
    if (separator == 0)
        return "/";
    return path.substr(0, separator);
}

namespace {
std::optional<std::vector<std::string>>& GivenWords()
{
    static std::optional<std::vector<std::string>> words;
    return words;
}
}  // namespace

void SetArgumentWords(std::optional<std::vector<std::string>> words)
{
    GivenWords() = std::move(words);
}

std::vector<std::string> CommandLineWords(const char* commandLine)
{
    if (GivenWords())
        return *GivenWords();
    int count = 0;
    char** words = SplitCommandLine(commandLine ? commandLine : "", &count);
    std::vector<std::string> copied(words, words + count);
    GlobalFree(words);
    return copied;
}
