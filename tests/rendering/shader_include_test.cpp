#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/scratch_folder.h"
#include "platform/system/console.h"
#include "rendering/shader.h"

namespace {
namespace fs = std::filesystem;

class IncludeFiles : public testing::Test {
protected:
    std::string Write(const char* name, const std::string& bytes)
    {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    struct Opened {
        HRESULT result;
        std::string text;  // the bytes counted
        UINT bytes;
        std::string printed;
    };

    Opened Open(const std::string& name)
    {
        ShaderIncludeHandler handler;
        LPCVOID data = reinterpret_cast<LPCVOID>(0x1);
        UINT bytes = 12345;
        ConsoleCapture console;
        const HRESULT result = handler.Open(D3D_INCLUDE_LOCAL, name.c_str(), nullptr, &data, &bytes);
        std::fflush(stdout);
        Opened opened{result, std::string(), bytes, console.Text()};
        if (result == S_OK) {
            opened.text.assign(static_cast<const char*>(data), bytes);
            EXPECT_EQ(static_cast<const char*>(data)[bytes], '\0');
            EXPECT_EQ(handler.Close(data), S_OK);
        } else {
            EXPECT_EQ(data, reinterpret_cast<LPCVOID>(0x1)) << "out values untouched";
            EXPECT_EQ(bytes, 12345u);
        }
        return opened;
    }

    ScratchFolder folder;
    const fs::path dir = folder.root;
};
}  // namespace

TEST_F(IncludeFiles, ReadsTextWithLineFeedsUpToTheFirstZero)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"plain.hlsl", "float a;\nfloat b;\n", "float a;\nfloat b;\n"},
        {"crlf.hlsl", "float a;\r\nfloat b;\r\n", "float a;\nfloat b;\n"},
        {"lone-cr.hlsl", "a\rb\r\n", "a\rb\n"},
        {"zero.hlsl", std::string("float a;\0float b;\n", 18), "float a;"},
        {"empty.hlsl", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Opened opened = Open(Write(c.name, c.bytes));
        EXPECT_EQ(opened.result, S_OK);
        EXPECT_EQ(opened.text, c.text);
        EXPECT_EQ(opened.bytes, c.text.size());
        EXPECT_EQ(opened.printed, "");
    }
}

TEST_F(IncludeFiles, WhatIsNotARegularFileCannotBeOpened)
{
    const std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string names[] = {
        (dir / "missing.hlsl").string(),
        dir.string(),  // a folder
        fifo,          // would block until a writer came
        "",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Opened opened = Open(name);
        EXPECT_TRUE(FAILED(opened.result));
        EXPECT_EQ(opened.printed, "shader include error: cannot open file " + name + "\n");
    }
}

TEST_F(IncludeFiles, RelativeNamesResolveAgainstTheWorkingDirectory)
{
    Write("relative.hlsl", "float c;\n");
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    const Opened opened = Open("relative.hlsl");
    fs::current_path(previous);
    EXPECT_EQ(opened.result, S_OK);
    EXPECT_EQ(opened.text, "float c;\n");
}

namespace {

// The handler opens one file per call and follows none of its includes: the
// compiler asks for each, so a file that includes itself is handed over
// once per call, whole.
TEST_F(IncludeFiles, AFileThatIncludesItselfIsOpenedOnceAndNotFollowed)
{
    const std::string self = "#include \"" + (dir / "self.hlsl").string() + "\"\nfloat x;\n";
    const std::string path = Write("self.hlsl", self);
    for (int call = 0; call < 3; ++call) {
        const Opened opened = Open(path);
        EXPECT_EQ(opened.result, S_OK);
        EXPECT_EQ(opened.text, self);
        EXPECT_EQ(opened.printed, "");
    }
}

// A name of megabytes is cut in the message.
TEST_F(IncludeFiles, AVeryLongNameIsShortenedInTheMessage)
{
    const std::string name(3 * 1024 * 1024, 'n');
    const Opened opened = Open(name);
    EXPECT_NE(opened.result, S_OK);
    EXPECT_EQ(opened.printed, "shader include error: cannot open file " + std::string(200, 'n') +
                                  "\xE2\x80\xA6 (3145728 characters)\n");
}

}  // namespace
