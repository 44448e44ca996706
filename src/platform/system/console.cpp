#include "platform/system/console.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

// The song is rendered on worker threads, which may report a failure.
std::mutex g_consoleLock;
ConsoleCapture* g_capture = nullptr;

void WriteFormatted(ConsoleChannel channel, const char* format, va_list args)
{
    va_list again;
    va_copy(again, args);
    char small[512];
    const int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (static_cast<std::size_t>(length) < sizeof small) {
        ConsoleWrite(std::string_view(small, static_cast<std::size_t>(length)), channel);
    } else {
        std::vector<char> large(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(large.data(), large.size(), format, again);
        ConsoleWrite(std::string_view(large.data(), static_cast<std::size_t>(length)), channel);
    }
    va_end(again);
}

}  // namespace

void ConsoleWrite(std::string_view text, ConsoleChannel channel)
{
    std::lock_guard<std::mutex> lock(g_consoleLock);
    if (g_capture != nullptr) {
        (channel == ConsoleChannel::Output ? g_capture->output : g_capture->error).append(text);
        return;
    }
    std::FILE* stream = channel == ConsoleChannel::Output ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

void ConsolePrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteFormatted(ConsoleChannel::Output, format, args);
    va_end(args);
}

void ConsoleErrorPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteFormatted(ConsoleChannel::Error, format, args);
    va_end(args);
}

ConsoleCapture::ConsoleCapture()
{
    std::lock_guard<std::mutex> lock(g_consoleLock);
    outer = g_capture;
    g_capture = this;
}

ConsoleCapture::~ConsoleCapture()
{
    std::lock_guard<std::mutex> lock(g_consoleLock);
    g_capture = outer;
}

void ConsoleCapture::Clear()
{
    std::lock_guard<std::mutex> lock(g_consoleLock);
    output.clear();
    error.clear();
}
