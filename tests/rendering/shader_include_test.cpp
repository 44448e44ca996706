#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "common/process_use.h"
#include "common/scratch_folder.h"
#include "platform/system/console.h"
#include "rendering/shader.h"
#include "support/reloadable_file.h"

namespace {
namespace fs = std::filesystem;

// What the call prints.
std::string Captured(const std::function<void()>& call)
{
    std::fflush(stdout);
    ConsoleCapture console;
    call();
    std::fflush(stdout);
    return console.Text();
}

class IncludeFiles : public testing::Test {
protected:
    // Each write gets a modification time no earlier write had.
    std::string Write(const std::string& name, const std::string& bytes) { return folder.Write(name, bytes); }

    struct Opened {
        HRESULT result;
        std::string text;  // the bytes counted
        UINT bytes;
        std::string printed;
    };

    Opened Open(const std::string& name, IncludeRecord* record = nullptr)
    {
        ShaderIncludeHandler handler(record);
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

TEST_F(IncludeFiles, ReadsTextWithLineFeedsAndHandsOverZeroBytes)
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
        {"zero.hlsl", std::string("float a;\0float b;\r\n", 19), std::string("float a;\0float b;\n", 18)},
        {"empty.hlsl", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write(c.name, c.bytes);
        const Opened opened = Open(path);
        EXPECT_EQ(opened.result, S_OK);
        EXPECT_EQ(opened.text, c.text);
        EXPECT_EQ(opened.bytes, c.text.size());
        // Read through the file cache, which says so.
        EXPECT_EQ(opened.printed, "reading file " + path + "\n");
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
        // The cached text is read once, while the file does not change.
        EXPECT_EQ(opened.printed, call == 0 ? "reading file " + path + "\n" : "");
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

// Every name asked for is noted once, with the version of the cached file
// that was read; what cannot be opened is noted with 0.
TEST_F(IncludeFiles, EveryNameAskedForIsNotedOnce)
{
    const std::string a = Write("a.hlsl", "float a;\n");
    const std::string b = Write("b.hlsl", "float b;\n");
    const std::string gone = (dir / "gone.hlsl").string();
    IncludeRecord record{{"left over", 7}};
    Open(a, &record);
    const std::uint64_t aVersion = g_fileCache.Get(a).GetVersion();
    ASSERT_NE(aVersion, 0u);
    Open(gone, &record);
    Open(b, &record);
    Write("a.hlsl", "float a2;\n");
    // Asked again after a change: the text is the new one, the note the first.
    EXPECT_EQ(Open(a, &record).text, "float a2;\n");
    Open(gone, &record);
    Open("", &record);  // can never be opened: nothing to watch
    EXPECT_EQ(record,
              (IncludeRecord{{"left over", 7}, {a, aVersion}, {gone, 0}, {b, g_fileCache.Get(b).GetVersion()}}));
}

// A record sees each change of its files once, and so does every other
// record of the same files, whichever polled first.
TEST_F(IncludeFiles, EveryRecordSeesEachChangeOfItsFiles)
{
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> change;
        bool changed;
    } cases[] = {
        {"nothing", [](const std::string&) {}, false},
        {"edited", [&](const std::string& path) { Write(fs::path(path).filename(), "float edited;\n"); }, true},
        {"touched", [&](const std::string& path) { Write(fs::path(path).filename(), "float x;\n"); }, true},
        {"missing, then made", [&](const std::string& path) { Write(fs::path(path).filename(), "float made;\n"); },
         true},
        {"deleted: the text read before stays", [](const std::string& path) { fs::remove(path); }, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "watched" + std::to_string(n++) + ".hlsl";
        const std::string path =
            std::string(c.what).rfind("missing", 0) == 0 ? (dir / name).string() : Write(name, "float x;\n");
        IncludeRecord first, second;
        Open(path, &first);
        Open(path, &second);
        c.change(path);
        std::string printed;
        {
            ConsoleCapture console;
            EXPECT_EQ(IncludesChanged(first), c.changed);
            EXPECT_EQ(IncludesChanged(second), c.changed);
            // Seen, but a record is not renewed by looking.
            EXPECT_EQ(IncludesChanged(first), c.changed);
            std::fflush(stdout);
            printed = console.Text();
        }
        if (c.changed) {
            EXPECT_EQ(printed, "reading file " + path + "\n");
        }
    }
}

// Through a compilation: every file it asked for, nested ones too, and one
// it could not open.
TEST_F(IncludeFiles, ACompilationNotesEveryFileItAskedFor)
{
    const std::string inner = Write("inner.hlsl", "float Inner() { return 0.5; }\n");
    const std::string outer = Write("outer.hlsl", "#include \"" + inner + "\"\nfloat Outer() { return Inner(); }\n");
    const std::string gone = (dir / "gone.hlsl").string();
    Shader shader;
    IncludeRecord record;
    const std::string good =
        "#include \"" + outer + "\"\nfloat4 p(float4 pos : SV_POSITION) : SV_TARGET { return Outer(); }\n";
    Captured([&] { shader.CompilePixelShader(good.c_str(), &record); });
    EXPECT_EQ(record, (IncludeRecord{{outer, g_fileCache.Get(outer).GetVersion()},
                                     {inner, g_fileCache.Get(inner).GetVersion()}}));
    EXPECT_FALSE(IncludesChanged(record));

    const std::string bad = "#include \"" + outer + "\"\n#include \"" + gone +
                            "\"\nfloat4 p(float4 pos : SV_POSITION) : SV_TARGET { return Outer(); }\n";
    const std::string printed = Captured([&] { EXPECT_FALSE(shader.CompilePixelShader(bad.c_str(), &record)); });
    EXPECT_NE(printed.find("shader include error: cannot open file " + gone + "\n"), std::string::npos) << printed;
    EXPECT_EQ(record, (IncludeRecord{{outer, g_fileCache.Get(outer).GetVersion()},
                                     {inner, g_fileCache.Get(inner).GetVersion()},
                                     {gone, 0}}));
    Write("inner.hlsl", "float Inner() { return 0.25; }\n");
    EXPECT_TRUE(IncludesChanged(record));
}

// An include over the limit is refused by the file cache before it is read
// (a compiler that refuses it afterwards would have it in memory already):
// said with its size, and what was read before stays.
TEST_F(IncludeFiles, AnIncludeOverTheLimitIsRefusedBeforeItIsRead)
{
    constexpr std::uint64_t size = 300u * 1024 * 1024;
    const bool canMeasure = ResetPeakResident();
    for (const bool readBefore : {false, true}) {
        SCOPED_TRACE(readBefore ? "read before" : "never read");
        const std::string path = Write(readBefore ? "grown.hlsl" : "big.hlsl", "float small;\n");
        if (readBefore) {
            ASSERT_EQ(Open(path).result, S_OK);
        }
        fs::resize_file(path, size);  // sparse: no disk space taken
        WinApi::ReloadableFile::BeginReloadPass();
        ResetPeakResident();
        const std::uint64_t resident = PeakResidentBytes();
        const Opened opened = Open(path);
        const std::uint64_t grown = PeakResidentBytes() - resident;
        const std::string refused = "ReloadableFile::Update error: cannot read " + path +
                                    ": 314572800 bytes, more than the limit of 67108864 bytes; the text read "
                                    "before stays\n";
        if (readBefore) {
            EXPECT_EQ(opened.result, S_OK);
            EXPECT_EQ(opened.text, "float small;\n");
            EXPECT_EQ(opened.printed, refused);
        } else {
            EXPECT_TRUE(FAILED(opened.result));
            EXPECT_EQ(opened.printed, refused + "shader include error: cannot open file " + path + "\n");
        }
        if (canMeasure) {
            EXPECT_LT(grown, size / 8) << "resident memory grew by " << grown << " bytes";
        }
    }
}

}  // namespace
