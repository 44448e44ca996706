#include "intro/intro_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "intro_files.h"
#include "support/config.h"
#include "support/minify.h"
#include "support/reloadable_file.h"

using IntroModel::IntroScene;

namespace {

// Builds the scene of the text's first [scene] section, as the timeline does.
IntroScene SceneFromText(const std::string& text, bool* nextSceneFollows = nullptr)
{
    config reader(MinifyText(text));
    while (reader.NextSection())
        if (reader.GetSection() == "scene")
            return BuildIntroScene(reader, nextSceneFollows);
    ADD_FAILURE() << "no [scene] section";
    return IntroScene();
}

std::vector<std::vector<float>> Keys(const IntroModel::ShaderParameter& p)
{
    std::vector<std::vector<float>> keys;
    for (const IntroModel::Curve& c : p.curves)
        keys.push_back(c.keys);
    return keys;
}

}  // namespace

TEST(BuildShaderParameter, DealsValuesToComponentsInTurn)
{
    struct Case {
        const char* entry;
        std::vector<std::vector<float>> keys;
        const char* log;
    } cases[] = {
        {"float x = 1 2 3;", {{1, 2, 3}}, ""},
        {"float2 v = 8 4 16;", {{8, 16}, {4, 0}}, ""},
        {"float3 tint = 1 0 0 0.5 0.5 0.5;", {{1, 0.5f}, {0, 0.5f}, {0, 0.5f}}, ""},
        {"float4 c = 1 2;", {{1}, {2}, {0}, {0}}, ""},
        {"float3 none = ;", {{}, {}, {}}, ""},
        {"float2 bad = 1 x;", {{1}, {0}}, "config warning: bad x in [shader] is not a number, using 0\n"},
        {"float3 typo = 1 0,5 2 1.5f;",
         {{1, 0}, {0, 0}, {2, 0}},
         "config warning: typo 0,5 in [shader] is not a number, using 0\n"
         "config warning: typo 1.5f in [shader] is not a number, using 0\n"},
        {"float odd = -.5 1e2 +3 5. inf;",
         {{-0.5f, 100, 3, 5, 0}},
         "config warning: odd inf in [shader] is not a number, using 0\n"},
        {"vec2 v = 1 2 3;",
         {{1, 2, 3}},
         "BuildShaderParameter warning: invalid type for cbuffer vec2 at param v, reverting to float\n"},
    };
    for (const Case& c : cases) {
        config reader(MinifyText(std::string("[shader]") + c.entry));
        ASSERT_TRUE(reader.NextSection());
        ASSERT_TRUE(reader.NextParameter()) << c.entry;
        IntroModel::ShaderParameter p("", 0);
        const std::string log = Captured([&] { p = BuildShaderParameter(reader); });
        EXPECT_EQ(Keys(p), c.keys) << c.entry;
        EXPECT_EQ(log, c.log) << c.entry;
        EXPECT_EQ(p.slotOffset, 0u);
    }
}

TEST(BuildIntroScene, ReadsTheSceneKeys)
{
    const IntroScene s = SceneFromText(R"(
        [scene]
        string shaderFile = "scene.hlsl";
        string postFile = "dir\post.hlsl";
        float2 blurSamples = 8 4 16;
        float2 blurSize = 2 3;
        float length = 8.5;
        float timeSpeed = 2;
        float timeOffset = 0.25;
        int timeUnit = 5000;
    )");
    EXPECT_EQ(s.shaderFile, "scene.hlsl");
    EXPECT_EQ(s.postFile, "dir\\post.hlsl");
    EXPECT_EQ(Keys(s.blurSamples), (std::vector<std::vector<float>>{{8, 16}, {4, 0}}));
    EXPECT_EQ(Keys(s.blurSize), (std::vector<std::vector<float>>{{2}, {3}}));
    EXPECT_EQ(s.blurSamples.GetName(), "blurSamples");
    EXPECT_EQ(s.length, 8.5f);
    EXPECT_EQ(s.timeSpeed, 2.0f);
    EXPECT_EQ(s.timeOffset, 0.25f);
    EXPECT_EQ(s.timeUnit, 5000);
}

TEST(BuildIntroScene, DefaultsOfANewScene)
{
    const IntroScene s = SceneFromText("[scene]");
    EXPECT_EQ(s.shaderFile, "");
    EXPECT_EQ(s.postFile, "");
    EXPECT_EQ(Keys(s.blurSamples), (std::vector<std::vector<float>>{{}, {}}));
    EXPECT_EQ(Keys(s.blurSize), (std::vector<std::vector<float>>{{}, {}}));
    EXPECT_EQ(s.length, 16.0f);
    EXPECT_EQ(s.timeSpeed, 1.0f);
    EXPECT_EQ(s.timeOffset, 1.0f);
    EXPECT_EQ(s.timeUnit, 7000);
    EXPECT_EQ(s.shaderParameters.SizeInFloats(), 0u);
    EXPECT_EQ(s.postParameters.SizeInFloats(), 0u);
    EXPECT_EQ(s.shaderParameters.GenerateHlslCBuffer(), "cbuffer vars : register(b3) {  }\n");
}

TEST(BuildIntroScene, WarnsAboutUnrecognisedEntriesAndKeepsDefaults)
{
    struct Case {
        const char* entry;
        const char* log;
    } cases[] = {
        {"float blurSamples = 8;", "BuildIntroScene warning: unrecognised parameter in [scene] blurSamples\n"},
        {"float3 blurSize = 1;", "BuildIntroScene warning: unrecognised parameter in [scene] blurSize\n"},
        {"string shaderFile = ;", "BuildIntroScene warning: unrecognised parameter in [scene] shaderFile\n"},
        {"float colour = 1;", "BuildIntroScene warning: unrecognised parameter in [scene] colour\n"},
        {"float nothing = ;", "BuildIntroScene warning: unrecognised parameter in [scene] nothing\n"},
        {"float2 blurSamples = ;", ""},  // a float2 blur entry without values: no keys, no warning
    };
    for (const Case& c : cases) {
        IntroScene s;
        const std::string log = Captured([&] { s = SceneFromText(std::string("[scene]") + c.entry); });
        EXPECT_EQ(log, c.log) << c.entry;
        EXPECT_EQ(s.shaderFile, "") << c.entry;
        EXPECT_EQ(Keys(s.blurSamples), (std::vector<std::vector<float>>{{}, {}})) << c.entry;
        EXPECT_EQ(Keys(s.blurSize), (std::vector<std::vector<float>>{{}, {}})) << c.entry;
    }
}

// A scene key whose value cannot be read is said and keeps its default.
TEST(BuildIntroScene, UnreadableValuesWarnAndKeepTheDefault)
{
    struct Case {
        const char* entry;
        const char* log;
        const char* shaderFile;
        float length, timeSpeed;
        int timeUnit;
        std::vector<std::vector<float>> blurSamples;
    } cases[] = {
        {"string shaderFile = plasma.hlsl;",
         "config warning: shaderFile plasma.hlsl in [scene] is not in double quotes, using \"\"\n",
         "",
         16,
         1,
         7000,
         {{}, {}}},
        {"string shaderFile = \"plasma (1).hlsl\";", "", "plasma(1).hlsl", 16, 1, 7000, {{}, {}}},
        {"float length = 8,5;",
         "config warning: length 8,5 in [scene] is not a number, using 16\n",
         "",
         16,
         1,
         7000,
         {{}, {}}},
        {"float timeSpeed = fast;",
         "config warning: timeSpeed fast in [scene] is not a number, using 1\n",
         "",
         16,
         1,
         7000,
         {{}, {}}},
        {"float timeSpeed = 0.5;", "", "", 16, 0.5f, 7000, {{}, {}}},
        {"int timeUnit = 5000.5;",
         "config warning: timeUnit 5000.5 in [scene] is not a whole number, using 7000\n",
         "",
         16,
         1,
         7000,
         {{}, {}}},
        {"float2 blurSamples = 8 eight;",
         "config warning: blurSamples eight in [scene] is not a number, using 0\n",
         "",
         16,
         1,
         7000,
         {{8}, {0}}},
    };
    for (const Case& c : cases) {
        IntroScene s;
        const std::string log = Captured([&] { s = SceneFromText(std::string("[scene]") + c.entry); });
        EXPECT_EQ(log, c.log) << c.entry;
        EXPECT_EQ(s.shaderFile, c.shaderFile) << c.entry;
        EXPECT_EQ(s.length, c.length) << c.entry;
        EXPECT_EQ(s.timeSpeed, c.timeSpeed) << c.entry;
        EXPECT_EQ(s.timeUnit, c.timeUnit) << c.entry;
        EXPECT_EQ(Keys(s.blurSamples), c.blurSamples) << c.entry;
    }
}

// A section name that would clear the terminal and set its title reaches it
// escaped.
TEST(BuildIntroScene, ControlBytesOfAFileReachTheTerminalEscaped)
{
    const std::string text = "[scene] string shaderFile = \"a.hlsl\";\n[\x1b[2J\x1b]0;title\x07]\n[post] float x = 1;";
    IntroScene s;
    const std::string written = WrittenToTerminal([&] { s = SceneFromText(text); });
    EXPECT_EQ(written, "BuildIntroScene warning: unrecognised section \\x1b[2J\\x1b\n");
    EXPECT_EQ(s.postParameters.parameters.size(), 1u);
}

TEST(BuildIntroScene, ReadsShaderAndPostSectionsUntilTheNextScene)
{
    bool nextScene = false;
    IntroScene s;
    const std::string log = Captured([&] {
        s = SceneFromText(R"(
            [shader] float ignored = 1;   // before the scene: not read
            [scene]
            string shaderFile = "a.hlsl";
            [shader]
            float first = 1;
            [post]
            float3 tint = 1 0 0;
            [light]
            float intensity = 3;
            [shader]
            float2 second = 1 2;
            [scene]
            string shaderFile = "b.hlsl";
        )",
                          &nextScene);
    });
    EXPECT_EQ(log, "BuildIntroScene warning: unrecognised section light\n");
    EXPECT_TRUE(nextScene);
    EXPECT_EQ(s.shaderFile, "a.hlsl");
    ASSERT_EQ(s.shaderParameters.parameters.size(), 1u);  // the later [shader] replaces the earlier
    EXPECT_EQ(s.shaderParameters.parameters[0].GetName(), "second");
    ASSERT_EQ(s.postParameters.parameters.size(), 1u);
    EXPECT_EQ(Keys(s.postParameters.parameters[0]), (std::vector<std::vector<float>>{{1}, {0}, {0}}));

    SceneFromText("[scene][shader]float x=1;", &nextScene);
    EXPECT_FALSE(nextScene);
}

TEST(Introscene, PutsTheDeclarationInFrontOfTheCachedText)
{
    ScratchFolder folder;
    folder.Write("s.hlsl", "S");
    IntroModel::ShaderParameterBlock block;
    block.AddParameter(IntroModel::ShaderParameter("x", 1));
    const std::string path = folder.Path("s.hlsl");

    // Taken as last read: the file is not asked to update itself.
    EXPECT_EQ(introscene(path, block), block.GenerateHlslCBuffer() + "\n");
    Captured([&] { g_fileCache.Get(path).Update(); });
    EXPECT_EQ(introscene(path, block),
              "cbuffer vars : register(b3) { float x;float unused1;float unused2;float unused3; }\n\nS");

    // A leading byte-order mark stays out: it would stand after the declaration.
    folder.Write("marked.hlsl", "\xEF\xBB\xBFS\xEF\xBB\xBF");
    const std::string marked = folder.Path("marked.hlsl");
    Captured([&] { g_fileCache.Get(marked).Update(); });
    EXPECT_EQ(introscene(marked, block), block.GenerateHlslCBuffer() + "\nS\xEF\xBB\xBF");

    std::string source = "unchanged";
    EXPECT_EQ(Captured([&] { source = introscene("", block); }), "introscene error: No filename was given.\n");
    EXPECT_EQ(source, "");
    const std::string missing = folder.Path("missing.hlsl");
    const std::string log = Captured([&] { source = introscene(missing, block); });
    EXPECT_EQ(source, "");
    EXPECT_EQ(log.rfind("introscene error: exception while accessing " + missing, 0), 0u) << log;
}

TEST(SceneLibrary, OneEntryPerNameThatNeverMoves)
{
    SceneLibrary library;
    IntroScene& a = library.GetScene("a.quoscene");
    a.shaderFile = "a.hlsl";
    for (int i = 0; i < 50; ++i)
        library.GetScene("other" + std::to_string(i));
    EXPECT_EQ(&library.GetScene("a.quoscene"), &a);
    EXPECT_EQ(library.GetScene("a.quoscene").shaderFile, "a.hlsl");
    EXPECT_EQ(library.GetScene("./a.quoscene").shaderFile, "");  // names are not normalised
}

TEST(IntroScene, UpdateFromKeepsSourcesAndShaders)
{
    IntroScene entry;
    entry.shaderSource = "old source";
    entry.postSource = "old post";
    entry.sceneShader.device = reinterpret_cast<ID3D11Device*>(0x10);
    IntroScene fresh = SceneFromText(R"(
        [scene] string shaderFile = "new.hlsl"; string postFile = "newpost.hlsl"; float2 blurSize = 4 5;
        float length = 3; float timeSpeed = 4; float timeOffset = 5; int timeUnit = 6;
        [shader] float a = 1; [post] float2 b = 1 2;)");
    entry.UpdateFrom(fresh);
    EXPECT_EQ(entry.shaderFile, "new.hlsl");
    EXPECT_EQ(entry.postFile, "newpost.hlsl");
    EXPECT_TRUE(entry.shaderParameters.SameLayout(fresh.shaderParameters));
    EXPECT_TRUE(entry.postParameters.SameLayout(fresh.postParameters));
    EXPECT_EQ(Keys(entry.blurSize), (std::vector<std::vector<float>>{{4}, {5}}));
    EXPECT_EQ(entry.length, 3.0f);
    EXPECT_EQ(entry.timeSpeed, 4.0f);
    EXPECT_EQ(entry.timeOffset, 5.0f);
    EXPECT_EQ(entry.timeUnit, 6);
    EXPECT_EQ(entry.shaderSource, "old source");
    EXPECT_EQ(entry.postSource, "old post");
    EXPECT_EQ(entry.sceneShader.device, reinterpret_cast<ID3D11Device*>(0x10));
}

TEST(BuildSceneFile, BuildsEverySceneSectionInOrderTheLastOneCounts)
{
    struct Case {
        const char* text;
        bool found;
        const char* shaderFile;
        std::vector<const char*> parameters;
        const char* log = "";  // sections before the first [scene] pass without a message
    } cases[] = {
        {"", false, "", {}},
        {"[shader] float x = 1; [post] float y = 2; [light] float z = 3;", false, "", {}},
        {"[shader] float x = 1; [scene] string shaderFile = \"one\";", true, "one", {}},
        {"[scene] string shaderFile = \"one\"; [scene] string shaderFile = \"two\";", true, "two", {}},
        {"[scene] string shaderFile = \"one\"; [shader] float a = 1;"
         "[scene] string shaderFile = \"two\"; [shader] float b = 1;"
         "[scene] string shaderFile = \"three\"; [shader] float c = 1; float d = 2;",
         true,
         "three",
         {"c", "d"}},
        {"[scene] string shaderFile = \"one\"; [shader] float a = 1; [scene] [other] [scene] [shader] float e = 1;",
         true,
         "",
         {"e"},
         "BuildIntroScene warning: unrecognised section other\n"},
    };
    for (const Case& c : cases) {
        config reader(MinifyText(c.text));
        IntroScene scene;
        bool found = false;
        const std::string log = Captured([&] { found = BuildSceneFile(reader, scene); });
        EXPECT_EQ(log, c.log) << c.text;
        EXPECT_EQ(found, c.found) << c.text;
        EXPECT_EQ(scene.shaderFile, c.shaderFile) << c.text;
        std::vector<std::string> names;
        for (const IntroModel::ShaderParameter& p : scene.shaderParameters.parameters)
            names.push_back(p.GetName());
        EXPECT_EQ(names, std::vector<std::string>(c.parameters.begin(), c.parameters.end())) << c.text;
    }
}
