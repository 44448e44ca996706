#include "shell/framework.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "intro/solution.h"
#include "music/music_player.h"
#include "platform/gfx/frame_wait.h"
#include "platform/system/clock.h"
#include "platform/system/console.h"
#include "platform/system/message_box.h"
#include "platform/window/process.h"
#include "platform/window/window.h"
#include "rendering/camera.h"
#include "rendering/render_context.h"
#include "shell/command_line.h"
#include "shell/frame_pacing.h"
#include "shell/render_window.h"
#include "shell/settings.h"
#include "shell/timeline.h"
#include "shell/window_proc.h"
#include "support/path_text.h"
#include "support/reloadable_file.h"

namespace {

// How long a signal waits for the frame loop to end the run itself.
constexpr DWORD kSignalGraceMs = 500;

// The intro path as it names the file from the folder we start in: it must
// still name it once the working directory is the intro's folder.
std::string ResolvedIntroPath(const std::string& introPath)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(introPath, error);
    return error ? introPath : absolute.lexically_normal().string();
}

// A reload never ends the run: a file that cannot be opened is reported and
// the intro keeps what it had.
void LoadIntro(Solution& solution)
{
    try {
        solution.Load();
    } catch (const WinApi::WinApiException& e) {
        ConsolePrintf("frameworkmain error: reload failed: %s\n", WithoutLineEnds(e.message).c_str());
    }
}

// Escape, a close or a signal that comes while a frame is still being drawn
// ends the run at once, as the quit message would, without waiting for the
// GPU (the process ending does not wait for it either).
void EndIfQuitRequested()
{
    if (!platform::QuitRequested())
        return;
    StopMusic();
    ExitProcess(0);
}

[[noreturn]] void RunFrameLoop(RenderWindow& window, Solution& solution, FrameState& state)
{
    TimelineCalls calls{
        [&solution] { LoadIntro(solution); },
        [](DWORD position) { SeekMusic(position); },
        [] { StopMusic(); },
        [] { return static_cast<DWORD>(GetMusicPosition()); },
    };
    auto findSceneIndex = [&solution](DWORD position) { return solution.FindSceneIndex(position); };
    auto timeInUnits = [&solution](DWORD position) { return solution.TimeInUnits(position); };

    // Before Present the loop waits for the GPU in short slices, reading the
    // input between them, so that a frame that takes seconds does not hold
    // off the end.
    FramePacing pacing(window.GetDevice(), window.GetContext(), gfx::FrameLatency(window.GetDevice()),
                       EndIfQuitRequested);
    gfx::SetGpuWaitCallback(EndIfQuitRequested);

    MSG message{};
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
            if (message.message == WM_QUIT)
                break;
            continue;
        }

        // The reload chord reads the desktop's keys, so it works from an editor.
        if (GetAsyncKeyState(VK_LCONTROL) && GetAsyncKeyState('S')) {
            Sleep(200);
            LoadIntro(solution);
        }
        AdvanceTimeline(state, platform::Clock(), g_keyDown, g_keyPressed, calls);

        window.BeginFrame(1.0f, 0.0f, 1.0f);
        solution.Render(static_cast<DWORD>(state.position), window.GetRenderTargetView());
        pacing.WaitBeforePresent();
        window.Present(g_settings.vsync != 0);

        WriteStatusText(state.statusText, sizeof state.statusText, state.position, findSceneIndex, timeInUnits);
        window.ShowFps(state.statusText);
        std::memset(g_keyPressed, 0, sizeof g_keyPressed);
    }
    StopMusic();
    ExitProcess(static_cast<UINT>(message.wParam));
}

}  // namespace

int frameworkmain(HINSTANCE, HINSTANCE, char* commandLine, int)
{
    // 1. The command line: the first word is the intro.
    const std::vector<std::string> words = CommandLineWords(commandLine);
    if (words.empty()) {
        ConsoleErrorPrintf("usage: quorvelan <intro file>\n");
        return 1;
    }
    std::string introPath = words[0];
    std::string introFile = ResolvedIntroPath(introPath);
    for (std::size_t i = 1; i < words.size(); ++i)
        ConsolePrintf("frameworkmain warning: ignoring the argument %s; only the intro file is read\n",
                      PathForMessage(words[i]).c_str());

    // 2. The intro's folder becomes the working directory.
    const std::string directory = GetDirectoryOfPath(introPath);
    if (!SetCurrentDirectoryA(directory.c_str()))
        ConsolePrintf("error: failed to set working directory %s: %s\n", PathForMessage(directory).c_str(),
                      WithoutLineEnds(WinApi::GetLastErrorString()).c_str());

    // 3. The console is our terminal, unbuffered.
    AllocConsole();
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    // Ctrl+C and SIGTERM close the window as a close box does; a run held up
    // in one long call (the driver compiling a shader reads no input) ends
    // all the same, with the code a close gives.
    platform::EndOnSignal(kSignalGraceMs, 0);

    // 4, 5. The settings.
    g_settings.hInstance = GetModuleHandleA(nullptr);
    StartupValues startup;
    ReadStartupSettings(g_settings, startup);

    // Without its intro file the player has nothing to show.
    try {
        g_fileCache.Get(introFile);
    } catch (const WinApi::WinApiException& e) {
        ConsolePrintf("frameworkmain error: cannot open the intro file %s: %s\n", PathForMessage(introPath).c_str(),
                      WithoutLineEnds(e.message).c_str());
        return 1;
    }

    // 6. The console window.
    SetWindowPos(GetConsoleWindow(), HWND_TOP, startup.consoleX, startup.consoleY, startup.consoleWidth,
                 startup.consoleHeight, 0);

    // 7. The window.
    RenderWindow window;
    if (!window.Create(g_settings.hInstance, "Quorvelan", g_settings.windowed != 1, static_cast<UINT>(g_settings.width),
                       static_cast<UINT>(g_settings.height), startup.windowX, startup.windowY)) {
        MessageBoxA(nullptr, "Failed to create window!", "Error", MB_OK);
        return 1;
    }

    // 8, 9. The render context and the intro.
    g_renderContext.Set(window.GetDevice(), window.GetContext());
    Solution solution(introFile.c_str(), window.GetDevice(), window.GetContext(), static_cast<UINT>(g_settings.width),
                      static_cast<UINT>(g_settings.height));
    LoadIntro(solution);

    // 10. The song.
    if (g_settings.music == 1) {
        OpenMusic();
        PlayMusic();
    }

    // 11. The camera.
    g_camera = new Camera;
    g_camera->SetPosition(0.0f, 0.0f, -5.0f);
    g_camera->RebuildView();

    // 12. The frame state, then the loop, which ends the process.
    FrameState state;
    state.musicSync = false;
    state.running = startup.startWhenLoaded;
    state.previousClock = state.currentClock = platform::Clock();
    state.position = static_cast<int>(solution.GetTimeDelay());
    RunFrameLoop(window, solution, state);
}
