#include "platform/system/debug_output.h"
#include "platform/system/console.h"

#include <cstdio>

void OutputDebugStringA(const char* text)
{
    if (text != nullptr) {
        ConsoleWrite(text, ConsoleChannel::Error);
    }
}
