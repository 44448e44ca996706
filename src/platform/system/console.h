#pragma once
// The one way the system's messages leave the program: console lines on
// standard output (the console is the terminal the player was started from)
// and diagnostics on standard error (the debugger output, the usage line and
// what the platform layer reports about itself). Text is written as given,
// unbuffered, so lines keep their order with anything else on the terminal.
// Text reaches the terminal with its control bytes escaped (see
// EscapeControlBytes): names and values taken from files cannot clear or
// retitle it. An output that nobody reads any more (a pipe whose reader
// ended) does not end the process: what cannot be written is dropped.
//
// A ConsoleCapture collects both channels instead while it lives (tests and
// fuzz targets); captures nest, the innermost one receives the text.
#include <string>
#include <string_view>

enum class ConsoleChannel { Output, Error };

void ConsoleWrite(std::string_view text, ConsoleChannel channel = ConsoleChannel::Output);
// The text with every byte below 32 except line feed and tab, 127, and both
// bytes of each C1 control in UTF-8 (U+0080 to U+009F: C2 80 to C2 9F)
// written as \xNN (two lower-case hex digits); all other bytes unchanged.
std::string EscapeControlBytes(std::string_view text);
// printf-style; the formatted text goes through ConsoleWrite.
void ConsolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ConsoleErrorPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    // What was written to standard output, and standard error, since
    // construction, as written (not escaped).
    const std::string& Text() const { return output; }
    const std::string& ErrorText() const { return error; }
    void Clear();

private:
    friend void ConsoleWrite(std::string_view, ConsoleChannel);
    std::string output;
    std::string error;
    ConsoleCapture* outer;
};
