#pragma once
// A private X display (Xvfb) for end-to-end runs of the player, and the
// user's side of it: the player's process, its window's caption, keys through
// xdotool and screenshots through xwd.
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace desktop {

// Runs a shell command; its standard output, and its exit status in status.
std::string Run(const std::string& command, int* status = nullptr);
// Quotes a word for the shell.
std::string Quote(const std::string& word);
bool HaveProgram(const char* name);

class Xvfb {
public:
    // Starts Xvfb on the first free display number from a base that differs
    // between processes; ok() tells whether it came up.
    Xvfb();
    ~Xvfb();
    bool ok() const { return pid_ > 0; }
    const std::string& display() const { return display_; }
    // A command run with this display.
    std::string Run(const std::string& command, int* status = nullptr) const;

private:
    pid_t pid_ = -1;
    std::string display_;
};

struct Rgb {
    int r = -1, g = -1, b = -1;
};

class Player {
public:
    // Starts the program with the arguments in the folder cwd, output to a
    // log file; env adds to or overrides the environment (an empty value
    // removes the variable).
    Player(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& cwd,
           const std::map<std::string, std::string>& env);
    ~Player();

    // Waits for the process to end: its exit code, or -1 on a timeout or a
    // signal.
    int Wait(double seconds);
    bool Running();
    void Signal(int number);
    std::string Log() const;

private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
    bool ended_ = false;
    std::filesystem::path log_;
};

// The player's window on a display, found by its caption.
class Window {
public:
    Window(const Xvfb& x, const std::string& id) : x_(x), id_(id) {}
    // Waits until a window whose caption starts with prefix exists.
    static std::string Find(const Xvfb& x, const std::string& prefix, double seconds);

    std::string Caption() const;
    // Waits for a caption other than the one given (it changes once a second).
    std::string NextCaption(const std::string& after, double seconds) const;
    void Focus() const;
    // Asks the window to close, as a window manager's close box does
    // (WM_DELETE_WINDOW).
    void Close() const;
    // A key held for the time given, so that a frame sees it down: a press
    // and release that one frame's events both hold is not seen, and a
    // sanitized player beside a full test run can take a few tenths of a
    // second for a frame.
    void Tap(const std::string& key, double seconds = 0.5) const;
    // Holds a key for about the time given and says how long it was really
    // down at the least and at the most: starting xdotool takes its time on a
    // loaded machine, so the hold is measured around the two commands.
    struct Held {
        double least = 0;
        double most = 0;
    };
    Held Hold(const std::string& key, double seconds) const;
    void KeyDown(const std::string& key) const;
    void KeyUp(const std::string& key) const;
    Rgb Pixel(int x, int y) const;
    const std::string& id() const { return id_; }

private:
    const Xvfb& x_;
    std::string id_;
};

// The caption's parts: "Quorvelan FPS: 60  scene: 0, time: 1.05 seconds 4.20 units".
struct Caption {
    bool ok = false;
    std::string title;
    int fps = 0;
    int scene = 0;
    double seconds = 0;
    double units = 0;
};
Caption ParseCaption(const std::string& text);

void Pause(double seconds);

}  // namespace desktop
