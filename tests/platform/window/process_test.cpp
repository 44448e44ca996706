#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "common/scratch_folder.h"
#include "platform/system/errors.h"
#include "platform/window/process.h"

namespace {

TEST(Process, SetCurrentDirectoryTakesSlashesAndKeepsBackslashesInNames)
{
    namespace fs = std::filesystem;
    fs::path start = fs::current_path();
    ScratchFolder folder;
    const fs::path dir = folder.root;
    fs::create_directories(dir / "a" / "b");
    fs::create_directories(dir / "b\\s");
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    EXPECT_TRUE(SetCurrentDirectoryA("a/b"));
    EXPECT_EQ(fs::current_path(), dir / "a" / "b");
    EXPECT_TRUE(SetCurrentDirectoryA("../.."));
    EXPECT_TRUE(SetCurrentDirectoryA("b\\s"));  // one folder whose name holds a backslash
    EXPECT_EQ(fs::current_path(), dir / "b\\s");
    EXPECT_TRUE(SetCurrentDirectoryA(".."));

    struct Case {
        const char* path;
        DWORD error;
    } failures[] = {{"", ENOENT}, {"no such folder", ENOENT}, {"a\\b", ENOENT}};
    for (const Case& c : failures) {
        SetLastError(0);
        EXPECT_FALSE(SetCurrentDirectoryA(c.path)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_EQ(fs::current_path(), dir);
    fs::current_path(start);
}

TEST(Process, ModuleHandleAndMemory)
{
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    auto* bytes = static_cast<unsigned char*>(GlobalAlloc(GMEM_FIXED, 64));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(bytes[i], 0);
    EXPECT_EQ(GlobalFree(bytes), nullptr);
}

TEST(Process, ExitProcessEndsWithTheCode)
{
    EXPECT_EXIT(ExitProcess(3), ::testing::ExitedWithCode(3), "");
}

}  // namespace
