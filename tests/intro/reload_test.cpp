// Reloads as an author makes them while the player runs: edits that are
// refused keep the picture that was drawn before, and every loss is said.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/gpu_device.h"
#include "common/process_use.h"
#include "frame_target.h"
#include "intro/solution.h"
#include "intro_files.h"

namespace {

constexpr std::uint32_t kWidth = 16, kHeight = 8;
using Pixel = FrameTarget::Pixel;

const char* kSolid = "float4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(colour, 1); }\n";
// The scene image as it is: the blur plays no part in the picture.
const char* kCopy = "Texture2D SceneImage : register(t0);\n"
                    "float4 p(float4 position : SV_POSITION) : SV_TARGET\n"
                    "{ return SceneImage.Load(int3(position.xy, 0)) * gain; }\n";

class ReloadTest : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_DEVICE(gputest::SharedDevice());
        folder.Write("solid.hlsl", kSolid);
        folder.Write("copy.hlsl", kCopy);
        folder.Write("intro.quointro", "[scene] string sceneFile = \"" + folder.Path("a.quoscene") + "\";");
        folder.Write("a.quoscene", Scene("float3 colour = 1 0 0;"));
    }

    // A scene file with the given [shader] section body.
    std::string Scene(const std::string& shader)
    {
        return "[scene] string shaderFile = \"" + folder.Path("solid.hlsl") + "\"; string postFile = \"" +
               folder.Path("copy.hlsl") + "\"; float2 blurSamples = 1 1; float2 blurSize = 1 1;\n[shader]\n" + shader +
               "\n[post] float gain = 1;\n";
    }

    Solution Make()
    {
        return Solution(folder.Path("intro.quointro").c_str(), gputest::SharedDevice().device,
                        gputest::SharedDevice().context, kWidth, kHeight);
    }

    std::string Load(Solution& s)
    {
        return Captured([&] { s.Load(); });
    }

    ScratchFolder folder;
};

void ExpectPixel(const Pixel& actual, const Pixel& expected, const std::string& what)
{
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(actual[c], expected[c], 2e-3f) << what << ", channel " << c;
}

bool Has(const std::string& log, const std::string& piece)
{
    return log.find(piece) != std::string::npos;
}

std::string ManyRegisters(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "float4 r" + std::to_string(i) + " = 0 0 0 0;\n";
    return text;
}

}  // namespace

// A shader and the layout it was compiled for travel together: an edit whose
// shader does not compile leaves the old shader with its old block; values
// still change while the layout is the compiled one.
TEST_F(ReloadTest, ARefusedEditKeepsTheShaderWithItsOwnLayout)
{
    Solution s = Make();
    FrameTarget frame(kWidth, kHeight);
    Load(s);
    ExpectPixel(frame.Draw(s, 0), {1, 0, 0, 1}, "first load");

    const std::string scenePath = folder.Path("a.quoscene");
    struct Step {
        const char* what;
        std::function<void()> edit;
        Pixel expected;
        std::vector<std::string> said;  // pieces of the log
    } steps[] = {
        {"float instead of float3",
         [&] { folder.Write("a.quoscene", Scene("float colour = 1;")); },
         {1, 0, 0, 1},
         {"compiling " + folder.Path("solid.hlsl"), "error"}},
        {"new values of the refused layout",
         [&] { folder.Write("a.quoscene", Scene("float colour = 0.25;")); },
         {1, 0, 0, 1},
         {}},
        {"float2 instead of float3",
         [&] { folder.Write("a.quoscene", Scene("float2 colour = 1 1;")); },
         {1, 0, 0, 1},
         {"error"}},
        {"back to float3 with new values",
         [&] { folder.Write("a.quoscene", Scene("float3 colour = 0 1 0;")); },
         {0, 1, 0, 1},
         {"compiling " + folder.Path("solid.hlsl")}},
        {"values only", [&] { folder.Write("a.quoscene", Scene("float3 colour = 0 0 1;")); }, {0, 0, 1, 1}, {}},
        {"a declaration without values",
         [&] { folder.Write("a.quoscene", Scene("float3 colour;")); },
         {0, 0, 1, 1},
         {"error"}},
        // The same layout as the refused one before: nothing to compile.
        {"no parameter at all", [&] { folder.Write("a.quoscene", Scene("")); }, {0, 0, 1, 1}, {}},
        {"[scene] and garbage",
         [&] { folder.Write("a.quoscene", "[scene]\n)(*&^ garbage = = ;;\n"); },
         {0, 0, 1, 1},
         {scenePath + " names no shaderFile"}},
        {"more registers than a constant buffer holds",
         [&] { folder.Write("a.quoscene", Scene(ManyRegisters(4097) + "float3 colour = 1 1 0;")); },
         {0, 0, 1, 1},
         {"SolutionScene::Load error: " + scenePath +
          " [shader] needs 4098 registers, more than the 4096 a constant buffer holds; the previous shader stays"}},
        {"a good scene again",
         [&] { folder.Write("a.quoscene", Scene("float3 colour = 1 0 1;")); },
         {1, 0, 1, 1},
         {"compiling "}},
        {"a new layout that the shader file then follows",
         [&] {
             folder.Write("a.quoscene", Scene("float colour = 0.5;"));
             Load(s);
             folder.Write("solid.hlsl", "float4 p(float4 position : SV_POSITION) : SV_TARGET "
                                        "{ return float4(colour, 0, 0, 1); }\n");
         },
         {0.5f, 0, 0, 1},
         {"compiling " + folder.Path("solid.hlsl")}},
    };
    for (const Step& step : steps) {
        step.edit();
        const std::string log = Load(s);
        for (const std::string& piece : step.said)
            EXPECT_TRUE(Has(log, piece)) << step.what << ": no \"" << piece << "\" in\n" << log;
        if (step.said.empty()) {
            EXPECT_EQ(LinesStartingWith(log, "compiling "), std::vector<std::string>{}) << step.what << "\n" << log;
        }
        ExpectPixel(frame.Draw(s, 0), step.expected, step.what);
    }
}

TEST_F(ReloadTest, AllTheRegistersOfAConstantBufferCanBeUsed)
{
    folder.Write("solid.hlsl", "float4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(colour, 1); }\n");
    folder.Write("a.quoscene", Scene(ManyRegisters(4095) + "float3 colour = 0 1 0;"));
    Solution s = Make();
    FrameTarget frame(kWidth, kHeight);
    const std::string log = Load(s);
    EXPECT_FALSE(Has(log, "error")) << log;
    ExpectPixel(frame.Draw(s, 0), {0, 1, 0, 1}, "4096 registers");
}

// Files that go, turn into something that is no file, or hold nothing: each
// is said with its path and the reason, and what was read before stays.
// (Tests run as root, whom a mode of 000 does not stop: a folder or a FIFO
// in the file's place stands for a file that cannot be read.)
TEST_F(ReloadTest, LostFilesAreSaidAndThePictureStays)
{
    Solution s = Make();
    FrameTarget frame(kWidth, kHeight);
    Load(s);
    ExpectPixel(frame.Draw(s, 0), {1, 0, 0, 1}, "first load");

    const auto replaceWithFolder = [&](const std::string& name) {
        folder.Remove(name);
        ASSERT_EQ(mkdir(folder.Path(name).c_str(), 0755), 0);
    };
    const auto replaceWithFifo = [&](const std::string& name) {
        folder.Remove(name);
        ASSERT_EQ(mkfifo(folder.Path(name).c_str(), 0644), 0);
    };
    const auto restore = [&](const std::string& name, const std::string& text) {
        std::system(("rm -rf '" + folder.Path(name) + "'").c_str());
        folder.Write(name, text);
    };
    // Saved by mistake: a gigabyte of zero bytes (sparse, no disk space taken).
    const auto makeHuge = [&](const std::string& name) { std::filesystem::resize_file(folder.Path(name), 1u << 30); };
    const auto tooLarge = [&](const std::string& name) {
        return "cannot read " + folder.Path(name) +
               ": 1073741824 bytes, more than the limit of 67108864 bytes; the text read before stays";
    };
    const std::string intro = "[scene] string sceneFile = \"" + folder.Path("a.quoscene") + "\";";
    const std::string scene = Scene("float3 colour = 1 0 0;");
    struct Case {
        const char* what;
        std::function<void()> damage;
        std::string said;
        std::function<void()> mend;
    } cases[] = {
        {"scene file deleted", [&] { folder.Remove("a.quoscene"); },
         "cannot read " + folder.Path("a.quoscene") + ": No such file or directory",
         [&] { restore("a.quoscene", scene); }},
        {"scene file a folder", [&] { replaceWithFolder("a.quoscene"); },
         "cannot read " + folder.Path("a.quoscene") + ": is a folder, not a file",
         [&] { restore("a.quoscene", scene); }},
        {"shader file a FIFO", [&] { replaceWithFifo("solid.hlsl"); },
         "cannot read " + folder.Path("solid.hlsl") + ": is a FIFO, not a file",
         [&] { restore("solid.hlsl", kSolid); }},
        {"intro file a folder", [&] { replaceWithFolder("intro.quointro"); },
         "cannot read " + folder.Path("intro.quointro") + ": is a folder, not a file",
         [&] { restore("intro.quointro", intro); }},
        {"intro file emptied", [&] { folder.Write("intro.quointro", ""); },
         "Solution::Load warning: " + folder.Path("intro.quointro") +
             " is empty; the timeline read before keeps playing",
         [&] { folder.Write("intro.quointro", intro); }},
        {"intro file garbage", [&] { folder.Write("intro.quointro", "%$#@ [intro] int timeDelay = 5;"); },
         "Solution::Load warning: " + folder.Path("intro.quointro") +
             " holds no [scene] entry; the timeline read before keeps playing",
         [&] { folder.Write("intro.quointro", intro); }},
        {"scene file emptied", [&] { folder.Write("a.quoscene", ""); },
         "SolutionScene::Load error: " + folder.Path("a.quoscene") + " is empty; what was read before stays",
         [&] { folder.Write("a.quoscene", scene); }},
        {"scene file without [scene]", [&] { folder.Write("a.quoscene", "[shader] float3 colour = 0 1 0;"); },
         "SolutionScene::Load error: " + folder.Path("a.quoscene") +
             " holds no [scene] section; what was read before stays",
         [&] { folder.Write("a.quoscene", scene); }},
        {"scene file of 1 GiB", [&] { makeHuge("a.quoscene"); }, tooLarge("a.quoscene"),
         [&] { restore("a.quoscene", scene); }},
        {"shader file of 1 GiB", [&] { makeHuge("solid.hlsl"); }, tooLarge("solid.hlsl"),
         [&] { restore("solid.hlsl", kSolid); }},
        {"intro file of 1 GiB", [&] { makeHuge("intro.quointro"); }, tooLarge("intro.quointro"),
         [&] { restore("intro.quointro", intro); }},
    };
    for (const Case& c : cases) {
        c.damage();
        for (int reload = 0; reload < 2; ++reload) {
            const std::string log = Load(s);
            int times = 0;
            for (std::size_t at = log.find(c.said); at != std::string::npos; at = log.find(c.said, at + 1))
                ++times;
            // Said on every reload that meets it, once; a file read again
            // only once it changes says what it holds once.
            if (reload == 0 || Has(c.said, "cannot read")) {
                EXPECT_EQ(times, 1) << c.what << ", reload " << reload << "\n" << log;
            }
            ExpectPixel(frame.Draw(s, 0), {1, 0, 0, 1}, std::string(c.what) + ", reload " + std::to_string(reload));
        }
        EXPECT_EQ(s.GetTimeDelay(), 0u) << c.what;
        c.mend();
        const std::string log = Load(s);
        EXPECT_FALSE(Has(log, "error")) << c.what << "\n" << log;
        ExpectPixel(frame.Draw(s, 0), {1, 0, 0, 1}, std::string(c.what) + ", mended");
    }
}

// Each save names a new include and deletes the old one, as an author who
// renames a file does: the files no longer named let their descriptors go.
TEST_F(ReloadTest, RenamedIncludesHoldNoDescriptors)
{
    const auto name = [](int n) { return "tint" + std::to_string(n) + ".hlsl"; };
    const auto shader = [&](int n) {
        return "#include \"" + folder.Path(name(n)) +
               "\"\nfloat4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(Tint(), 1); }\n";
    };
    const auto tint = [](int n) { return "float3 Tint() { return float3(" + std::to_string(n % 2) + ", 0, 1); }\n"; };
    folder.Write(name(0), tint(0));
    folder.Write("solid.hlsl", shader(0));
    Solution s = Make();
    FrameTarget frame(kWidth, kHeight);
    Load(s);
    ExpectPixel(frame.Draw(s, 0), {0, 0, 1, 1}, "first load");
    const int start = OpenDescriptors();

    constexpr int kRenames = 50;
    for (int n = 1; n <= kRenames; ++n) {
        folder.Write(name(n), tint(n));
        folder.Write("solid.hlsl", shader(n));
        folder.Remove(name(n - 1));
        const std::string log = Load(s);
        ASSERT_TRUE(Has(log, "reading file " + folder.Path(name(n)))) << n << "\n" << log;
        ASSERT_FALSE(Has(log, "error")) << n << "\n" << log;
    }
    ExpectPixel(frame.Draw(s, 0), {0, 0, 1, 1}, "after the renames");
    const int end = OpenDescriptors();
    RecordProperty("descriptors_at_start", start);
    RecordProperty("descriptors_after_renames", end);
    EXPECT_LE(end, start + 3) << start << " descriptors at the start, " << end << " after " << kRenames << " renames";
}

// Generated shader files far beyond what an author writes by hand: one that
// cannot compile is said and the picture stays; one that can draws.
TEST_F(ReloadTest, HugeGeneratedShadersCompileOrKeepThePicture)
{
    Solution s = Make();
    FrameTarget frame(kWidth, kHeight);
    Load(s);
    ExpectPixel(frame.Draw(s, 0), {1, 0, 0, 1}, "first load");

    const std::string head = "float4 p(float4 position : SV_POSITION) : SV_TARGET\n{\n";
    std::string doubling = "#define X0 colour.x\n";
    for (int i = 1; i <= 25; ++i)
        doubling +=
            "#define X" + std::to_string(i) + " (X" + std::to_string(i - 1) + "+X" + std::to_string(i - 1) + ")\n";
    doubling += head + "    return float4(0, X25, 0, 1);\n}\n";
    // 20000 terms of colour.x / 20000 on one line: 1.
    std::string sum = head + "    float a = ";
    for (int i = 0; i < 20000; ++i)
        sum += i ? " + colour.x * 0.00005" : "colour.x * 0.00005";
    sum += ";\n    return float4(0, a, 0, 1);\n}\n";
    struct Step {
        const char* what;
        const std::string& text;
        Pixel expected;
        std::string said;
    } steps[] = {
        {"a macro that doubles 25 times",
         doubling,
         {1, 0, 0, 1},
         "error: macro X16 expands to more than 250000 tokens"},
        {"a sum of 20000 terms", sum, {0, 1, 0, 1}, "compiling " + folder.Path("solid.hlsl")},
    };
    for (const Step& step : steps) {
        folder.Write("solid.hlsl", step.text);
        const std::string log = Load(s);
        EXPECT_TRUE(Has(log, step.said)) << step.what << ": no \"" << step.said << "\" in\n" << log.substr(0, 2000);
        ExpectPixel(frame.Draw(s, 0), step.expected, step.what);
    }
}

// A frame whose buffer cannot be made is not drawn with an empty register:
// said once, and the caller's clear stays.
TEST_F(ReloadTest, AFrameBufferThatCannotBeMadeIsSaidOnce)
{
    Solution s = Make();
    FrameTarget frame(kWidth, kHeight);
    Load(s);
    IntroModel::IntroScene& model = *s.scenes[0].model;
    // One register of colour and 4097 more.
    for (int i = 0; i < 4097; ++i)
        model.drawnShaderParameters.AddParameter(IntroModel::ShaderParameter("r" + std::to_string(i), 4));
    Pixel pixel{};
    const std::string log = Captured([&] {
        pixel = frame.Draw(s, 0);
        frame.Draw(s, 1);
    });
    EXPECT_EQ(log, "Solution::Render error: cannot create the [shader] constant buffer of " +
                       folder.Path("a.quoscene") + " (65568 bytes)\n");
    ExpectPixel(pixel, {1, 0, 1, 1}, "not drawn");
}

// A file name of megabytes is cut in every message that names it.
TEST_F(ReloadTest, AVeryLongFileNameIsShortenedInMessages)
{
    const std::string name = folder.Path("") + std::string(1024 * 1024, 'n');
    folder.Write("intro.quointro", "[scene] string sceneFile = \"" + name + "\";");
    Solution s = Make();
    for (int reload = 0; reload < 2; ++reload) {
        const std::string log = Load(s);
        EXPECT_LT(log.size(), 2000u) << reload;
        EXPECT_TRUE(Has(log, "SolutionScene::Load error: cannot read scene file " + name.substr(0, 200) +
                                 "\xE2\x80\xA6 (" + std::to_string(name.size()) + " characters): "))
            << log.substr(0, 2000);
    }
}

// Two scenes whose shaders are one file, which includes a file that
// includes another: a change to any of them, or a missing include that
// appears, recompiles both scenes once, whichever was polled first, and the
// second scene on screen shows it; a reload without a change compiles
// nothing.
TEST_F(ReloadTest, EverySceneRecompilesWhenItsShaderOrAnIncludeChanges)
{
    const auto include = [&](const std::string& name) { return "#include \"" + folder.Path(name) + "\"\n"; };
    // The shader as edited: the include's colour turned, plus what extra gives.
    const auto flat = [&](const std::string& extra) {
        return include("colour.hlsl") + (extra.empty() ? "" : include("extra.hlsl")) +
               "float4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(Colour().brg * colour" + extra +
               ", 1); }\n";
    };
    folder.Write("tone.hlsl", "float Tone() { return 1.0; }\n");
    folder.Write("colour.hlsl", include("tone.hlsl") + "float3 Colour() { return float3(1, 0, 0) * Tone(); }\n");
    folder.Write("flat.hlsl", Replace(flat(""), ".brg", ""));
    const auto scene = [&](const std::string& colour) {
        return "[scene] string shaderFile = \"" + folder.Path("flat.hlsl") + "\"; string postFile = \"" +
               folder.Path("copy.hlsl") +
               "\"; float2 blurSamples = 1 1; float2 blurSize = 1 1;\n[shader] float3 colour = " + colour +
               ";\n[post] float gain = 1;\n";
    };
    folder.Write("a.quoscene", scene("1 1 1"));
    folder.Write("b.quoscene", scene("0.5 0.5 0.5"));
    folder.Write("intro.quointro", "[scene] string sceneFile = \"" + folder.Path("a.quoscene") +
                                       "\"; [scene] string sceneFile = \"" + folder.Path("b.quoscene") + "\";");
    Solution s = Make();
    FrameTarget frame(kWidth, kHeight);
    const std::string first = Load(s);
    const std::uint32_t second = s.scenes.at(1).start;
    ExpectPixel(frame.Draw(s, 0), {1, 0, 0, 1}, "first load, first scene");
    ExpectPixel(frame.Draw(s, second), {0.5f, 0, 0, 1}, "first load, second scene");
    // Each include is read once, through the file cache.
    for (const char* name : {"colour.hlsl", "tone.hlsl"})
        EXPECT_EQ(LinesStartingWith(first, "reading file " + folder.Path(name)).size(), 1u) << name << "\n" << first;

    const std::string flatCompiled = "compiling " + folder.Path("flat.hlsl");
    const std::vector<std::string> both{flatCompiled, flatCompiled};
    struct Step {
        const char* what;
        std::function<void()> edit;
        std::vector<std::string> compiled;
        Pixel firstScene, secondScene;
        std::string said;  // a piece of the log
    } steps[] = {
        {"nothing changed", [] {}, {}, {1, 0, 0, 1}, {0.5f, 0, 0, 1}, ""},
        {"the shared shader edited",
         [&] { folder.Write("flat.hlsl", flat("")); },
         both,
         {0, 1, 0, 1},
         {0, 0.5f, 0, 1},
         "reading file " + folder.Path("flat.hlsl")},
        {"reloaded again", [] {}, {}, {0, 1, 0, 1}, {0, 0.5f, 0, 1}, ""},
        {"the include edited",
         [&] {
             folder.Write("colour.hlsl",
                          include("tone.hlsl") + "float3 Colour() { return float3(0, 1, 0) * Tone(); }\n");
         },
         both,
         {0, 0, 1, 1},
         {0, 0, 0.5f, 1},
         "reading file " + folder.Path("colour.hlsl")},
        {"the nested include edited",
         [&] { folder.Write("tone.hlsl", "float Tone() { return 0.5; }\n"); },
         both,
         {0, 0, 0.5f, 1},
         {0, 0, 0.25f, 1},
         "reading file " + folder.Path("tone.hlsl")},
        {"an include that is missing",
         [&] { folder.Write("flat.hlsl", flat(" + Extra()")); },
         both,
         {0, 0, 0.5f, 1},
         {0, 0, 0.25f, 1},
         "shader include error: cannot open file " + folder.Path("extra.hlsl")},
        {"still missing", [] {}, {}, {0, 0, 0.5f, 1}, {0, 0, 0.25f, 1}, ""},
        {"the missing include made",
         [&] { folder.Write("extra.hlsl", "float3 Extra() { return float3(0.5, 0, 0); }\n"); },
         both,
         {0.5f, 0, 0.5f, 1},
         {0.5f, 0, 0.25f, 1},
         "reading file " + folder.Path("extra.hlsl")},
        {"the made include edited",
         [&] { folder.Write("extra.hlsl", "float3 Extra() { return float3(0.25, 0, 0); }\n"); },
         both,
         {0.25f, 0, 0.5f, 1},
         {0.25f, 0, 0.25f, 1},
         ""},
        {"the include no longer included",
         [&] { folder.Write("flat.hlsl", flat("")); },
         both,
         {0, 0, 0.5f, 1},
         {0, 0, 0.25f, 1},
         ""},
        {"a file that was included before edited",
         [&] { folder.Write("extra.hlsl", "float3 Extra() { return 1; }\n"); },
         {},
         {0, 0, 0.5f, 1},
         {0, 0, 0.25f, 1},
         ""},
    };
    for (const Step& step : steps) {
        step.edit();
        for (int press = 0; press < 2; ++press) {
            const std::string log = Load(s);
            // A second press finds nothing new.
            EXPECT_EQ(LinesStartingWith(log, "compiling "), press == 0 ? step.compiled : std::vector<std::string>{})
                << step.what << ", press " << press << "\n"
                << log;
            if (press == 0 && !step.said.empty()) {
                EXPECT_TRUE(Has(log, step.said)) << step.what << ": no \"" << step.said << "\" in\n" << log;
            }
            if (press == 1) {
                EXPECT_EQ(log, "") << step.what;
            }
            ExpectPixel(frame.Draw(s, 0), step.firstScene, std::string(step.what) + ", first scene");
            ExpectPixel(frame.Draw(s, second), step.secondScene, std::string(step.what) + ", second scene");
        }
    }
}
