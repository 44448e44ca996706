#include "platform/window/process.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/system/errors.h"

BOOL SetCurrentDirectoryA(LPCSTR path)
{
    if (!path || !*path) {
        SetLastError(ENOENT);
        return FALSE;
    }
    if (chdir(path) != 0) {
        SetLastError(static_cast<DWORD>(errno));
        return FALSE;
    }
    return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    static int self;
    return name ? nullptr : reinterpret_cast<HMODULE>(&self);
}

void* GlobalAlloc(UINT, std::size_t bytes)
{
    return std::calloc(bytes ? bytes : 1, 1);
}

void* GlobalFree(void* memory)
{
    std::free(memory);
    return nullptr;
}

void ExitProcess(UINT exitCode)
{
    std::fflush(nullptr);
    // No destructors of globals: the system keeps its objects until the end
    // and nothing of theirs must run after the loop.
    std::_Exit(static_cast<int>(exitCode));
}
