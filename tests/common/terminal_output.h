#pragma once
// What a call writes to the process's standard output itself, as the terminal
// receives it: the descriptor goes to a temporary file for the call, with no
// console capture in between.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

inline std::string WrittenToTerminal(const std::function<void()>& call)
{
    std::fflush(stdout);
    char name[] = "/tmp/quorvelan-stdout-XXXXXX";
    const int file = mkstemp(name);
    if (file < 0) {
        ADD_FAILURE() << "no temporary file";
        return std::string();
    }
    const int saved = dup(STDOUT_FILENO);
    dup2(file, STDOUT_FILENO);
    call();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string written;
    char buffer[256];
    lseek(file, 0, SEEK_SET);
    for (ssize_t n; (n = read(file, buffer, sizeof buffer)) > 0;)
        written.append(buffer, static_cast<std::size_t>(n));
    close(file);
    unlink(name);
    return written;
}
