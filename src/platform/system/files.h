#pragma once
// Files through the few Win32-shaped calls the support library makes, on POSIX.
// A HANDLE names an entry of this layer's own table (never reused, so a
// closed or unknown handle fails cleanly instead of touching another file).
// Failures set the last error (platform/system/errors.h) to the errno value.
//
// A handle whose file was let go (platform::LetFileGo) keeps its path: the
// calls on its content fail with EBADF until platform::ReopenFile.
//
// Not done: writing, creation dispositions other than OPEN_EXISTING, share
// modes (POSIX has no mandatory sharing: the share flags are accepted and
// ignored), security attributes, templates, overlapped reads, files of
// 4 GiB or more. Only regular files open: a folder, a device or a pipe fails
// as a missing file does.
#include <cstdint>

#include "platform/system/types.h"

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD FILE_SHARE_READ = 0x1u;
constexpr DWORD FILE_SHARE_WRITE = 0x2u;
constexpr DWORD OPEN_EXISTING = 3u;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80u;
constexpr DWORD FILE_BEGIN = 0u;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

// 100-nanosecond units since 1601-01-01, split in two halves.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// Opens an existing regular file for reading. Relative paths are taken
// against the working directory at the time of the call.
HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
// Reads up to bytesToRead bytes; fewer only at the end of the file or on error.
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
// The last-write time is taken from the path the file was opened with, so it
// shows a save that replaced the file (see platform::StampOfPath).
BOOL GetFileTime(HANDLE file, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime);
// Size of the open file: low 32 bits returned, high 32 bits in *fileSizeHigh.
DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh);
DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod);
BOOL CloseHandle(HANDLE file);

namespace platform {
// Opens the handle's path again in place of the old file (or of none, after
// LetFileGo); on failure the old file stays open and the last error is set.
bool ReopenFile(HANDLE file);
// Closes the open file but keeps the handle and its path, so that a path
// that no longer names the file does not hold it (and its disk space).
void LetFileGo(HANDLE file);

// What the path names, as far as a change to it shows: a rewrite within one
// modification time still moves the status-change time or the size, and a
// replacement shows in the inode.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::uint64_t lastWriteTime = 0;  // FILETIME units
    std::uint64_t changeTime = 0;     // status change, FILETIME units
    bool operator==(const FileStamp&) const = default;
};
// One look at the path the file was opened with: its stamp, and in replaced
// whether it names another file than the open one (always so once the file
// was let go). False, with the last error set, when it names no regular file.
bool StampOfPath(HANDLE file, FileStamp& stamp, bool& replaced);
}  // namespace platform
