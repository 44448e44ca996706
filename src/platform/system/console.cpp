#include "platform/system/console.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
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

bool IsSteeringByte(unsigned char c)
{
    return (c < 0x20 && c != '\n' && c != '\t') || c == 0x7f;
}

}  // namespace

std::string EscapeControlBytes(std::string_view text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (IsSteeringByte(c)) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0xf];
        } else {
            out += ch;
        }
    }
    return out;
}

void ConsoleWrite(std::string_view text, ConsoleChannel channel)
{
    std::lock_guard<std::mutex> lock(g_consoleLock);
    if (g_capture != nullptr) {
        (channel == ConsoleChannel::Output ? g_capture->output : g_capture->error).append(text);
        return;
    }
    std::FILE* stream = channel == ConsoleChannel::Output ? stdout : stderr;
    bool plain = true;
    for (char c : text) {
        if (IsSteeringByte(static_cast<unsigned char>(c))) {
            plain = false;
            break;
        }
    }
    if (plain) {
        std::fwrite(text.data(), 1, text.size(), stream);
    } else {
        const std::string escaped = EscapeControlBytes(text);
        std::fwrite(escaped.data(), 1, escaped.size(), stream);
    }
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
