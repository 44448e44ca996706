#include "platform/system/console.h"

#include <csignal>
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

// The bytes at i that a terminal may act on: a C0 control or DEL (one
// byte), a C1 control in UTF-8, U+0080 to U+009F (two bytes: C2 80 to C2 9F;
// 9B is CSI), or none (0). A lone byte of 80 to 9F is no control in UTF-8
// text: it is part of a longer character ("\xe2\x80\xa6").
std::size_t SteeringBytesAt(std::string_view text, std::size_t i)
{
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7f)
        return 1;
    if (c == 0xc2 && i + 1 < text.size()) {
        const unsigned char next = static_cast<unsigned char>(text[i + 1]);
        if (next >= 0x80 && next <= 0x9f)
            return 2;
    }
    return 0;
}

// SIGPIPE would end the process at the first line written after whatever
// reads the output (a pipe, a log window) went away; ignored, the write
// fails instead and its text is dropped, as on a full disk. Set before every
// write, so that a library that restores the default cannot undo it; a
// console line costs a write call anyway.
void KeepRunningWhenOutputCloses()
{
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

std::string EscapeControlBytes(std::string_view text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = SteeringBytesAt(text, i);
        if (n == 0) {
            out += text[i++];
            continue;
        }
        for (; n > 0; --n, ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0xf];
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
    KeepRunningWhenOutputCloses();
    std::FILE* stream = channel == ConsoleChannel::Output ? stdout : stderr;
    bool plain = true;
    for (std::size_t i = 0; i < text.size() && plain; ++i)
        plain = SteeringBytesAt(text, i) == 0;
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
