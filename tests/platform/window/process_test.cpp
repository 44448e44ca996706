#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/window/process.h"

namespace {

TEST(Process, SetCurrentDirectoryTakesBothSeparators)
{
    namespace fs = std::filesystem;
    fs::path start = fs::current_path();
    fs::path dir = fs::temp_directory_path() / ("quorvelan-cd-" + std::to_string(getpid()));
    fs::create_directories(dir / "a" / "b");
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    EXPECT_TRUE(SetCurrentDirectoryA(".\\"));  // the folder of a bare file name
    EXPECT_EQ(fs::current_path(), dir);
    EXPECT_TRUE(SetCurrentDirectoryA("a\\b"));
    EXPECT_EQ(fs::current_path(), dir / "a" / "b");
    EXPECT_FALSE(SetCurrentDirectoryA(""));
    EXPECT_FALSE(SetCurrentDirectoryA("no such folder"));
    EXPECT_EQ(fs::current_path(), dir / "a" / "b");
    fs::current_path(start);
    fs::remove_all(dir);
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
