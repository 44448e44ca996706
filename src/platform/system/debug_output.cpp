#include "platform/system/debug_output.h"

#include <cstdio>

void OutputDebugStringA(const char* text)
{
    if (text != nullptr) {
        std::fputs(text, stderr);
    }
}
