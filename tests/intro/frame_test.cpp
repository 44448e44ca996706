// Frames drawn headless and read back: what each pass of a frame sees.
#include "intro/solution.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "common/gpu_device.h"
#include "frame_target.h"
#include "intro_files.h"

namespace {

constexpr std::uint32_t kWidth = 32, kHeight = 16;
using Pixel = FrameTarget::Pixel;

void ExpectPixel(const Pixel& actual, const Pixel& expected, float tolerance, const std::string& what)
{
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(actual[c], expected[c], tolerance) << what << ", channel " << c;
}

const char* kCommon = R"(
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
cbuffer FrameParams : register(b1) { float4 values; float4x4 transform; float frameTime; };
cbuffer params : register(b2) { float2 blursamples; float2 blursize; };
Texture2D SceneImage : register(t0);
Texture2D BlurredImage : register(t1);
SamplerState PointSampler : register(s0);
)";

std::string Hlsl(const std::string& body)
{
    return kCommon + body;
}

class FrameTest : public testing::Test {
protected:
    void SetUp() override { REQUIRE_DEVICE(gputest::SharedDevice()); }

    Solution Make()
    {
        return Solution(folder.Path("intro.quointro").c_str(), gputest::SharedDevice().device,
                        gputest::SharedDevice().context, kWidth, kHeight);
    }

    // One entry of the given scene file text; shader and post file names in
    // the scene text are given relative to the folder.
    void WriteIntro(const std::string& body) { folder.Write("intro.quointro", body); }
    std::string Quoted(const std::string& name) { return "\"" + folder.Path(name) + "\""; }

    std::string LoadLog(Solution& s)
    {
        return Captured([&] { s.Load(); });
    }

    ScratchFolder folder;
};

}  // namespace

TEST_F(FrameTest, ScenePassSeesItsVarsAndFrameTime)
{
    // timeUnit 4410 and length 10: one second, 44100 samples.
    WriteIntro("[intro] int timeUnit = 4410; int timeDelay = 1000;"
               "[scene] string sceneFile = " +
               Quoted("s.quoscene") +
               "; int length = 10; float timeSpeed = 2; float timeOffset = 0.25;"
               "[scene] string sceneFile = " +
               Quoted("s.quoscene") + "; int length = 10; float timeSpeed = 0; float timeOffset = 0.5;");
    folder.Write("s.quoscene", "[scene] string shaderFile = " + Quoted("scene.hlsl") +
                                   "; string postFile = " + Quoted("post.hlsl") +
                                   "; float2 blurSamples = 1 1; float2 blurSize = 1 1;"
                                   "[shader] float sceneTime = 0 1; float2 pair = 0.5 0.75;"
                                   "[post] float unusedByTheShader = 1;");
    // The curve 0 1 is the scene time itself.
    folder.Write("scene.hlsl",
                 Hlsl("float4 p(VSOutput i) : SV_TARGET { return float4(sceneTime, pair.y, frameTime, pair.x); }"));
    folder.Write("post.hlsl",
                 Hlsl("float4 p(VSOutput i) : SV_TARGET { return SceneImage.Sample(PointSampler, i.TexCoord); }"));
    Solution s = Make();
    const std::string log = LoadLog(s);
    EXPECT_EQ(log.find("error"), std::string::npos) << log;
    FrameTarget frame(kWidth, kHeight);

    struct Case {
        std::uint32_t position;
        Pixel expected;
    } cases[] = {
        // sceneTime = progress * 2 + 0.25; frameTime = seconds * 2 + 10 * 0.25
        {1000, {0.25f, 0.75f, 2.5f, 0.5f}},
        {1000 + 22050, {1.25f, 0.75f, 3.5f, 0.5f}},
        {1000 + 11025, {0.75f, 0.75f, 3.0f, 0.5f}},
        // timeSpeed 0 holds sceneTime at timeOffset and frameTime at 10 * 0.5
        {1000 + 44100, {0.5f, 0.75f, 5.0f, 0.5f}},
        {1000 + 44100 + 30000, {0.5f, 0.75f, 5.0f, 0.5f}},
    };
    for (const Case& c : cases) {
        frame.Draw(s, c.position);
        ExpectPixel(frame.Centre(), c.expected, 2e-3f, "position " + std::to_string(c.position));
        ExpectPixel(frame.At(0, 0), c.expected, 2e-3f, "corner at " + std::to_string(c.position));
    }
}

TEST_F(FrameTest, PostPassSeesItsOwnVarsZerosAtB1AndTheBlurParameters)
{
    WriteIntro("[scene] string sceneFile = " + Quoted("s.quoscene") + ";");
    folder.Write("s.quoscene", "[scene] string shaderFile = " + Quoted("scene.hlsl") +
                                   "; string postFile = " + Quoted("post.hlsl") +
                                   "; float2 blurSamples = 3 3; float2 blurSize = 1 2;"
                                   "[shader] float4 sceneValue = 9 9 9 9;"
                                   "[post] float first = 0.25; float2 second = 0.5 0.75;");
    folder.Write("scene.hlsl", Hlsl("float4 p(VSOutput i) : SV_TARGET { return sceneValue; }"));
    folder.Write("post.hlsl",
                 Hlsl("float4 p(VSOutput i) : SV_TARGET {"
                      " return float4(first + second.x, second.y, frameTime + abs(values.x) + abs(transform[1][2]),"
                      " blursamples.x + blursize.y); }"));
    Solution s = Make();
    const std::string log = LoadLog(s);
    EXPECT_EQ(log.find("error"), std::string::npos) << log;
    FrameTarget frame(kWidth, kHeight);
    frame.Draw(s, 44100);  // one second in: the scene pass's frameTime is 1
    ExpectPixel(frame.Centre(), {0.75f, 0.75f, 0.0f, 5.0f}, 1e-4f, "post pass");
}

TEST_F(FrameTest, EmptyPostSectionShowsSceneAndBlurAddedAndOutsideStaysMagenta)
{
    WriteIntro("[intro] int timeDelay = 500; [scene] string sceneFile = " + Quoted("s.quoscene") + "; int length = 4;");
    folder.Write("s.quoscene", "[scene] string shaderFile = " + Quoted("scene.hlsl") +
                                   "; string postFile = " + Quoted("post.hlsl") +
                                   "; float2 blurSamples = 2 2; float2 blurSize = 1 1;"
                                   "[shader] float level = 0.25;"
                                   "[post]");
    folder.Write("scene.hlsl", Hlsl("float4 p(VSOutput i) : SV_TARGET { return float4(level, level * 2, 0, 1); }"));
    // Compiled but not drawn: its output would be green.
    folder.Write("post.hlsl", Hlsl("float4 p(VSOutput i) : SV_TARGET { return float4(0, 1, 0, 1); }"));
    Solution s = Make();
    const std::string log = LoadLog(s);
    EXPECT_NE(log.find("compiling " + folder.Path("post.hlsl")), std::string::npos);
    EXPECT_EQ(log.find("error"), std::string::npos) << log;
    FrameTarget frame(kWidth, kHeight);

    frame.Draw(s, 500);
    // A flat image blurs to itself: scene + blur = twice the scene.
    ExpectPixel(frame.Centre(), {0.5f, 1.0f, 0.0f, 2.0f}, 2e-3f, "add pass");

    const std::uint32_t end = 500 + 4 * 11025;
    for (std::uint32_t outside : {0u, 499u, end, end + 1, 0xFFFFFFFFu}) {
        frame.Draw(s, outside);
        for (const Pixel& p : frame.pixels) {
            ExpectPixel(p, {1, 0, 1, 1}, 0.0f, "position " + std::to_string(outside));
            if (HasFailure())
                return;
        }
    }
}

TEST_F(FrameTest, SceneWithoutShaderParametersIsDrawnWithoutVars)
{
    WriteIntro("[scene] string sceneFile = " + Quoted("s.quoscene") + ";");
    folder.Write("s.quoscene", "[scene] string shaderFile = " + Quoted("scene.hlsl") +
                                   "; string postFile = " + Quoted("post.hlsl") +
                                   "; float2 blurSamples = 1 1; float2 blurSize = 1 1;"
                                   "[post] float gain = 0.5;");
    folder.Write("scene.hlsl", Hlsl("float4 p(VSOutput i) : SV_TARGET { return float4(0.25, 0.5, frameTime, 1); }"));
    folder.Write("post.hlsl", Hlsl("float4 p(VSOutput i) : SV_TARGET {"
                                   " return (SceneImage.Sample(PointSampler, i.TexCoord) + "
                                   "BlurredImage.Sample(PointSampler, i.TexCoord)) * gain; }"));
    Solution s = Make();
    const std::string log = LoadLog(s);
    EXPECT_EQ(log.find("error"), std::string::npos) << log;
    FrameTarget frame(kWidth, kHeight);
    frame.Draw(s, 0);
    ExpectPixel(frame.Centre(), {0.25f, 0.5f, 0.0f, 1.0f}, 1e-3f, "scene, blur and post");
}

TEST_F(FrameTest, NonFiniteTimeSpeedsDrawNaNParameters)
{
    // A file cannot write these speeds (they are not numbers of the text
    // format): they are set on the entries once read.
    WriteIntro("[scene] string sceneFile = " + Quoted("s.quoscene") + ";[scene] string sceneFile = " +
               Quoted("s.quoscene") + ";[scene] string sceneFile = " + Quoted("s.quoscene") + ";");
    folder.Write("s.quoscene", "[scene] string shaderFile = " + Quoted("scene.hlsl") +
                                   "; string postFile = " + Quoted("post.hlsl") +
                                   "; float2 blurSamples = 1 1; float2 blurSize = 1 1;"
                                   "[shader] float wave = 1 3 2 5 4; float steady = 0.5; [post] float gain = 1;");
    folder.Write("scene.hlsl",
                 Hlsl("float4 p(VSOutput i) : SV_TARGET { return float4(isnan(wave) ? 1 : 0, steady, 0, 1); }"));
    folder.Write(
        "post.hlsl",
        Hlsl("float4 p(VSOutput i) : SV_TARGET { return SceneImage.Sample(PointSampler, i.TexCoord) * gain; }"));
    Solution s = Make();
    LoadLog(s);
    ASSERT_EQ(s.scenes.size(), 3u);
    s.scenes[0].timeSpeed = INFINITY;
    s.scenes[1].timeSpeed = NAN;
    s.scenes[2].timeSpeed = -INFINITY;
    FrameTarget frame(kWidth, kHeight);
    for (const SolutionScene& entry : s.scenes) {
        for (std::uint32_t at : {entry.start, entry.start + 1000}) {
            frame.Draw(s, at);
            // The spline gives NaN instead of reading a key from a wild index;
            // a single key stays what it is.
            const Pixel p = frame.Centre();
            EXPECT_EQ(p[0], 1.0f) << "position " << at;
            EXPECT_EQ(p[1], 0.5f) << "position " << at;
        }
    }
}

TEST_F(FrameTest, BlurSampleCountsTooLargeToStepStillEndTheFrame)
{
    // Each would keep the blur's tap loop running for ever (llvmpipe cuts such
    // a loop short and leaves NaN); a negative count runs no tap and gives
    // NaN, as 0 does. A file cannot write an infinite count (inf is not a
    // number of the text format): the counts are set on the scene once read.
    const std::tuple<float, float, bool> cases[] = {
        {INFINITY, INFINITY, true}, {1e30f, 3e9f, true}, {-INFINITY, -1e30f, false}};
    for (auto [x, y, taps] : cases) {
        const std::string samples = std::to_string(x) + " " + std::to_string(y);
        ScratchFolder caseFolder;
        const auto quoted = [&](const std::string& name) { return "\"" + caseFolder.Path(name) + "\""; };
        caseFolder.Write("intro.quointro", "[scene] string sceneFile = " + quoted("s.quoscene") + ";");
        caseFolder.Write("s.quoscene",
                         "[scene] string shaderFile = " + quoted("scene.hlsl") +
                             "; string postFile = " + quoted("post.hlsl") + "; float2 blurSamples = 1 1" +
                             "; float2 blurSize = 1 1; [shader] float level = 0.25; [post] float gain = 0.5;");
        caseFolder.Write("scene.hlsl",
                         Hlsl("float4 p(VSOutput i) : SV_TARGET { return float4(level, level, level, 1); }"));
        caseFolder.Write("post.hlsl", Hlsl("float4 p(VSOutput i) : SV_TARGET {"
                                           " return (SceneImage.Sample(PointSampler, i.TexCoord) + "
                                           "BlurredImage.Sample(PointSampler, i.TexCoord)) * gain; }"));
        Solution s(caseFolder.Path("intro.quointro").c_str(), gputest::SharedDevice().device,
                   gputest::SharedDevice().context, kWidth, kHeight);
        LoadLog(s);
        ASSERT_EQ(s.scenes.size(), 1u);
        ASSERT_NE(s.scenes[0].model, nullptr);
        IntroModel::ShaderParameter& blurSamples = s.scenes[0].model->blurSamples;
        blurSamples.GetCurve(0) = IntroModel::Curve({x});
        blurSamples.GetCurve(1) = IntroModel::Curve({y});
        FrameTarget frame(kWidth, kHeight);
        frame.Draw(s, 0);
        // The scene is flat, so whatever the taps, the blurred copy is the scene.
        if (taps)
            EXPECT_NEAR(frame.Centre()[0], 0.25f, 1e-3f) << samples;
        else
            EXPECT_TRUE(std::isnan(frame.Centre()[0])) << samples;
    }
}

TEST_F(FrameTest, ValueChangeShowsAtTheNextFrameWithoutCompiling)
{
    WriteIntro("[scene] string sceneFile = " + Quoted("s.quoscene") + ";");
    const std::string scene = "[scene] string shaderFile = " + Quoted("scene.hlsl") +
                              "; string postFile = " + Quoted("post.hlsl") +
                              "; float2 blurSamples = 1 1; float2 blurSize = 1 1;"
                              "[shader] float3 colour = %VALUE% 0.5 0.25; [post] float gain = 1;";
    folder.Write("s.quoscene", Replace(scene, "%VALUE%", "0.125"));
    folder.Write("scene.hlsl", Hlsl("float4 p(VSOutput i) : SV_TARGET { return float4(colour, 1); }"));
    folder.Write(
        "post.hlsl",
        Hlsl("float4 p(VSOutput i) : SV_TARGET { return SceneImage.Sample(PointSampler, i.TexCoord) * gain; }"));
    Solution s = Make();
    LoadLog(s);
    FrameTarget frame(kWidth, kHeight);
    frame.Draw(s, 0);
    ExpectPixel(frame.Centre(), {0.125f, 0.5f, 0.25f, 1.0f}, 1e-3f, "before");

    folder.Write("s.quoscene", Replace(scene, "%VALUE%", "0.875"));
    const std::string log = LoadLog(s);
    EXPECT_EQ(LinesStartingWith(log, "compiling "), std::vector<std::string>{});
    frame.Draw(s, 0);
    ExpectPixel(frame.Centre(), {0.875f, 0.5f, 0.25f, 1.0f}, 1e-3f, "after");

    // A layout change recompiles, and the new layout is what the shader reads.
    folder.Write("s.quoscene",
                 Replace(Replace(scene, "%VALUE%", "0.375"), "float3 colour", "float first = 0.0625; float3 colour"));
    EXPECT_EQ(LinesStartingWith(LoadLog(s), "compiling "),
              std::vector<std::string>{"compiling " + folder.Path("scene.hlsl")});
    frame.Draw(s, 0);
    ExpectPixel(frame.Centre(), {0.375f, 0.5f, 0.25f, 1.0f}, 1e-3f, "new layout");
}

TEST_F(FrameTest, AMissingIncludeIsCompiledOnceItExists)
{
    // The missing file is included by the shader itself, or by a file that
    // the shader includes.
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, std::string>> present;
        std::pair<const char*, std::string> missing;
    } cases[] = {
        {"direct", {}, {"colour.hlsl", "float4 Colour(float v) { return float4(v, 1 - v, v * 0.5, 1); }\n"}},
        {"nested",
         {{"colour.hlsl",
           "#include \"%DIR%shade.hlsl\"\nfloat4 Colour(float v) { return float4(v, 1 - v, Shade(v), 1); }\n"}},
         {"shade.hlsl", "float Shade(float v) { return v * 0.5; }\n"}},
    };
    for (const Case& c : cases) {
        ScratchFolder caseFolder;
        const auto quoted = [&](const std::string& name) { return "\"" + caseFolder.Path(name) + "\""; };
        const std::string introPath = caseFolder.Path("intro.quointro");
        caseFolder.Write("intro.quointro", "[scene] string sceneFile = " + quoted("s.quoscene") + ";");
        caseFolder.Write("s.quoscene", "[scene] string shaderFile = " + quoted("scene.hlsl") +
                                           "; string postFile = " + quoted("post.hlsl") +
                                           "; float2 blurSamples = 1 1; float2 blurSize = 1 1;"
                                           "[shader] float level = 0.5; [post] float gain = 1;");
        caseFolder.Write("scene.hlsl", Hlsl("#include " + quoted("colour.hlsl") +
                                            "\nfloat4 p(VSOutput i) : SV_TARGET { return Colour(level); }"));
        caseFolder.Write(
            "post.hlsl",
            Hlsl("float4 p(VSOutput i) : SV_TARGET { return SceneImage.Sample(PointSampler, i.TexCoord) * gain; }"));
        for (const auto& [name, text] : c.present)
            caseFolder.Write(name, Replace(text, "%DIR%", caseFolder.Path("")));
        Solution s(introPath.c_str(), gputest::SharedDevice().device, gputest::SharedDevice().context, kWidth, kHeight);
        std::string log = LoadLog(s);
        EXPECT_NE(log.find("shader include error: cannot open file " + caseFolder.Path(c.missing.first)),
                  std::string::npos)
            << c.what << "\n"
            << log;

        // Nothing changed and the include is still missing: nothing happens.
        EXPECT_EQ(LoadLog(s), "") << c.what;

        caseFolder.Write(c.missing.first, c.missing.second);
        log = LoadLog(s);
        EXPECT_EQ(LinesStartingWith(log, "compiling "),
                  std::vector<std::string>{"compiling " + caseFolder.Path("scene.hlsl")})
            << c.what;
        EXPECT_EQ(log.find("error"), std::string::npos) << c.what << "\n" << log;
        FrameTarget frame(kWidth, kHeight);
        frame.Draw(s, 0);
        ExpectPixel(frame.Centre(), {0.5f, 0.5f, 0.25f, 1.0f}, 1e-3f, std::string(c.what) + ", with the include");
        EXPECT_EQ(LoadLog(s), "") << c.what;
    }
}

TEST_F(FrameTest, TheExampleIntroRenders)
{
    // Tests run in their own folder, two below the source tree's root.
    const char* source = std::getenv("QUORVELAN_SOURCE_DIR");
    const std::string examples = source ? std::string(source) + "/examples" : "../../examples";
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(examples.c_str()), 0) << examples;
    // The player opens the example as written, from its own folder.
    Solution s("intro.quointro", gputest::SharedDevice().device, gputest::SharedDevice().context, kWidth, kHeight);
    const std::string log = Captured([&] { s.Load(); });
    ASSERT_EQ(chdir(previous), 0);

    EXPECT_EQ(log.find("error"), std::string::npos) << log;
    EXPECT_EQ(log.find("warning"), std::string::npos) << log;
    ASSERT_EQ(s.scenes.size(), 3u);
    EXPECT_EQ(s.scenes[0].model, s.scenes[2].model);
    FrameTarget frame(kWidth, kHeight);
    std::vector<Pixel> centres;
    for (const SolutionScene& entry : s.scenes) {
        for (std::uint32_t at : {entry.start, entry.start + (entry.end - entry.start) / 2, entry.end - 1}) {
            frame.Draw(s, at);
            float sum = 0;
            for (const Pixel& p : frame.pixels) {
                for (float c : p)
                    ASSERT_TRUE(std::isfinite(c)) << "position " << at;
                sum += p[0] + p[1] + p[2];
                // Every pixel is drawn: no magenta is left.
                ASSERT_FALSE(p[0] == 1 && p[1] == 0 && p[2] == 1) << "position " << at;
            }
            EXPECT_GT(sum, 0.01f * kWidth * kHeight) << "position " << at << " is black";
            centres.push_back(frame.At(kWidth / 4, kHeight / 4));
        }
    }
    // The picture moves.
    EXPECT_NE(centres[0], centres[1]);
    EXPECT_NE(centres[3], centres[4]);
}
