// The player as a user runs it: started on an intro, in a window on a
// private X display (Xvfb), driven with keys, watched through its caption,
// its pixels and its console.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "common/scratch_folder.h"
#include "desktop.h"

namespace fs = std::filesystem;
using desktop::Caption;
using desktop::ParseCaption;
using desktop::Pause;
using desktop::Player;
using desktop::Rgb;
using desktop::Window;
using desktop::Xvfb;

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The build's folder and the source tree: from the environment the test
// runner sets, else from where this test program and its folder are.
std::string Program()
{
    std::string binary = Env("QUORVELAN_BINARY_DIR");
    if (binary.empty())
        binary = fs::read_symlink("/proc/self/exe").parent_path().parent_path().string();
    return binary + "/quorvelan";
}

fs::path SourceDir()
{
    std::string source = Env("QUORVELAN_SOURCE_DIR");
    if (!source.empty())
        return source;
    return fs::weakly_canonical(fs::current_path() / "../..");
}

// Writes a file the way editors save: a new file renamed over the old one.
void SaveByRename(const fs::path& file, const std::string& text)
{
    fs::path temporary = file;
    temporary += ".saving";
    std::ofstream(temporary) << text;
    fs::rename(temporary, file);
    // Last-write times are compared, and some file systems count coarsely.
    Pause(0.05);
}

std::string RedScene(const std::string& colour)
{
    return "[scene]\nstring shaderFile = \"solid.hlsl\";\nstring postFile = \"copy_post.hlsl\";\n"
           "float2 blurSamples = 1 1;\nfloat2 blurSize = 1 1;\n[shader]\nfloat3 colour = " +
           colour + ";\n[post]\nfloat gain = 1;\n";
}

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    const std::size_t at = text.find(what);
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
    return text;
}

bool Near(const Rgb& c, int r, int g, int b)
{
    return std::abs(c.r - r) <= 8 && std::abs(c.g - g) <= 8 && std::abs(c.b - b) <= 8;
}

std::string Show(const Rgb& c)
{
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

// Xvfb with the player's window on it.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "xdotool", "xwd", "convert"})
            ASSERT_TRUE(desktop::HaveProgram(tool)) << tool << " is missing (scripts/install-deps.sh installs it)";
        x = std::make_unique<Xvfb>();
        ASSERT_TRUE(x->ok()) << "Xvfb did not start";
    }

    // Starts the player on the intro and waits for its first caption with
    // the frame rate; env adds to the player's environment.
    void Start(const fs::path& cwd, const std::string& intro, double startSeconds = 60,
               std::map<std::string, std::string> env = {})
    {
        env.insert({{"DISPLAY", x->display()}, {"SDL_VIDEODRIVER", "x11"}, {"SDL_AUDIODRIVER", "dummy"}});
        player = std::make_unique<Player>(Program(), std::vector<std::string>{intro}, cwd, env);
        std::string id = Window::Find(*x, "Quorvelan", startSeconds);
        ASSERT_FALSE(id.empty()) << "no window; console:\n" << player->Log();
        window = std::make_unique<Window>(*x, id);
        window->Focus();
        caption = window->NextCaption("Quorvelan", startSeconds);
        ASSERT_TRUE(ParseCaption(caption).ok) << caption << "\nconsole:\n" << player->Log();
    }

    // The next caption (they come once a second), parsed.
    Caption Next()
    {
        caption = window->NextCaption(caption, 5);
        Caption c = ParseCaption(caption);
        EXPECT_TRUE(c.ok) << caption;
        return c;
    }

    // A caption written after now: two changes, since the first may have
    // been formatted before a key took effect.
    Caption Settled()
    {
        Next();
        return Next();
    }

    Rgb Centre() { return window->Pixel(160, 90); }

    // A key held from position 0 moves it by speed times the time it was
    // down, give or take two frames at each end (the frame rate from the
    // caption is an average: on a loaded machine one frame runs longer).
    static void ExpectMovedBy(const Caption& c, const Window::Held& held, double speed)
    {
        const double frame = 1.0 / std::max(c.fps, 1);
        const double least = std::abs(speed) * std::max(held.least - 2 * frame, 0.0);
        const double most = std::abs(speed) * (held.most + 2 * frame) + 0.05;
        const double moved = speed < 0 ? -c.seconds : c.seconds;
        EXPECT_GE(moved, least) << "held " << held.least << " to " << held.most << " s, " << c.fps << " fps";
        EXPECT_LE(moved, most) << "held " << held.least << " to " << held.most << " s, " << c.fps << " fps";
    }

    void Quit()
    {
        window->Tap("Escape");
        EXPECT_EQ(player->Wait(10), 0) << player->Log();
    }

    std::unique_ptr<Xvfb> x;
    std::unique_ptr<Player> player;
    std::unique_ptr<Window> window;
    std::string caption;
};

TEST_F(EndToEnd, CaptionPixelsAndTimelineKeys)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    // A relative path with a folder part, from the folder above it.
    ASSERT_NO_FATAL_FAILURE(Start(scratch.root, "colours/intro.quointro"));

    // Paused at timeDelay (half a second, two units): the red scene.
    Caption c = ParseCaption(caption);
    EXPECT_EQ(c.title, "Quorvelan");
    EXPECT_GT(c.fps, 0);
    EXPECT_EQ(c.scene, 0);
    EXPECT_DOUBLE_EQ(c.seconds, 0.5);
    EXPECT_DOUBLE_EQ(c.units, 2.0);
    EXPECT_TRUE(Near(Centre(), 255, 0, 0)) << Show(Centre());

    // Backspace: position 0, before the first scene: magenta.
    window->Tap("BackSpace");
    c = Settled();
    EXPECT_EQ(c.scene, -1);
    EXPECT_DOUBLE_EQ(c.seconds, 0.0);
    EXPECT_TRUE(Near(Centre(), 255, 0, 255)) << Show(Centre());

    // Left while paused goes below zero.
    Window::Held down = window->Hold("Left", 0.3);
    c = Settled();
    ExpectMovedBy(c, down, -1.0);
    EXPECT_LT(c.seconds, 0.0);
    EXPECT_LT(c.units, 0.0);

    // Right held for a second moves about a second forwards.
    window->Tap("BackSpace");
    down = window->Hold("Right", 1.0);
    c = Settled();
    ExpectMovedBy(c, down, 1.0);
    EXPECT_EQ(c.scene, 0);

    // Down moves at 16 times the clock: into the green scene, 2.5 s to 6.5 s.
    window->Tap("BackSpace");
    down = window->Hold("Down", 0.25);
    c = Settled();
    ExpectMovedBy(c, down, 16.0);
    if (c.seconds >= 2.6 && c.seconds <= 6.4) {
        EXPECT_EQ(c.scene, 1);
        EXPECT_TRUE(Near(Centre(), 0, 255, 0)) << Show(Centre());
    }

    // Space runs the timeline by the clock; Space again holds it.
    window->Tap("BackSpace");
    window->Tap("space");
    Caption first = Settled();
    Pause(1.5);
    Caption later = Settled();
    // Two captions after the pause: about two seconds after the first.
    EXPECT_NEAR(later.seconds - first.seconds, 2.0, 0.7);
    window->Tap("space");
    Caption held = Settled();
    EXPECT_DOUBLE_EQ(Next().seconds, held.seconds);

    // F4 while paused follows the music without a music call; Space then
    // takes the time from the player, which renders the song first.
    window->Tap("F4");
    window->Tap("space");
    Caption following = Settled();
    Pause(1.0);
    EXPECT_GT(Settled().seconds, following.seconds);

    Quit();
    std::string log = player->Log();
    EXPECT_NE(log.find("Audio: generating song"), std::string::npos) << log;
    EXPECT_NE(log.find("Audio: finished generating song"), std::string::npos) << log;
}

TEST_F(EndToEnd, ReloadsAfterSavesAndKeepsAShaderThatBreaks)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    fs::path dir = scratch.root / "colours";
    ASSERT_NO_FATAL_FAILURE(Start(dir, (dir / "intro.quointro").string()));
    ASSERT_TRUE(Near(Centre(), 255, 0, 0)) << Show(Centre());

    // A new colour saved by rename shows after F5.
    SaveByRename(dir / "red.quoscene", RedScene("0 0 1"));
    window->Tap("F5");
    Settled();
    EXPECT_TRUE(Near(Centre(), 0, 0, 255)) << Show(Centre());

    // A shader that no longer compiles: the error on the console, the
    // previous shader still drawn.
    EXPECT_EQ(player->Log().find("error"), std::string::npos) << player->Log();
    SaveByRename(dir / "solid.hlsl", "float4 p( : SV_TARGET { return colour }\n");
    window->Tap("F5");
    Settled();
    EXPECT_TRUE(Near(Centre(), 0, 0, 255)) << Show(Centre());
    EXPECT_NE(player->Log().find("error"), std::string::npos) << player->Log();

    // A missing scene file during a reload does not end the run.
    fs::rename(dir / "green.quoscene", dir / "green.moved");
    SaveByRename(dir / "intro.quointro",
                 "[intro] int timeDelay = 22050;\n[scene] string sceneFile = \"red.quoscene\"; int length = 8;\n"
                 "[scene] string sceneFile = \"gone.quoscene\"; int length = 8;\n");
    window->Tap("F5");
    Settled();
    EXPECT_TRUE(player->Running()) << player->Log();
    EXPECT_NE(player->Log().find("gone.quoscene"), std::string::npos) << player->Log();

    // Left Ctrl with S reloads from the desktop's key state, with the focus
    // elsewhere (here: the root window).
    SaveByRename(dir / "red.quoscene", RedScene("1 1 0"));
    std::string rootId = x->Run("xwininfo -root | sed -n 's/.*Window id: \\(0x[0-9a-f]*\\).*/\\1/p'");
    while (!rootId.empty() && rootId.back() == '\n')
        rootId.pop_back();
    x->Run("xdotool windowfocus " + rootId + " 2>/dev/null");
    window->KeyDown("Control_L");
    window->KeyDown("s");
    Pause(0.5);
    window->KeyUp("s");
    window->KeyUp("Control_L");
    Settled();
    EXPECT_TRUE(Near(Centre(), 255, 255, 0)) << Show(Centre());

    window->Focus();
    Quit();
}

TEST_F(EndToEnd, ExampleIntroWithItsSong)
{
    ScratchFolder scratch;
    fs::path intro = SourceDir() / "examples/intro.quointro";
    ASSERT_TRUE(fs::exists(intro));
    // The example renders its song at start-up, then runs at once.
    ASSERT_NO_FATAL_FAILURE(Start(scratch.root, intro.string(), 180));
    std::string log = player->Log();
    EXPECT_NE(log.find("Audio: generating song\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Audio: finished generating song\n"), std::string::npos) << log;

    Caption a = Settled();
    Caption b = Next();
    EXPECT_GT(b.seconds, a.seconds);
    EXPECT_EQ(a.title, "Quorvelan");
    EXPECT_GE(a.scene, 0);
    Rgb c = window->Pixel(640, 360);
    EXPECT_FALSE(Near(c, 255, 0, 255)) << Show(c);
    EXPECT_GE(c.r, 0);

    // Following the music: the time goes on from the player.
    window->Tap("F4");
    Caption f = Settled();
    EXPECT_GT(Next().seconds, f.seconds);

    Quit();
}

TEST_F(EndToEnd, InterruptFromTheTerminalEndsNormally)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    fs::path dir = scratch.root / "colours";
    ASSERT_NO_FATAL_FAILURE(Start(dir, "intro.quointro"));  // a bare file name: its folder is here
    player->Signal(SIGINT);
    EXPECT_EQ(player->Wait(10), 0) << player->Log();
}

// A frame that takes seconds (a scene shader whose loop bound comes from the
// scene, on a software rasteriser): Escape, a close from the window manager
// and SIGTERM each end the player within 3 s all the same, with exit code 0.
TEST_F(EndToEnd, AFrameThatTakesSecondsDoesNotHoldOffTheEnd)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/slow");
    fs::path dir = scratch.root / "slow";
    struct Case {
        const char* what;
        std::function<void()> end;
    } cases[] = {
        {"Escape", [&] { window->Tap("Escape"); }},
        {"a close", [&] { window->Close(); }},
        {"SIGTERM", [&] { player->Signal(SIGTERM); }},
    };
    for (const Case& c : cases) {
        // The first caption with a rate comes after two frames: the loop is
        // then inside a third.
        ASSERT_NO_FATAL_FAILURE(Start(dir, "intro.quointro", 120)) << c.what;
        c.end();
        EXPECT_EQ(player->Wait(3.0 + 2.0), 0) << c.what << "\n" << player->Log();
        player.reset();
    }
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// A signal a second after F5, while the driver compiles the reloaded shader
// (3000 chained statements: seconds on a software rasteriser, with its
// shader cache off) or after a quick compile: the player ends with 0 within
// 3 s either way.
TEST_F(EndToEnd, ASignalDuringAReloadEndsThePlayer)
{
    std::string slow = "float4 p(float4 position : SV_POSITION) : SV_TARGET\n{\n    float a = position.x;\n";
    for (int k = 0; k < 3000; ++k)
        slow += "    a = sin(a * 1.0001 + " + std::to_string(k * 0.000003) + ");\n";
    slow += "    return float4(colour + a * 0.0001, 1.0);\n}\n";
    const std::string quick =
        "float4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(colour.bgr, 1.0); }\n";

    struct Case {
        const char* what;
        const std::string& shader;
        int signal;
    } cases[] = {
        {"a long compile, SIGTERM", slow, SIGTERM},
        {"a long compile, SIGINT", slow, SIGINT},
        {"a quick compile, SIGTERM", quick, SIGTERM},
        {"a quick compile, SIGINT", quick, SIGINT},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
        fs::path dir = scratch.root / "colours";
        ASSERT_NO_FATAL_FAILURE(Start(dir, "intro.quointro", 60, {{"MESA_SHADER_CACHE_DISABLE", "true"}})) << c.what;
        const std::size_t compiled = Count(player->Log(), "compiling solid.hlsl");
        SaveByRename(dir / "solid.hlsl", c.shader);
        window->Tap("F5");
        for (int i = 0; i < 200 && Count(player->Log(), "compiling solid.hlsl") == compiled; ++i)
            Pause(0.05);
        ASSERT_GT(Count(player->Log(), "compiling solid.hlsl"), compiled) << c.what << "\n" << player->Log();
        Pause(0.5);
        player->Signal(c.signal);
        EXPECT_EQ(player->Wait(3.0), 0) << c.what << "\n" << player->Log();
        player.reset();
    }
}

// Ends that need no display.
TEST(EndToEndStart, UsageMissingIntroAndNoWindow)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    std::map<std::string, std::string> env{{"DISPLAY", ""}, {"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}};

    Player noArgs(Program(), {}, scratch.root, env);
    EXPECT_EQ(noArgs.Wait(20), 1);
    EXPECT_NE(noArgs.Log().find("usage"), std::string::npos) << noArgs.Log();

    Player missing(Program(), {"colours/missing.quointro"}, scratch.root, env);
    EXPECT_EQ(missing.Wait(20), 1);
    EXPECT_NE(missing.Log().find("colours/missing.quointro"), std::string::npos) << missing.Log();

    // A folder is no intro file.
    Player folder(Program(), {"colours"}, scratch.root, env);
    EXPECT_EQ(folder.Wait(20), 1);
    EXPECT_NE(folder.Log().find("cannot open the intro file colours"), std::string::npos) << folder.Log();

    // The dummy video driver has no OpenGL: the window cannot be made. An
    // argument with a blank is one word; its folder becomes the working
    // directory, where config.quoconfig is found.
    fs::rename(scratch.root / "colours", scratch.root / "my intro");
    Player noWindow(Program(), {"my intro/intro.quointro", "ignored"}, scratch.root, env);
    EXPECT_EQ(noWindow.Wait(20), 1);
    std::string log = noWindow.Log();
    EXPECT_NE(log.find("Failed to create window!"), std::string::npos) << log;
    EXPECT_EQ(log.find("cannot read config.quoconfig"), std::string::npos) << log;
    EXPECT_EQ(log.find("cannot open the intro file"), std::string::npos) << log;
}

// With no display at all the window cannot be shown: the player says so and
// ends with 1, unless a video driver is asked for by name.
TEST(EndToEndStart, NoDisplayUnlessADriverIsNamed)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    std::map<std::string, std::string> env{
        {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", ""}, {"SDL_AUDIODRIVER", "dummy"}};
    Player none(Program(), {"colours/intro.quointro"}, scratch.root, env);
    EXPECT_EQ(none.Wait(20), 1) << none.Log();
    EXPECT_NE(none.Log().find("Failed to create window!"), std::string::npos) << none.Log();

    // The off-screen driver by name draws with nobody watching until a
    // signal ends it.
    env["SDL_VIDEODRIVER"] = "offscreen";
    Player offscreen(Program(), {"colours/intro.quointro"}, scratch.root, env);
    for (int i = 0; i < 600 && offscreen.Log().find("compiling copy_post.hlsl") == std::string::npos; ++i)
        Pause(0.1);
    Pause(1.0);
    ASSERT_TRUE(offscreen.Running()) << offscreen.Log();
    EXPECT_EQ(offscreen.Log().find("Failed to create window!"), std::string::npos) << offscreen.Log();
    offscreen.Signal(SIGTERM);
    EXPECT_EQ(offscreen.Wait(10), 0) << offscreen.Log();
}

// Folder names with characters that the command line and the folder split
// used to lose: the working directory is the folder that holds the intro,
// where config.quoconfig is found. A folder that cannot be entered is said
// on its own line with the reason. No display is needed: the window cannot
// be made, which ends the run after the start-up steps that matter here.
TEST(EndToEndStart, EveryNameReachesItsFolder)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    std::map<std::string, std::string> env{{"DISPLAY", ""}, {"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}};
    for (const char* folder : {"q\"d", "b\\s", "both \" and \\ and blanks"}) {
        fs::copy(scratch.root / "colours", scratch.root / folder, fs::copy_options::recursive);
        Player player(Program(), {std::string(folder) + "/intro.quointro", "extra"}, scratch.root, env);
        EXPECT_EQ(player.Wait(20), 1) << folder;
        const std::string log = player.Log();
        EXPECT_NE(log.find("Failed to create window!"), std::string::npos) << folder << "\n" << log;
        EXPECT_EQ(log.find("failed to set working directory"), std::string::npos) << folder << "\n" << log;
        EXPECT_EQ(log.find("cannot read config.quoconfig"), std::string::npos) << folder << "\n" << log;
        EXPECT_EQ(log.find("cannot open the intro file"), std::string::npos) << folder << "\n" << log;
        EXPECT_NE(log.find("frameworkmain warning: ignoring the argument extra; only the intro file is read\n"),
                  std::string::npos)
            << folder << "\n"
            << log;
    }

    // The path names the intro through a folder that does not exist.
    Player lost(Program(), {"nowhere/../colours/intro.quointro"}, scratch.root, env);
    EXPECT_EQ(lost.Wait(20), 1);
    const std::string log = lost.Log();
    EXPECT_NE(log.find("error: failed to set working directory nowhere/../colours: No such file or directory\n"),
              std::string::npos)
        << log;
}

// Both scenes draw solid.hlsl, which includes tinted.hlsl: an edited include
// shows after F5 in both, and an edit of the shared shader shows with the
// second scene on screen.
TEST_F(EndToEnd, EditedIncludesAndSharedShadersShowAfterF5)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    fs::path dir = scratch.root / "colours";
    const std::string shader =
        "#include \"tinted.hlsl\"\n"
        "float4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(Tinted(colour), 1); }\n";
    std::ofstream(dir / "tinted.hlsl") << "float3 Tinted(float3 c) { return c; }\n";
    std::ofstream(dir / "solid.hlsl") << shader;
    // A second of red from position 0, then green.
    std::ofstream(dir / "intro.quointro") << "[intro] int timeUnit = 11025;\n"
                                             "[scene] string sceneFile = \"red.quoscene\"; int length = 4;\n"
                                             "[scene] string sceneFile = \"green.quoscene\"; int length = 64;\n";
    ASSERT_NO_FATAL_FAILURE(Start(dir, "intro.quointro"));
    ASSERT_TRUE(Near(Centre(), 255, 0, 0)) << Show(Centre()) << "\n" << player->Log();

    // Red turns green.
    SaveByRename(dir / "tinted.hlsl", "float3 Tinted(float3 c) { return c.brg; }\n");
    window->Tap("F5");
    Settled();
    EXPECT_TRUE(Near(Centre(), 0, 255, 0)) << Show(Centre()) << "\n" << player->Log();

    // Into the green scene, compiled with the edited include: blue.
    const Window::Held down = window->Hold("Right", 2.0);
    const Caption c = Settled();
    ExpectMovedBy(c, down, 1.0);
    ASSERT_EQ(c.scene, 1) << caption;
    EXPECT_TRUE(Near(Centre(), 0, 0, 255)) << Show(Centre());

    // The shared shader edited while the second scene is on screen.
    SaveByRename(dir / "solid.hlsl", Replace(shader, "float4(Tinted(colour), 1)", "float4(1 - Tinted(colour), 1)"));
    window->Tap("F5");
    Settled();
    EXPECT_TRUE(Near(Centre(), 255, 255, 0)) << Show(Centre()) << "\n" << player->Log();
    Quit();
}

// Edits that the player refuses while it runs: each is said on F5, and the
// picture stays the one drawn before.
TEST_F(EndToEnd, RefusedReloadsKeepThePicture)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    fs::path dir = scratch.root / "colours";
    ASSERT_NO_FATAL_FAILURE(Start(dir, "intro.quointro"));
    ASSERT_TRUE(Near(Centre(), 255, 0, 0)) << Show(Centre());

    struct Case {
        const char* what;
        std::function<void()> edit;
        const char* said;
    } cases[] = {
        {"a layout the shader does not compile for",
         [&] { SaveByRename(dir / "red.quoscene", Replace(RedScene("1 0 0"), "float3 colour", "float colour")); },
         "error"},
        {"a scene file of garbage", [&] { SaveByRename(dir / "red.quoscene", "[scene]\n)(*& garbage;\n"); },
         "red.quoscene names no shaderFile"},
        {"a folder in place of the scene file",
         [&] {
             fs::remove(dir / "red.quoscene");
             fs::create_directory(dir / "red.quoscene");
         },
         "red.quoscene: is a folder, not a file"},
        {"an empty intro file", [&] { SaveByRename(dir / "intro.quointro", ""); }, "intro.quointro is empty"},
    };
    for (const Case& c : cases) {
        const std::size_t logged = player->Log().size();
        c.edit();
        window->Tap("F5");
        Settled();
        EXPECT_TRUE(player->Running()) << c.what;
        EXPECT_TRUE(Near(Centre(), 255, 0, 0)) << c.what << ": " << Show(Centre());
        const std::string said = player->Log().substr(logged);
        EXPECT_NE(said.find(c.said), std::string::npos) << c.what << "\n" << said;
    }
    Quit();
}

// A shader that includes itself, or two that include each other: the
// compilation fails with an error, the previous shader keeps drawing, and
// the player goes on answering its keys. Needs the graphics layer's
// include-cycle detection.
TEST_F(EndToEnd, IncludeCycleAtStartUpKeepsThePlayerRunning)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    fs::path dir = scratch.root / "colours";
    std::ofstream(dir / "solid.hlsl") << "#include \"solid.hlsl\"\n"
                                         "float4 p(float4 position : SV_POSITION) : SV_TARGET "
                                         "{ return float4(colour, 1.0); }\n";
    ASSERT_NO_FATAL_FAILURE(Start(dir, "intro.quointro"));
    const Caption first = Next();
    const Caption later = Next();
    EXPECT_TRUE(first.ok && later.ok) << caption;
    EXPECT_TRUE(player->Running()) << player->Log();
    const std::string log = player->Log();
    EXPECT_NE(log.find("error"), std::string::npos) << log;
    EXPECT_NE(log.find("solid.hlsl"), std::string::npos) << log;
    Quit();
}

TEST_F(EndToEnd, IncludeCyclesOnReloadKeepThePreviousPicture)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    fs::path dir = scratch.root / "colours";
    ASSERT_NO_FATAL_FAILURE(Start(dir, "intro.quointro"));
    ASSERT_TRUE(Near(Centre(), 255, 0, 0)) << Show(Centre());
    const std::string body = "float4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(colour, 1.0); }\n";

    struct Case {
        const char* what;
        std::map<std::string, std::string> files;
    } cases[] = {
        {"itself", {{"solid.hlsl", "#include \"solid.hlsl\"\n" + body}}},
        {"each other",
         {{"other.hlsl", "#include \"solid.hlsl\"\n"}, {"solid.hlsl", "#include \"other.hlsl\"\n" + body}}},
    };
    for (const Case& c : cases) {
        const std::size_t logged = player->Log().size();
        for (const auto& [name, text] : c.files)
            SaveByRename(dir / name, text);
        window->Tap("F5");
        const Caption a = Settled();
        const Caption b = Next();
        EXPECT_TRUE(a.ok && b.ok) << c.what << ": " << caption;
        EXPECT_TRUE(player->Running()) << c.what << "\n" << player->Log();
        EXPECT_TRUE(Near(Centre(), 255, 0, 0)) << c.what << ": " << Show(Centre());
        const std::string said = player->Log().substr(logged);
        EXPECT_NE(said.find("error"), std::string::npos) << c.what << "\n" << said;
    }
    Quit();
}

// The output goes through a pipe whose reader has ended (a `| head -n1`, a
// closed log window): the session goes on, an edit shows after F5 (whose
// "compiling" line has nowhere to go), and Escape ends it with 0.
TEST_F(EndToEnd, AClosedOutputPipeKeepsTheSessionGoing)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    fs::path dir = scratch.root / "colours";
    // The player inherits what this process ignores; SIGPIPE as a shell leaves it.
    signal(SIGPIPE, SIG_DFL);
    // Standard output to a pipe whose reader is waited for, then the player
    // in the shell's place (standard error stays on the log).
    const std::string script = "exec > >(exit 0); wait $!; exec \"$0\" \"$1\"";
    player = std::make_unique<Player>(
        "/bin/bash", std::vector<std::string>{"-c", script, Program(), "intro.quointro"}, dir,
        std::map<std::string, std::string>{
            {"DISPLAY", x->display()}, {"SDL_VIDEODRIVER", "x11"}, {"SDL_AUDIODRIVER", "dummy"}});
    const std::string id = Window::Find(*x, "Quorvelan", 60);
    ASSERT_FALSE(id.empty()) << "no window; exit " << player->Wait(0) << "; error output:\n" << player->Log();
    window = std::make_unique<Window>(*x, id);
    window->Focus();
    caption = window->NextCaption("Quorvelan", 60);
    ASSERT_TRUE(ParseCaption(caption).ok) << caption;
    ASSERT_TRUE(Near(Centre(), 255, 0, 0)) << Show(Centre());

    SaveByRename(dir / "red.quoscene", RedScene("0 0 1"));
    window->Tap("F5");
    Settled();
    EXPECT_TRUE(player->Running()) << "exit " << player->Wait(0) << "\n" << player->Log();
    EXPECT_TRUE(Near(Centre(), 0, 0, 255)) << Show(Centre());
    Quit();
}

// A scene shader saved as Windows editors save it, with a UTF-8 byte-order
// mark, including a header of its own with #pragma once twice: it draws.
TEST_F(EndToEnd, AShaderSavedWithAByteOrderMarkDraws)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/colours");
    fs::path dir = scratch.root / "colours";
    std::ofstream(dir / "shared.hlsl") << "\xEF\xBB\xBF#pragma once\nfloat3 Shared(float3 c) { return c; }\n";
    std::ofstream(dir / "solid.hlsl") << "\xEF\xBB\xBF#include \"shared.hlsl\"\n#include \"shared.hlsl\"\n"
                                         "float4 p(float4 position : SV_POSITION) : SV_TARGET "
                                         "{ return float4(Shared(colour), 1.0); }\n";
    ASSERT_NO_FATAL_FAILURE(Start(dir, "intro.quointro"));
    EXPECT_TRUE(Near(Centre(), 255, 0, 0)) << Show(Centre()) << "\n" << player->Log();
    EXPECT_EQ(player->Log().find("error"), std::string::npos) << player->Log();
    Quit();
}

// A scene shader of 50,000 dependent statements: the driver compiles it at
// the first draw, recursing once a statement, far deeper than the main
// thread's stack. The intro starts, shows its colour and ends with Escape.
// Mesa's shader cache stays off: a program an earlier run left there skips
// the compile.
TEST_F(EndToEnd, AShaderOfFiftyThousandDependentStatementsDraws)
{
    ScratchFolder scratch(SourceDir() / "tests/shell/fixtures/deep");
    fs::path dir = scratch.root / "deep";
    std::string shader = "struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };\n"
                         "float4 p(VSOutput input) : SV_TARGET\n{\n    float a = input.TexCoord.x;\n";
    for (int i = 0; i < 50000; ++i)
        shader += "    a = a * 0.99990 + 1.0e-9;\n";
    shader += "    return float4(color + a * 0.0001, 1.0);\n}\n";
    std::ofstream(dir / "deep.hlsl") << shader;

    ASSERT_NO_FATAL_FAILURE(Start(dir, "intro.quointro", 300, {{"MESA_SHADER_CACHE_DISABLE", "true"}}));
    EXPECT_TRUE(Near(window->Pixel(80, 45), 0, 0, 255)) << Show(window->Pixel(80, 45));
    Quit();
}

}  // namespace
