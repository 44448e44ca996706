#include "desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "common/wait.h"

namespace desktop {

void Pause(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::string Quote(const std::string& word)
{
    std::string out = "'";
    for (char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string Run(const std::string& command, int* status)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (status)
            *status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    int rc = pclose(pipe);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

bool HaveProgram(const char* name)
{
    int status = 0;
    Run(std::string("command -v ") + name + " >/dev/null 2>&1", &status);
    return status == 0;
}

Xvfb::Xvfb()
{
    // Xvfb picks a free display itself and writes its number to the pipe
    // (-displayfd): tests started side by side cannot race for one display.
    // No auto-repeat (-r): a key held as long as a loaded machine's frame
    // needs is one press, as a tap should be.
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
               "-r", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return;
    }
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return;
    }
    pid_ = pid;
    display_ = ":" + number;
}

Xvfb::~Xvfb()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string Xvfb::Run(const std::string& command, int* status) const
{
    return desktop::Run("DISPLAY=" + display_ + " " + command, status);
}

Player::Player(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& cwd,
               const std::map<std::string, std::string>& env)
{
    log_ = cwd / ("player-" + std::to_string(getpid()) + ".log");
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        // As from a terminal: a test run that a script put in the background
        // would hand the player SIGINT ignored.
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        for (const auto& [name, value] : env) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        int fd = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        dup2(fd, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    pid_ = pid;
}

Player::~Player()
{
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int Player::Wait(double seconds)
{
    if (ended_)
        return exitCode_;
    int status = 0;
    if (!testwait::WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds, 0.02))
        return -1;
    ended_ = true;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitCode_;
}

bool Player::Running()
{
    if (ended_)
        return false;
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    return true;
}

void Player::Signal(int number)
{
    if (pid_ > 0 && !ended_)
        kill(pid_, number);
}

std::string Player::Log() const
{
    std::ifstream in(log_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Window::Find(const Xvfb& x, const std::string& prefix, double seconds)
{
    std::string id;
    const auto found = [&] {
        std::istringstream lines(x.Run("xdotool search --onlyvisible --name " + Quote("^" + prefix) + " 2>/dev/null"));
        return bool(lines >> id);
    };
    return testwait::WaitFor(found, seconds, 0.1) ? id : "";
}

std::string Window::Caption() const
{
    std::string name = x_.Run("xdotool getwindowname " + id_ + " 2>/dev/null");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
        name.pop_back();
    return name;
}

std::string Window::NextCaption(const std::string& after, double seconds) const
{
    std::string now;
    testwait::WaitFor(
        [&] {
            now = Caption();
            return now != after;
        },
        seconds, 0.05);
    return now;
}

void Window::Focus() const
{
    x_.Run("xdotool windowfocus --sync " + id_ + " 2>/dev/null");
}

void Window::KeyDown(const std::string& key) const
{
    x_.Run("xdotool keydown " + key);
}

void Window::KeyUp(const std::string& key) const
{
    x_.Run("xdotool keyup " + key);
}

void Window::Tap(const std::string& key, double seconds) const
{
    KeyDown(key);
    Pause(seconds);
    KeyUp(key);
}

Window::Held Window::Hold(const std::string& key, double seconds) const
{
    using Clock = std::chrono::steady_clock;
    const auto beforeDown = Clock::now();
    KeyDown(key);
    const auto afterDown = Clock::now();
    Pause(seconds);
    const auto beforeUp = Clock::now();
    KeyUp(key);
    const auto afterUp = Clock::now();
    const auto since = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };
    return {since(afterDown, beforeUp), since(beforeDown, afterUp)};
}

Rgb Window::Pixel(int px, int py) const
{
    // xwd of the window, as a binary PPM through ImageMagick.
    std::string ppm = x_.Run("xwd -silent -id " + id_ + " | convert xwd:- -depth 8 ppm:- 2>/dev/null");
    // Header: "P6", width, height, maximum, each after blanks or # comments.
    std::size_t pos = 0;
    auto token = [&]() {
        for (;;) {
            while (pos < ppm.size() && std::isspace(static_cast<unsigned char>(ppm[pos])))
                ++pos;
            if (pos < ppm.size() && ppm[pos] == '#') {
                while (pos < ppm.size() && ppm[pos] != '\n')
                    ++pos;
                continue;
            }
            break;
        }
        std::size_t start = pos;
        while (pos < ppm.size() && !std::isspace(static_cast<unsigned char>(ppm[pos])))
            ++pos;
        return ppm.substr(start, pos - start);
    };
    Rgb rgb;
    std::string magic = token();
    int width = std::atoi(token().c_str());
    int height = std::atoi(token().c_str());
    int maxval = std::atoi(token().c_str());
    ++pos;  // the one blank before the pixels
    if (magic != "P6" || px < 0 || py < 0 || px >= width || py >= height || maxval != 255)
        return rgb;
    std::size_t offset = pos + 3 * (static_cast<std::size_t>(py) * width + px);
    if (offset + 3 > ppm.size())
        return rgb;
    rgb.r = static_cast<unsigned char>(ppm[offset]);
    rgb.g = static_cast<unsigned char>(ppm[offset + 1]);
    rgb.b = static_cast<unsigned char>(ppm[offset + 2]);
    return rgb;
}

Caption ParseCaption(const std::string& text)
{
    static const std::regex pattern(
        R"(^(.*) FPS: (\d+)  scene: (-?\d+), time: (-?\d+\.\d\d) seconds (-?\d+\.\d\d|-?inf|nan) units$)");
    Caption c;
    std::smatch m;
    if (!std::regex_match(text, m, pattern))
        return c;
    c.ok = true;
    c.title = m[1];
    c.fps = std::stoi(m[2]);
    c.scene = std::stoi(m[3]);
    c.seconds = std::stod(m[4]);
    c.units = std::stod(m[5]);
    return c;
}

}  // namespace desktop

// Xlib's names clash with ours; only this function uses it.
#include <X11/Xlib.h>

namespace desktop {

void Window::Close() const
{
    ::Display* d = XOpenDisplay(x_.display().c_str());
    if (!d)
        return;
    const ::Window w = static_cast<::Window>(std::stoul(id_, nullptr, 0));
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XFlush(d);
    XCloseDisplay(d);
}

}  // namespace desktop
