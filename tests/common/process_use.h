#pragma once
// What the test process holds: its open descriptors and its peak resident
// memory, from /proc (Linux).
#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

// Open descriptors, from the entries of /proc/self/fd (the listing's own
// descriptor not counted).
inline int OpenDescriptors()
{
    DIR* folder = opendir("/proc/self/fd");
    if (!folder)
        return -1;
    int count = 0;
    while (const dirent* entry = readdir(folder))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(folder);
    return count - 1;
}

// Starts a new peak of resident memory at what is resident now; false when
// the system does not let it be reset.
inline bool ResetPeakResident()
{
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.close();
    return !out.fail();
}

// The peak of resident memory since the last reset, in bytes (VmHWM).
inline std::uint64_t PeakResidentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoull(line.substr(6)) * 1024;
    return 0;
}
