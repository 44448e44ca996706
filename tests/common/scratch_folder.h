#pragma once
// A fresh folder for a test's files, removed with everything in it when the
// folder object goes. Files written through it get distinct modification
// times: file times are too coarse to tell two quick saves apart.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

class ScratchFolder {
public:
    // An empty folder <temporary folder>/quorvelan-<test name>-XXXXXX.
    ScratchFolder() : root(Made()) {}
    // The same with a copy of the folder fixture inside it, under the fixture's name.
    explicit ScratchFolder(const std::filesystem::path& fixture) : ScratchFolder()
    {
        std::filesystem::copy(fixture, root / fixture.filename(), std::filesystem::copy_options::recursive);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The path of a file in the folder.
    std::string Path(const std::string& name) const { return root.string() + "/" + name; }

    // Writes the file's bytes and gives it a modification time no earlier write had; its path.
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        {
            std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
            out << bytes;
        }
        Stamp(name);
        return Path(name);
    }

    // Saves as editors that write a new file and rename it over the old one.
    void WriteByRename(const std::string& name, const std::string& bytes, bool keepTime) const
    {
        struct stat old {};
        stat(Path(name).c_str(), &old);
        const std::string temporary = Path(name + ".new");
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << bytes;
        }
        std::rename(temporary.c_str(), Path(name).c_str());
        if (keepTime) {
            const timespec times[2] = {old.st_atim, old.st_mtim};
            utimensat(AT_FDCWD, Path(name).c_str(), times, 0);
        } else {
            Stamp(name);
        }
    }

    void Remove(const std::string& name) const { std::remove(Path(name).c_str()); }

    const std::filesystem::path root;

private:
    static std::filesystem::path Made()
    {
        std::string label = "test";
        if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
            label = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : label)
            if (c == '/')
                c = '_';
        std::string pattern = (std::filesystem::temp_directory_path() / ("quorvelan-" + label + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
        return pattern;
    }

    // One second apart, from 2020 on.
    void Stamp(const std::string& name) const
    {
        static long long next = 1600000000;
        const timespec times[2] = {{next, 0}, {next, 0}};
        ++next;
        utimensat(AT_FDCWD, Path(name).c_str(), times, 0);
    }
};
