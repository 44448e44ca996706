#pragma once
// The calling thread's last error and its text. Error codes are errno values;
// the text is strerror's, in the user's language, ending in CR LF as the
// system's message texts do.
//
// Not done: message tables, inserts, sources other than the system, language
// selection (the user's locale is used whatever languageId says).
#include "platform/system/types.h"

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x100u;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x200u;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x1000u;

DWORD GetLastError();
void SetLastError(DWORD errorCode);

// Only FORMAT_MESSAGE_FROM_SYSTEM with FORMAT_MESSAGE_ALLOCATE_BUFFER: then
// buffer is really a char** that receives a LocalFree-able text. Returns the
// length of the text without its NUL, 0 on failure.
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId, char* buffer, DWORD size,
                     void* arguments);
void* LocalFree(void* memory);
