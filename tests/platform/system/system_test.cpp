#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "common/process_use.h"
#include "common/scratch_folder.h"
#include "platform/system/clock.h"
#include "platform/system/console.h"
#include "platform/system/debug_output.h"
#include "platform/system/errors.h"
#include "platform/system/files.h"
#include "platform/system/message_box.h"

namespace {

class FilesTest : public ::testing::Test {
protected:
    std::string Make(const std::string& name, const std::string& content)
    {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static HANDLE Open(const std::string& path)
    {
        return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    // Whether the path names another file than the open one (false when it
    // names nothing).
    static bool Replaced(HANDLE file)
    {
        platform::FileStamp stamp;
        bool replaced = false;
        return platform::StampOfPath(file, stamp, replaced) && replaced;
    }

    ScratchFolder folder;
    const std::string dir = folder.root.string();
};

TEST_F(FilesTest, ReadSizeSeekAndClose)
{
    HANDLE file = Open(Make("a", "0123456789"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_NE(file, nullptr);
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 0u);

    char buffer[8];
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(file, buffer, 8, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "01234567");
    EXPECT_TRUE(ReadFile(file, buffer, 8, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "89");
    EXPECT_TRUE(ReadFile(file, buffer, 8, &got, nullptr));
    EXPECT_EQ(got, 0u);  // the end is a successful read of nothing

    EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
    EXPECT_TRUE(ReadFile(file, buffer, 2, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "34");

    EXPECT_TRUE(CloseHandle(file));
    // A closed handle is unknown from then on: every call fails cleanly.
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
    EXPECT_FALSE(ReadFile(file, buffer, 1, &got, nullptr));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(CloseHandle(nullptr));
}

TEST_F(FilesTest, OpenFailuresSetTheLastError)
{
    const std::string folder = dir + "/folder";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    struct Case {
        std::string path;
        int error;
    };
    const Case cases[] = {
        {dir + "/missing", ENOENT},
        {folder, EISDIR},
        {"", ENOENT},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(Open(c.path), INVALID_HANDLE_VALUE) << c.path;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error)) << c.path;
    }
}

TEST_F(FilesTest, LastWriteTimeFromThePath)
{
    const std::string path = Make("t", "x");
    timespec times[2] = {{0, 0}, {0, 1234567}};  // 1970-01-01 plus 1.234567 ms
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    HANDLE file = Open(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written{};
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
    const std::uint64_t value = (std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
    EXPECT_EQ(value, 116444736000000000ull + 12345u);
    EXPECT_FALSE(Replaced(file));

    // Replaced by rename: the path's file is another one now.
    const std::string fresh = Make("t.new", "yy");
    ASSERT_EQ(std::rename(fresh.c_str(), path.c_str()), 0);
    EXPECT_TRUE(Replaced(file));
    EXPECT_EQ(GetFileSize(file, nullptr), 1u);  // still the old file
    ASSERT_TRUE(platform::ReopenFile(file));
    EXPECT_FALSE(Replaced(file));
    EXPECT_EQ(GetFileSize(file, nullptr), 2u);

    // Gone: no time, nothing to reopen, the old file stays usable.
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_FALSE(GetFileTime(file, nullptr, nullptr, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
    EXPECT_FALSE(Replaced(file));
    EXPECT_FALSE(platform::ReopenFile(file));
    EXPECT_EQ(GetFileSize(file, nullptr), 2u);
    EXPECT_TRUE(CloseHandle(file));
}

// A file let go of holds no descriptor; its handle keeps the path, fails
// every read cleanly, and opens the path again on ReopenFile.
TEST_F(FilesTest, AFileLetGoKeepsItsPathAndOpensAgain)
{
    HANDLE file = Open(Make("g", "abc"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const int held = OpenDescriptors();
    platform::LetFileGo(file);
    EXPECT_EQ(OpenDescriptors(), held - 1);
    platform::LetFileGo(file);  // twice: nothing more to close
    EXPECT_EQ(OpenDescriptors(), held - 1);

    char buffer[4];
    DWORD got = 99;
    EXPECT_FALSE(ReadFile(file, buffer, 4, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
    // The path names a file, and the handle holds none: another file.
    EXPECT_TRUE(Replaced(file));
    platform::FileStamp stamp;
    bool replaced = false;
    EXPECT_TRUE(platform::StampOfPath(file, stamp, replaced));
    EXPECT_TRUE(replaced);
    EXPECT_EQ(stamp.size, 3u);

    ASSERT_TRUE(platform::ReopenFile(file));
    EXPECT_EQ(OpenDescriptors(), held);
    EXPECT_TRUE(ReadFile(file, buffer, 4, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "abc");
    EXPECT_FALSE(Replaced(file));

    platform::LetFileGo(file);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
}

// The stamp shows each way a file changes, also when its modification time
// is put back; a path that names no regular file has none.
TEST_F(FilesTest, AStampShowsEveryChange)
{
    const std::string path = dir + "/s";
    const auto putTimeBack = [&] {
        timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
    };
    struct Case {
        const char* what;
        std::function<void()> change;
        // What differs from the stamp before.
        bool size, inode, replaced;
        int error;  // no stamp: the last error
    } cases[] = {
        {"rewritten, the same size", [&] { Make("s", "1234"); }, false, false, false, 0},
        {"grown", [&] { Make("s", "123456"); }, true, false, false, 0},
        {"replaced by rename", [&] { std::rename(Make("s.new", "abcd").c_str(), path.c_str()); }, false, true, true, 0},
        {"deleted", [&] { std::remove(path.c_str()); }, false, false, false, ENOENT},
        {"a folder",
         [&] {
             std::remove(path.c_str());
             mkdir(path.c_str(), 0755);
         },
         false, false, false, EISDIR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(path);
        Make("s", "abcd");
        putTimeBack();
        HANDLE file = Open(path);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        platform::FileStamp before, after;
        bool replaced = true;
        ASSERT_TRUE(platform::StampOfPath(file, before, replaced));
        EXPECT_FALSE(replaced);
        EXPECT_EQ(before.size, 4u);
        EXPECT_EQ(before.lastWriteTime, (1700000000ull + 11644473600ull) * 10000000ull);

        // Until the status-change time moves: a coarse clock may not have
        // ticked since the file was made.
        for (int attempt = 0; attempt < 100000; ++attempt) {
            std::filesystem::remove_all(path + ".new");
            Make("s", "abcd");
            putTimeBack();
            c.change();
            putTimeBack();
            if (!platform::StampOfPath(file, after, replaced) || after.changeTime != before.changeTime)
                break;
        }
        SetLastError(0);
        if (c.error != 0) {
            EXPECT_FALSE(platform::StampOfPath(file, after, replaced));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error));
        } else {
            ASSERT_TRUE(platform::StampOfPath(file, after, replaced));
            EXPECT_NE(after, before);
            EXPECT_NE(after.changeTime, before.changeTime);
            EXPECT_EQ(after.lastWriteTime, before.lastWriteTime);
            EXPECT_EQ(after.size != before.size, c.size);
            EXPECT_EQ(after.inode != before.inode, c.inode);
            EXPECT_EQ(replaced, c.replaced);
        }
        EXPECT_TRUE(CloseHandle(file));
    }
}

TEST(Errors, FormatMessageGivesTheSystemTextWithCrLf)
{
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
                       nullptr, ENOENT, 0x400, reinterpret_cast<char*>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text, length), std::string(std::strerror(ENOENT)) + "\r\n");
    EXPECT_EQ(LocalFree(text), nullptr);

    SetLastError(42);
    EXPECT_EQ(GetLastError(), 42u);
}

TEST(MessageBox, HeadlessWritesToStandardErrorWithoutWaiting)
{
    ASSERT_EQ(setenv("SDL_VIDEODRIVER", "offscreen", 1), 0);
    ConsoleCapture console;
    EXPECT_EQ(MessageBoxA(nullptr, "Failed to create window!", "Error", MB_OK), IDOK);
    OutputDebugStringA("debug line\n");
    const std::string shown = console.ErrorText();
    EXPECT_EQ(shown, "Error: Failed to create window!\ndebug line\n");
}

TEST(Clock, MonotonicMilliseconds)
{
    const DWORD before = GetTickCount();
    const long clockBefore = platform::Clock();
    Sleep(20);
    EXPECT_GE(GetTickCount() - before, 20u);
    EXPECT_GE(platform::Clock() - clockBefore, 20);
    EXPECT_GE(clockBefore, 0);
}

}  // namespace
