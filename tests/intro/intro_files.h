#pragma once
// Test helpers: the scratch folder (common/scratch_folder.h), and capture of
// what a call prints.
#include <gtest/gtest.h>
#include <unistd.h>

#include "common/scratch_folder.h"
#include "common/terminal_output.h"
#include "platform/system/console.h"
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

inline std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// Everything that the call writes to standard output, through printf and cout.
inline std::string Captured(const std::function<void()>& call)
{
    std::fflush(stdout);
    ConsoleCapture console;
    call();
    std::fflush(stdout);
    return console.Text();
}

// The lines of text that start with prefix, in order.
inline std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        if (line.compare(0, prefix.size(), prefix) == 0)
            lines.push_back(line);
        at = end + 1;
    }
    return lines;
}
