#include "intro/solution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/gpu_device.h"
#include "intro_files.h"

namespace {

const char* kScene = R"(
    [scene]
    string shaderFile = "%SHADER%";
    string postFile = "%POST%";
    float2 blurSamples = 2 2;
    float2 blurSize = 1 1;
    [shader]
    float brightness = 0.5;
    float3 tint = 1 0 0  0 1 0;
    [post]
    float amount = 1;
)";

// Neither reads a parameter that the reload steps rename or reshape.
const char* kShader = "float4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(tint, 1); }\n";
const char* kPost = "float4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(amount.x, 0, 0, 1); }\n";

// An intro in a scratch folder: every file name written with its full path.
class IntroFolder : public ScratchFolder {
public:
    std::string Scene(const std::string& shader = "scene.hlsl", const std::string& post = "post.hlsl",
                      const char* text = kScene)
    {
        return Replace(Replace(text, "%SHADER%", Path(shader)), "%POST%", Path(post));
    }
    std::string Intro(const std::string& body) { return Replace(body, "%DIR%", Path("")); }
    void WriteIntro(const std::string& body) { Write("intro.quointro", Intro(body)); }
    std::string IntroPath() { return Path("intro.quointro"); }
};

struct LoadResult {
    bool read;
    std::string log;
};

LoadResult LoadLogged(Solution& s)
{
    bool read = false;
    std::string log = Captured([&] { read = s.Load(); });
    return {read, log};
}

std::vector<std::string> Compiled(const std::string& log)
{
    return LinesStartingWith(log, "compiling ");
}

std::vector<std::string> Read(const std::string& log)
{
    return LinesStartingWith(log, "reading file ");
}

}  // namespace

class SolutionTest : public testing::Test {
protected:
    void SetUp() override { REQUIRE_DEVICE(gputest::SharedDevice()); }

    Solution Make()
    {
        return Solution(folder.IntroPath().c_str(), gputest::SharedDevice().device, gputest::SharedDevice().context, 64,
                        36);
    }

    IntroFolder folder;
};

TEST_F(SolutionTest, DefaultsBeforeAndAfterTheFirstLoad)
{
    folder.WriteIntro("[scene]string sceneFile=\"%DIR%a.quoscene\";");
    folder.Write("a.quoscene", folder.Scene());
    folder.Write("scene.hlsl", kShader);
    folder.Write("post.hlsl", kPost);
    Solution s = Make();
    EXPECT_EQ(s.timeUnit, 11025u);
    EXPECT_EQ(s.GetTimeDelay(), 0u);
    EXPECT_EQ(s.FindSceneIndex(0), -1);

    SolutionScene entry(gputest::SharedDevice().device);
    EXPECT_EQ(entry.model, nullptr);
    EXPECT_EQ(entry.start, 0u);
    EXPECT_EQ(entry.end, 0u);
    EXPECT_EQ(entry.length, 16u);
    EXPECT_EQ(entry.timeSpeed, 1.0f);
    EXPECT_EQ(entry.timeOffset, 0.0f);

    EXPECT_TRUE(LoadLogged(s).read);
    ASSERT_EQ(s.scenes.size(), 1u);
    EXPECT_EQ(s.scenes[0].start, 0u);
    EXPECT_EQ(s.scenes[0].end, 176400u);  // 16 units of 11025 samples: 4 seconds
    EXPECT_EQ(s.scenes[0].model, &g_sceneLibrary.GetScene(folder.Path("a.quoscene")));
}

TEST_F(SolutionTest, RangesAndFindSceneIndexAtBothEnds)
{
    folder.WriteIntro(R"(
        [intro] int timeUnit = 100; int timeDelay = 1000;
        [scene] string sceneFile = "%DIR%a.quoscene"; int length = 3;
        [scene] string sceneFile = "%DIR%a.quoscene"; int length = 16;
        [scene] string sceneFile = "%DIR%a.quoscene"; int length = 2; float timeSpeed = 2; float timeOffset = 0.5;
    )");
    folder.Write("a.quoscene", folder.Scene());
    folder.Write("scene.hlsl", kShader);
    folder.Write("post.hlsl", kPost);
    Solution s = Make();
    LoadLogged(s);
    ASSERT_EQ(s.scenes.size(), 3u);
    EXPECT_EQ(s.GetTimeDelay(), 1000u);
    const std::pair<std::uint32_t, std::uint32_t> ranges[] = {{1000, 1300}, {1300, 2900}, {2900, 3100}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(s.scenes[i].start, ranges[i].first) << i;
        EXPECT_EQ(s.scenes[i].end, ranges[i].second) << i;
    }
    EXPECT_EQ(s.scenes[2].timeSpeed, 2.0f);
    EXPECT_EQ(s.scenes[2].timeOffset, 0.5f);

    const std::pair<std::uint32_t, int> positions[] = {
        {0, -1},   {999, -1}, {1000, 0},  {1299, 0},         {1300, 1},         {2899, 1},
        {2900, 2}, {3099, 2}, {3100, -1}, {0x80000000u, -1}, {0xFFFFFFFFu, -1},
    };
    for (auto [position, index] : positions) {
        EXPECT_EQ(s.FindSceneIndex(position), index) << position;
        EXPECT_EQ(s.GetSceneAt(position), index < 0 ? nullptr : &s.scenes[index]) << position;
    }
    EXPECT_FLOAT_EQ(s.TimeInUnits(1250), 12.5f);

    // Removing the [intro] section puts its keys back to their defaults.
    folder.WriteIntro("[scene] string sceneFile = \"%DIR%a.quoscene\"; int length = 3;");
    EXPECT_TRUE(LoadLogged(s).read);
    EXPECT_EQ(s.GetTimeDelay(), 0u);
    EXPECT_EQ(s.timeUnit, 11025u);
    ASSERT_EQ(s.scenes.size(), 1u);
    EXPECT_EQ(s.scenes[0].start, 0u);
    EXPECT_EQ(s.scenes[0].end, 3u * 11025u);
    EXPECT_EQ(s.FindSceneIndex(0), 0);
    EXPECT_EQ(s.FindSceneIndex(1000), 0);
}

TEST_F(SolutionTest, IntroFileRules)
{
    folder.Write("a.quoscene", folder.Scene());
    folder.Write("scene.hlsl", kShader);
    folder.Write("post.hlsl", kPost);
    // Type words are not looked at; unknown keys warn; an [intro] after the
    // scenes applies to them all; a second value ends the section.
    folder.WriteIntro(R"(
        [other] int timeUnit = 5;
        [scene] string sceneFile = "%DIR%a.quoscene"; int length = 4 5; float timeSpeed = 3;
        [scene] sceneFile = "%DIR%a.quoscene"; int timeDelay = 7; float empty = ; float colour = 1;
        [intro] bool timeUnit = 10; int length = 2;
        [scene] int length = -1; string sceneFile = "%DIR%a.quoscene";
    )");
    Solution s = Make();
    const LoadResult r = LoadLogged(s);
    EXPECT_EQ(s.timeUnit, 10u);
    ASSERT_EQ(s.scenes.size(), 3u);
    EXPECT_EQ(s.scenes[0].length, 4u);
    EXPECT_EQ(s.scenes[0].timeSpeed, 1.0f);  // lost after the second value of length
    EXPECT_EQ(s.scenes[1].sceneFile, folder.Path("a.quoscene"));
    EXPECT_EQ(s.scenes[2].length, 16u);  // below 1: the default
    EXPECT_EQ(s.scenes[0].end, 40u);
    EXPECT_EQ(s.scenes[1].end, 200u);
    EXPECT_EQ(s.scenes[2].end, 200u + 16u * 10u);
    const std::vector<std::string> warnings = LinesStartingWith(r.log, "ParseIntroParameters warning: ");
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "ParseIntroParameters warning: unrecognised parameter timeDelay",
                            "ParseIntroParameters warning: unrecognised parameter colour",
                            "ParseIntroParameters warning: unrecognised parameter length",
                            "ParseIntroParameters warning: length -1 is out of range (1 to 2147483647), using 16",
                        }));
    EXPECT_NE(r.log.find("config warning: you forgot typename or parameter name for 5 in [scene]\n"),
              std::string::npos);
    EXPECT_NE(r.log.find("config warning: you forgot typename or parameter name for sceneFile in [scene]\n"),
              std::string::npos);

    // Every read starts from the defaults.
    folder.WriteIntro("[scene] string sceneFile = \"%DIR%a.quoscene\";");
    LoadLogged(s);
    EXPECT_EQ(s.timeUnit, 11025u);
    EXPECT_EQ(s.GetTimeDelay(), 0u);
    ASSERT_EQ(s.scenes.size(), 1u);
}

// Values that no timeline can use: said, and the default taken, as the
// start-up settings do for bad window sizes.
TEST_F(SolutionTest, TimingKeysOutOfRangeWarnAndTakeTheDefault)
{
    folder.Write("a.quoscene", folder.Scene());
    folder.Write("scene.hlsl", kShader);
    folder.Write("post.hlsl", kPost);
    struct Case {
        const char* intro;  // the [intro] keys and the [scene] keys
        const char* warning;
        std::uint32_t timeUnit, timeDelay, length;
    } cases[] = {
        {"int timeUnit = 0;|", "timeUnit 0 is out of range (1 to 2147483647), using 11025", 11025, 0, 16},
        {"int timeUnit = -5;|", "timeUnit -5 is out of range (1 to 2147483647), using 11025", 11025, 0, 16},
        {"int timeDelay = +3000000000;|", "timeDelay +3000000000 is out of range (-2147483648 to 2147483647), using 0",
         11025, 0, 16},
        {"int timeUnit = +99999999999;|", "timeUnit +99999999999 is out of range (1 to 2147483647), using 11025", 11025,
         0, 16},
        {"int timeUnit = 100;|int length = 0;", "length 0 is out of range (1 to 2147483647), using 16", 100, 0, 16},
        {"|int length = -3;", "length -3 is out of range (1 to 2147483647), using 16", 11025, 0, 16},
        {"int timeDelay = 3000000000;|", "timeDelay 3000000000 is out of range (-2147483648 to 2147483647), using 0",
         11025, 0, 16},
        {"int timeDelay = -99999999999;|",
         "timeDelay -99999999999 is out of range (-2147483648 to 2147483647), using 0", 11025, 0, 16},
        {"int timeDelay = 2147483647; int timeUnit = 2147483647;|int length = 2147483647;", nullptr, 2147483647u,
         2147483647u, 2147483647u},
        {"int timeDelay = -1;|int length = 1;", nullptr, 11025, 0xFFFFFFFFu, 1},
    };
    for (const Case& c : cases) {
        const std::string keys = c.intro;
        const std::size_t bar = keys.find('|');
        folder.WriteIntro("[intro] " + keys.substr(0, bar) + " [scene] string sceneFile = \"%DIR%a.quoscene\"; " +
                          keys.substr(bar + 1));
        Solution s = Make();
        const LoadResult r = LoadLogged(s);
        const std::vector<std::string> warnings = LinesStartingWith(r.log, "ParseIntroParameters warning: ");
        if (c.warning)
            EXPECT_EQ(warnings, std::vector<std::string>{std::string("ParseIntroParameters warning: ") + c.warning})
                << c.intro;
        else
            EXPECT_EQ(warnings, std::vector<std::string>{}) << c.intro;
        EXPECT_EQ(s.timeUnit, c.timeUnit) << c.intro;
        EXPECT_EQ(s.GetTimeDelay(), c.timeDelay) << c.intro;
        ASSERT_EQ(s.scenes.size(), 1u) << c.intro;
        EXPECT_EQ(s.scenes[0].length, c.length) << c.intro;
    }
}

// Values that are not what their key reads: one warning with the entry and
// the value, and the default; values that read are kept as they are.
TEST_F(SolutionTest, UnreadableTimingValuesWarnAndTakeTheDefault)
{
    folder.Write("a.quoscene", folder.Scene());
    folder.Write("scene.hlsl", kShader);
    folder.Write("post.hlsl", kPost);
    struct Case {
        const char* intro;  // the [intro] keys and the [scene] keys
        const char* warning;
        std::uint32_t timeUnit, timeDelay, length;
        float timeSpeed, timeOffset;
    } cases[] = {
        {"int timeDelay = 1O00;|", "config warning: timeDelay 1O00 in [intro] is not a whole number, using 0", 11025, 0,
         16, 1, 0},
        {"int timeUnit = 12abc;|", "config warning: timeUnit 12abc in [intro] is not a whole number, using 11025",
         11025, 0, 16, 1, 0},
        // No number at all: not a value out of range.
        {"int timeUnit = abc;|", "config warning: timeUnit abc in [intro] is not a whole number, using 11025", 11025, 0,
         16, 1, 0},
        {"|int length = x16;", "config warning: length x16 in [scene] is not a whole number, using 16", 11025, 0, 16, 1,
         0},
        {"float timeUnit = nan;|", "config warning: timeUnit nan in [intro] is not a whole number, using 11025", 11025,
         0, 16, 1, 0},
        {"|int length = -1.5;", "config warning: length -1.5 in [scene] is not a whole number, using 16", 11025, 0, 16,
         1, 0},
        {"|int length = 1e3;", "config warning: length 1e3 in [scene] is not a whole number, using 16", 11025, 0, 16, 1,
         0},
        // strtod reads these, as NaN, 16 and infinity: none is a number of the file.
        {"|float timeSpeed = nan;", "config warning: timeSpeed nan in [scene] is not a number, using 1", 11025, 0, 16,
         1, 0},
        {"|float timeOffset = 0x10;", "config warning: timeOffset 0x10 in [scene] is not a number, using 0", 11025, 0,
         16, 1, 0},
        {"|float timeSpeed = -inf;", "config warning: timeSpeed -inf in [scene] is not a number, using 1", 11025, 0, 16,
         1, 0},
        {"|float timeSpeed = 1e39;",
         "config warning: timeSpeed 1e39 in [scene] is not within the range of a float, using 1", 11025, 0, 16, 1, 0},
        {"|int length = 2.5;", "config warning: length 2.5 in [scene] is not a whole number, using 16", 11025, 0, 16, 1,
         0},
        {"|float timeSpeed = 0,5;", "config warning: timeSpeed 0,5 in [scene] is not a number, using 1", 11025, 0, 16,
         1, 0},
        {"|float timeOffset = half;", "config warning: timeOffset half in [scene] is not a number, using 0", 11025, 0,
         16, 1, 0},
        {"int timeUnit = +100; int timeDelay = -0;|int length = 007; float timeSpeed = .5; float timeOffset = 1e-1;",
         nullptr, 100, 0, 7, 0.5f, 0.1f},
    };
    for (const Case& c : cases) {
        const std::string keys = c.intro;
        const std::size_t bar = keys.find('|');
        folder.WriteIntro("[intro] " + keys.substr(0, bar) + " [scene] string sceneFile = \"%DIR%a.quoscene\"; " +
                          keys.substr(bar + 1));
        Solution s = Make();
        const LoadResult r = LoadLogged(s);
        std::vector<std::string> warnings = LinesStartingWith(r.log, "ParseIntroParameters warning: ");
        for (const std::string& line : LinesStartingWith(r.log, "config warning: "))
            warnings.push_back(line);
        if (c.warning)
            EXPECT_EQ(warnings, std::vector<std::string>{c.warning}) << c.intro;
        else
            EXPECT_EQ(warnings, std::vector<std::string>{}) << c.intro;
        EXPECT_EQ(s.timeUnit, c.timeUnit) << c.intro;
        EXPECT_EQ(s.GetTimeDelay(), c.timeDelay) << c.intro;
        ASSERT_EQ(s.scenes.size(), 1u) << c.intro;
        EXPECT_EQ(s.scenes[0].length, c.length) << c.intro;
        EXPECT_EQ(s.scenes[0].timeSpeed, c.timeSpeed) << c.intro;
        EXPECT_EQ(s.scenes[0].timeOffset, c.timeOffset) << c.intro;
    }
}

// Slips that drop what follows them: said with the file's name, and the
// file read as before.
TEST_F(SolutionTest, TyposThatDropEntriesAreSaidWithTheFile)
{
    folder.Write("scene.hlsl", kShader);
    folder.Write("post.hlsl", kPost);
    const std::string good = "[scene] string sceneFile = \"%DIR%a.quoscene\";";
    const std::string scene = "[scene] string shaderFile = \"%DIR%scene.hlsl\"; string postFile = \"%DIR%post.hlsl\";";
    struct Case {
        const char* file;  // "intro" or the scene file's text
        std::string text;
        std::vector<std::string> warnings;  // %FILE%: the path of the file
        std::size_t entries;
    } cases[] = {
        {"intro",
         good + "[secne] string sceneFile = \"%DIR%a.quoscene\";",
         {"Solution::Load warning: unknown section [secne] in %FILE%; its entries are skipped"},
         1},
        {"intro",
         good + "[Scene] int length = 2; [intro] int timeUnit = 3;",
         {"Solution::Load warning: unknown section [Scene] in %FILE%; its entries are skipped"},
         1},
        {"intro",
         good + "[scene\nstring sceneFile = \"%DIR%a.quoscene\";\n[scene] int length = 2;",
         {"Solution::Load warning: section name [scene in %FILE% is not closed before [scene]; both sections are "
          "skipped"},
         1},
        {"intro",
         good + "[intro int timeUnit = 5; [intro] int timeDelay = 7;",
         {"Solution::Load warning: section name [intro in %FILE% is not closed before [intro]; both sections are "
          "skipped"},
         1},
        {"intro",
         good + "/* [scene] string sceneFile = \"%DIR%a.quoscene\";",
         {"config warning: a /* comment in %FILE% is not closed before the end of the file; what follows it is "
          "skipped"},
         1},
        {"intro",
         good + "[scene",
         {"config warning: [ is not closed and reached end of file",
          "Solution::Load warning: section name [scene in %FILE% is not closed before the end of the file"},
         1},
        {"intro",
         good + "/* closed */ [intro] int timeUnit = 5; // [secne\n[scene] string sceneFile=\"%DIR%a.quoscene\";",
         {},
         2},
        {"scene",
         scene + "[shadr] float tint = 1;",
         {"BuildIntroScene warning: unrecognised section shadr in %FILE%"},
         1},
        {"scene",
         scene + "[shader float3 tint = 1 0 0; [post] float amount = 1;",
         {"BuildIntroScene warning: section name [shader in %FILE% is not closed before [post]; both sections are "
          "skipped"},
         1},
        {"scene",
         scene + "[shader] float3 tint = 1 0 0; [post",
         {"config warning: [ is not closed and reached end of file",
          "BuildIntroScene warning: section name [post in %FILE% is not closed before the end of the file"},
         1},
        {"scene",
         scene + "[shader] float3 tint = 1 0 0; /* [post] float amount = 1; */ [post] float amount = 1; /*",
         {"config warning: a /* comment in %FILE% is not closed before the end of the file; what follows it is "
          "skipped"},
         1},
        {"scene",
         scene + "[shader] float3 tint = 1 0 0; float a = 1; float3 tint = 0 1 0; float a = 2; float a = 3;",
         {"BuildIntroScene warning: [shader] in %FILE% declares tint more than once; its shader cannot compile",
          "BuildIntroScene warning: [shader] in %FILE% declares a more than once; its shader cannot compile"},
         1},
        {"scene",
         scene + "[shader] float3 tint = 1 0 0; [post] float amount = 1; float unused2 = 0;",
         {"BuildIntroScene warning: [post] in %FILE% declares unused2, the name of a filler of the generated cbuffer; "
          "its shader cannot compile, rename it"},
         1},
        // Each takes the slot whose filler it is named like: nothing is declared twice.
        {"scene",
         scene + "[shader] float3 tint = 1 0 0; float unused3 = 0; [post] float amount = 1; float unused1 = 0;",
         {},
         1},
        // Only the last [scene] section counts, and only its names are looked at.
        {"scene",
         "[scene] [shader] float x = 1; float x = 2; " + scene +
             "[shader] float3 tint = 1 0 0; [post] float amount = 1;",
         {},
         1},
    };
    int n = 0;
    for (const Case& c : cases) {
        // A scene file of its own per case: the library keeps each name's model.
        const std::string sceneName = "typo" + std::to_string(n++) + ".quoscene";
        const bool intro = std::string(c.file) == "intro";
        folder.Write("a.quoscene", folder.Scene());
        if (intro) {
            folder.WriteIntro(c.text);
        } else {
            folder.WriteIntro("[scene] string sceneFile = \"%DIR%" + sceneName + "\";");
            folder.Write(sceneName, folder.Intro(c.text));
        }
        const std::string path = intro ? folder.IntroPath() : folder.Path(sceneName);
        Solution s = Make();
        const LoadResult r = LoadLogged(s);
        std::vector<std::string> said;
        for (const char* prefix : {"config warning: ", "Solution::Load warning: ", "BuildIntroScene warning: "})
            for (const std::string& line : LinesStartingWith(r.log, prefix))
                said.push_back(line);
        std::vector<std::string> expected;
        for (const std::string& w : c.warnings)
            expected.push_back(Replace(w, "%FILE%", path));
        std::sort(said.begin(), said.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(said, expected) << c.text;
        EXPECT_EQ(s.scenes.size(), c.entries) << c.text;
        // What is not said compiles (a name like a filler's in a slot of its own included).
        if (c.warnings.empty()) {
            EXPECT_EQ(r.log.find("error"), std::string::npos) << r.log;
        }
    }
}

TEST_F(SolutionTest, AnUnquotedSceneFileIsSaid)
{
    folder.WriteIntro("[scene] string sceneFile = a.quoscene;");
    Solution s = Make();
    const LoadResult r = LoadLogged(s);
    EXPECT_EQ(LinesStartingWith(r.log, "config warning: "),
              std::vector<std::string>{"config warning: sceneFile a.quoscene in [scene] is not in double quotes, "
                                       "using \"\""})
        << r.log;
    ASSERT_EQ(s.scenes.size(), 1u);
    EXPECT_EQ(s.scenes[0].sceneFile, "");
}

TEST_F(SolutionTest, TimeInUnitsOfAZeroTimeUnit)
{
    Solution s = Make();
    s.timeUnit = 0;
    EXPECT_TRUE(std::isinf(s.TimeInUnits(5)));
    EXPECT_TRUE(std::isnan(s.TimeInUnits(0)));
}

TEST_F(SolutionTest, ReloadsReadAndCompileOnlyWhatChanged)
{
    folder.WriteIntro(R"(
        [scene] string sceneFile = "%DIR%a.quoscene";
        [scene] string sceneFile = "%DIR%b.quoscene";
        [scene] string sceneFile = "%DIR%a.quoscene";
    )");
    folder.Write("a.quoscene", folder.Scene("a.hlsl", "post.hlsl"));
    folder.Write("b.quoscene", folder.Scene("b.hlsl", "bpost.hlsl"));
    for (const char* name : {"a.hlsl", "b.hlsl"})
        folder.Write(name, kShader);
    for (const char* name : {"post.hlsl", "bpost.hlsl"})
        folder.Write(name, kPost);
    Solution s = Make();
    const std::string a = folder.Path("a.hlsl"), b = folder.Path("b.hlsl");
    const std::string post = folder.Path("post.hlsl"), bpost = folder.Path("bpost.hlsl");

    LoadResult r = LoadLogged(s);
    EXPECT_TRUE(r.read);
    // The shared scene file is read and compiled once.
    EXPECT_EQ(Read(r.log).size(), 7u) << r.log;
    EXPECT_EQ(Compiled(r.log), (std::vector<std::string>{"compiling " + a, "compiling " + post, "compiling " + b,
                                                         "compiling " + bpost}));
    EXPECT_EQ(s.scenes[0].model, s.scenes[2].model);
    EXPECT_NE(s.scenes[0].model, s.scenes[1].model);

    struct Step {
        const char* what;
        std::function<void()> edit;
        std::vector<std::string> read;
        std::vector<std::string> compiled;
        std::function<void()> check = [] {};
    } steps[] = {
        {"no change", [] {}, {}, {}},
        {"values only",
         [&] { folder.Write("a.quoscene", Replace(folder.Scene("a.hlsl"), "0.5", "0.75")); },
         {"reading file " + folder.Path("a.quoscene")},
         {},
         [&] {
             EXPECT_EQ(s.scenes[0].model->shaderParameters.parameters[0].curves[0].keys, std::vector<float>{0.75f});
         }},
        {"renamed parameter",
         [&] { folder.Write("a.quoscene", Replace(folder.Scene("a.hlsl"), "brightness", "gain")); },
         {"reading file " + folder.Path("a.quoscene")},
         {"compiling " + a}},
        {"component count",
         [&] {
             folder.Write("a.quoscene", Replace(Replace(folder.Scene("a.hlsl"), "brightness", "gain"), "float amount",
                                                "float2 amount"));
         },
         {"reading file " + folder.Path("a.quoscene")},
         {"compiling " + post}},
        {"shader file touched", [&] { folder.Write("b.hlsl", kShader); }, {"reading file " + b}, {"compiling " + b}},
        {"post file saved by rename",
         [&] { folder.WriteByRename("bpost.hlsl", kPost, true); },
         {"reading file " + bpost},
         {"compiling " + bpost}},
        {"intro file only",
         [&] {
             folder.WriteIntro(
                 "[scene] string sceneFile = \"%DIR%b.quoscene\"; [scene] string sceneFile = \"%DIR%a.quoscene\";");
         },
         {"reading file " + folder.IntroPath()},
         {}},
        {"switch to a file already read",
         [&] { folder.Write("b.quoscene", folder.Scene("a.hlsl", "bpost.hlsl")); },
         {"reading file " + folder.Path("b.quoscene")},
         {"compiling " + a}},
        {"switch of the post file to one already read",
         [&] { folder.Write("b.quoscene", folder.Scene("a.hlsl", "post.hlsl")); },
         {"reading file " + folder.Path("b.quoscene")},
         {"compiling " + post}},
    };
    for (const Step& step : steps) {
        step.edit();
        r = LoadLogged(s);
        EXPECT_EQ(Read(r.log), step.read) << step.what << "\n" << r.log;
        EXPECT_EQ(Compiled(r.log), step.compiled) << step.what << "\n" << r.log;
        EXPECT_EQ(r.read, !step.read.empty() && step.read[0].find(".hlsl") == std::string::npos) << step.what;
        step.check();
    }
    // The values of the last read are in the model.
    const IntroModel::IntroScene& model = g_sceneLibrary.GetScene(folder.Path("a.quoscene"));
    EXPECT_EQ(model.shaderParameters.parameters[0].GetName(), "gain");
    EXPECT_EQ(model.shaderParameters.parameters[0].curves[0].keys, std::vector<float>{0.5f});
    EXPECT_EQ(model.postParameters.parameters[0].ComponentCount(), 2u);
    EXPECT_EQ(s.scenes.size(), 2u);
}

TEST_F(SolutionTest, MissingFilesAreReportedAndPickedUpLater)
{
    Solution s = Make();
    LoadResult r = LoadLogged(s);
    EXPECT_FALSE(r.read);
    EXPECT_NE(r.log.find("Solution::Load error: cannot read intro file " + folder.IntroPath()), std::string::npos)
        << r.log;

    folder.WriteIntro(R"(
        [scene] string sceneFile = "%DIR%a.quoscene";
        [scene] string sceneFile = "%DIR%b.quoscene";
    )");
    folder.Write("a.quoscene", folder.Scene("a.hlsl", "post.hlsl"));
    folder.Write("a.hlsl", kShader);
    r = LoadLogged(s);
    EXPECT_TRUE(r.read);
    ASSERT_EQ(s.scenes.size(), 2u);
    EXPECT_NE(r.log.find("SolutionScene::Load error: cannot read scene file " + folder.Path("b.quoscene")),
              std::string::npos)
        << r.log;
    EXPECT_NE(r.log.find("SolutionScene::Load error: cannot read postFile " + folder.Path("post.hlsl")),
              std::string::npos)
        << r.log;
    EXPECT_EQ(Compiled(r.log), std::vector<std::string>{"compiling " + folder.Path("a.hlsl")});
    // The timeline stands although files are missing.
    EXPECT_EQ(s.scenes[1].start, 176400u);
    EXPECT_NE(s.scenes[1].model, nullptr);

    folder.Write("post.hlsl", kPost);
    folder.Write("b.quoscene", folder.Scene("a.hlsl", "post.hlsl"));
    r = LoadLogged(s);
    EXPECT_TRUE(r.read);
    EXPECT_EQ(LinesStartingWith(r.log, "SolutionScene::Load error"), std::vector<std::string>{}) << r.log;
    EXPECT_EQ(Compiled(r.log),
              (std::vector<std::string>{"compiling " + folder.Path("post.hlsl"), "compiling " + folder.Path("a.hlsl"),
                                        "compiling " + folder.Path("post.hlsl")}));

    // A file that goes away keeps what was read from it, is said once per
    // reload, and is read again once it is back.
    folder.Remove("a.quoscene");
    folder.Remove("intro.quointro");
    const std::string gone = ": No such file or directory; the text read before stays\n";
    for (int reload = 0; reload < 2; ++reload) {
        r = LoadLogged(s);
        EXPECT_EQ(r.log, "ReloadableFile::Update error: cannot read " + folder.IntroPath() + gone +
                             "ReloadableFile::Update error: cannot read " + folder.Path("a.quoscene") + gone);
    }
    EXPECT_EQ(g_sceneLibrary.GetScene(folder.Path("a.quoscene")).shaderFile, folder.Path("a.hlsl"));
    EXPECT_EQ(s.scenes.size(), 2u);
    folder.WriteIntro("[scene] string sceneFile = \"%DIR%a.quoscene\";");
    folder.Write("a.quoscene", folder.Scene("a.hlsl", "post.hlsl"));
    r = LoadLogged(s);
    EXPECT_EQ(Read(r.log), (std::vector<std::string>{"reading file " + folder.IntroPath(),
                                                     "reading file " + folder.Path("a.quoscene")}));
    EXPECT_EQ(s.scenes.size(), 1u);
}

TEST_F(SolutionTest, EmptyFileNamesAreReportedOnce)
{
    folder.WriteIntro("[scene] float length = 2; [scene] string sceneFile = \"%DIR%a.quoscene\";");
    folder.Write("a.quoscene", "[scene] string postFile = \"" + folder.Path("post.hlsl") + "\";");
    folder.Write("post.hlsl", kPost);
    Solution s = Make();
    LoadResult r = LoadLogged(s);
    EXPECT_EQ(
        LinesStartingWith(r.log, "Solution"),
        (std::vector<std::string>{"Solution::Load error: [scene] entry 0 of the intro names no sceneFile",
                                  "SolutionScene::Load error: " + folder.Path("a.quoscene") + " names no shaderFile"}));
    EXPECT_EQ(Compiled(r.log), std::vector<std::string>{"compiling " + folder.Path("post.hlsl")});
    EXPECT_EQ(s.scenes[1].start, 2u * 11025u);
    // Said when the file with the gap is read, not on every reload.
    EXPECT_EQ(LoadLogged(s).log, "");
}

TEST_F(SolutionTest, EverySceneSectionIsReadTheLastOneCounts)
{
    folder.WriteIntro("[scene] string sceneFile = \"%DIR%a.quoscene\";");
    folder.Write("one.hlsl", kShader);
    folder.Write("two.hlsl", kShader);
    folder.Write("three.hlsl", kShader);
    folder.Write("post.hlsl", kPost);
    const std::string p = folder.Path("");
    folder.Write("a.quoscene", "[scene] string shaderFile = \"" + p + "one.hlsl\"; string postFile = \"" + p +
                                   "post.hlsl\";" + "[scene] string shaderFile = \"" + p +
                                   "two.hlsl\"; string postFile = \"" + p + "post.hlsl\";");
    Solution s = Make();
    LoadLogged(s);
    EXPECT_EQ(s.scenes[0].model->shaderFile, p + "two.hlsl");
    folder.Write("a.quoscene", "[shader] float x = 1; [scene] string shaderFile = \"" + p + "one.hlsl\";" +
                                   "[scene] string shaderFile = \"" + p + "two.hlsl\";" +
                                   "[scene] string shaderFile = \"" + p + "three.hlsl\"; string postFile = \"" + p +
                                   "post.hlsl\"; [shader] float y = 2;");
    LoadLogged(s);
    EXPECT_EQ(s.scenes[0].model->shaderFile, p + "three.hlsl");
    ASSERT_EQ(s.scenes[0].model->shaderParameters.parameters.size(), 1u);
    EXPECT_EQ(s.scenes[0].model->shaderParameters.parameters[0].GetName(), "y");
}

// Each scene that uses a changed shader file compiles it once, whichever
// polled the file first; a second reload compiles nothing.
TEST_F(SolutionTest, ASharedShaderFileRecompilesEverySceneOnce)
{
    folder.WriteIntro(
        "[scene] string sceneFile = \"%DIR%a.quoscene\"; [scene] string sceneFile = \"%DIR%b.quoscene\";");
    folder.Write("a.quoscene", folder.Scene("shared.hlsl", "post.hlsl"));
    folder.Write("b.quoscene", folder.Scene("shared.hlsl", "bpost.hlsl"));
    folder.Write("shared.hlsl", kShader);
    folder.Write("post.hlsl", kPost);
    folder.Write("bpost.hlsl", kPost);
    Solution s = Make();
    LoadLogged(s);
    folder.Write("shared.hlsl", kShader);
    const std::string shared = "compiling " + folder.Path("shared.hlsl");
    EXPECT_EQ(Compiled(LoadLogged(s).log), (std::vector<std::string>{shared, shared}));
    EXPECT_EQ(Compiled(LoadLogged(s).log), std::vector<std::string>{});
}
