#include "intro/shader_includes.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

bool IncludeFileOpens(const std::string& name)
{
    // A folder may open as well, but it is no include file.
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        return false;
    std::FILE* f = std::fopen(name.c_str(), "r");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

namespace {

// The file a name stands for, whatever way it is written ("a.hlsl",
// "./a.hlsl", a link to it).
std::string Identity(const std::string& name)
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(name, error);
    return error ? name : canonical.string();
}

// The names in the text's #include lines, in order.
std::vector<std::string> IncludedNames(const std::string& text)
{
    std::vector<std::string> names;
    std::size_t at = 0;
    while ((at = text.find("#include", at)) != std::string::npos) {
        at += 8;
        const std::size_t open = text.find_first_of("\"<\n", at);
        if (open == std::string::npos || text[open] == '\n')
            continue;
        const char close = text[open] == '"' ? '"' : '>';
        const std::size_t stop = text.find_first_of(std::string(1, close) + "\n", open + 1);
        if (stop == std::string::npos || text[stop] == '\n')
            continue;
        at = stop;
        names.push_back(text.substr(open + 1, stop - open - 1));
    }
    return names;
}

}  // namespace

std::vector<std::string> MissingIncludes(const std::string& source)
{
    std::set<std::string> seenNames;
    std::set<std::string> seenFiles;
    std::vector<std::string> missing;
    std::vector<std::string> pending;  // names of files still to read
    std::size_t filesRead = 0;
    std::size_t bytesRead = 0;

    auto scan = [&](const std::string& text) {
        for (const std::string& name : IncludedNames(text)) {
            if (!seenNames.insert(name).second)
                continue;
            if (!IncludeFileOpens(name))
                missing.push_back(name);
            else if (seenFiles.insert(Identity(name)).second)
                pending.push_back(name);
        }
    };

    scan(source);
    // A work list rather than recursion: a chain of any depth takes no stack.
    while (!pending.empty() && filesRead < kMaxIncludeFiles) {
        const std::string name = pending.back();
        pending.pop_back();
        std::error_code error;
        const auto size = std::filesystem::file_size(name, error);
        if (error)
            continue;
        if (size > kMaxIncludeBytes - bytesRead)
            break;
        std::ifstream included(name, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(included)), std::istreambuf_iterator<char>());
        ++filesRead;
        bytesRead += text.size();
        scan(text);
    }
    return missing;
}
