#include "platform/system/errors.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD errorCode)
{
    t_lastError = errorCode;
}

DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId, char* buffer, DWORD size,
                     void* arguments)
{
    (void)source;
    (void)languageId;
    (void)size;
    (void)arguments;
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) || buffer == nullptr) {
        return 0;
    }
    char scratch[256];
    // GNU strerror_r: the text may or may not be written into scratch.
    std::string text = strerror_r(static_cast<int>(messageId), scratch, sizeof scratch);
    text += "\r\n";
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out == nullptr) {
        return 0;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    *reinterpret_cast<char**>(buffer) = out;
    return static_cast<DWORD>(text.size());
}

void* LocalFree(void* memory)
{
    std::free(memory);
    return nullptr;
}
