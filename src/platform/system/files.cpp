#include "platform/system/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/system/errors.h"

namespace {

struct OpenFile {
    int fd = -1;       // -1 once let go
    std::string path;  // absolute, so a later change of directory does not matter
    dev_t device = 0;
    ino_t inode = 0;
};

struct FileTable {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, OpenFile> files;
    std::uintptr_t nextId = 1;
};

// Never destroyed: files may still be closed by other globals' destructors
// while the process ends.
FileTable& Table()
{
    static FileTable* table = new FileTable;
    return *table;
}

// Handle values are never reused, and are neither null nor INVALID_HANDLE_VALUE.
HANDLE ToHandle(std::uintptr_t id)
{
    return reinterpret_cast<HANDLE>(id << 4);
}
std::uintptr_t ToId(HANDLE handle)
{
    return reinterpret_cast<std::uintptr_t>(handle) >> 4;
}

OpenFile* Find(FileTable& table, HANDLE handle)
{
    auto found = table.files.find(ToId(handle));
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || found == table.files.end()) {
        SetLastError(EBADF);
        return nullptr;
    }
    return &found->second;
}

void SetErrno()
{
    SetLastError(static_cast<DWORD>(errno));
}

// Opens a regular file for reading: open() on Linux also succeeds on a folder,
// and on a pipe it would block; both are refused as unreadable here.
bool OpenRegular(const std::string& path, OpenFile& out)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        SetErrno();
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        SetErrno();
        close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        SetLastError(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        close(fd);
        return false;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    out.fd = fd;
    out.path = path;
    out.device = info.st_dev;
    out.inode = info.st_ino;
    return true;
}

// Seconds from 1601 to 1970, then 100 ns units.
std::uint64_t ToFileTime(const timespec& t)
{
    std::int64_t units = (static_cast<std::int64_t>(t.tv_sec) + 11644473600LL) * 10000000LL + t.tv_nsec / 100;
    return units < 0 ? 0u : static_cast<std::uint64_t>(units);
}

// The path's status; false with the last error set when it names no regular file.
bool StatRegular(const std::string& path, struct stat& info)
{
    if (stat(path.c_str(), &info) != 0) {
        SetErrno();
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        SetLastError(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        return false;
    }
    return true;
}

std::string AbsolutePath(const char* fileName)
{
    std::string path = fileName;
    if (path.empty() || path[0] == '/') {
        return path;
    }
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
        return path;
    }
    std::string absolute = cwd;
    if (absolute.empty() || absolute.back() != '/') {
        absolute += '/';
    }
    return absolute + path;
}

}  // namespace

HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile)
{
    (void)shareMode;
    (void)securityAttributes;
    (void)flagsAndAttributes;
    (void)templateFile;
    if (fileName == nullptr || *fileName == '\0') {
        SetLastError(ENOENT);
        return INVALID_HANDLE_VALUE;
    }
    if (creationDisposition != OPEN_EXISTING || !(desiredAccess & GENERIC_READ)) {
        SetLastError(EINVAL);
        return INVALID_HANDLE_VALUE;
    }
    OpenFile file;
    if (!OpenRegular(AbsolutePath(fileName), file)) {
        return INVALID_HANDLE_VALUE;
    }
    FileTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    std::uintptr_t id = table.nextId++;
    table.files.emplace(id, std::move(file));
    return ToHandle(id);
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped)
{
    (void)overlapped;
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    FileTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    OpenFile* file = Find(table, handle);
    if (file == nullptr || (buffer == nullptr && bytesToRead > 0)) {
        return FALSE;
    }
    DWORD total = 0;
    while (total < bytesToRead) {
        ssize_t got = read(file->fd, static_cast<char*>(buffer) + total, bytesToRead - total);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetErrno();
            if (bytesRead != nullptr) {
                *bytesRead = total;
            }
            return FALSE;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<DWORD>(got);
    }
    if (bytesRead != nullptr) {
        *bytesRead = total;
    }
    return TRUE;
}

BOOL GetFileTime(HANDLE handle, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime)
{
    FileTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    OpenFile* file = Find(table, handle);
    if (file == nullptr) {
        return FALSE;
    }
    struct stat info {};
    if (!StatRegular(file->path, info)) {
        return FALSE;
    }
    auto toFileTime = [](const timespec& t) {
        const std::uint64_t value = ToFileTime(t);
        return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
    };
    if (creationTime != nullptr) {
        *creationTime = toFileTime(info.st_ctim);
    }
    if (lastAccessTime != nullptr) {
        *lastAccessTime = toFileTime(info.st_atim);
    }
    if (lastWriteTime != nullptr) {
        *lastWriteTime = toFileTime(info.st_mtim);
    }
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* fileSizeHigh)
{
    FileTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    OpenFile* file = Find(table, handle);
    struct stat info {};
    if (file == nullptr || fstat(file->fd, &info) != 0) {
        if (file != nullptr) {
            SetErrno();
        }
        if (fileSizeHigh != nullptr) {
            *fileSizeHigh = 0;
        }
        return INVALID_FILE_SIZE;
    }
    std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
    if (fileSizeHigh != nullptr) {
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

DWORD SetFilePointer(HANDLE handle, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod)
{
    FileTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    OpenFile* file = Find(table, handle);
    if (file == nullptr) {
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t distance = distanceToMove;
    if (distanceToMoveHigh != nullptr) {
        distance = static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceToMoveHigh)) << 32) |
            static_cast<std::uint32_t>(distanceToMove));
    }
    int whence = moveMethod == FILE_BEGIN ? SEEK_SET : moveMethod == 1 ? SEEK_CUR : SEEK_END;
    off_t at = lseek(file->fd, static_cast<off_t>(distance), whence);
    if (at < 0) {
        SetErrno();
        return INVALID_SET_FILE_POINTER;
    }
    std::uint64_t position = static_cast<std::uint64_t>(at);
    if (distanceToMoveHigh != nullptr) {
        *distanceToMoveHigh = static_cast<LONG>(position >> 32);
    }
    return static_cast<DWORD>(position & 0xFFFFFFFFu);
}

BOOL CloseHandle(HANDLE handle)
{
    FileTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    OpenFile* file = Find(table, handle);
    if (file == nullptr) {
        return FALSE;
    }
    // A file let go was closed then.
    int result = file->fd < 0 ? 0 : close(file->fd);
    int closeError = errno;
    table.files.erase(ToId(handle));
    if (result != 0 && closeError != EINTR) {
        SetLastError(static_cast<DWORD>(closeError));
        return FALSE;
    }
    return TRUE;
}

namespace platform {

bool ReopenFile(HANDLE handle)
{
    FileTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    OpenFile* file = Find(table, handle);
    if (file == nullptr) {
        return false;
    }
    OpenFile fresh;
    if (!OpenRegular(file->path, fresh)) {
        return false;
    }
    if (file->fd >= 0) {
        close(file->fd);
    }
    *file = std::move(fresh);
    return true;
}

void LetFileGo(HANDLE handle)
{
    FileTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    OpenFile* file = Find(table, handle);
    if (file == nullptr || file->fd < 0) {
        return;
    }
    close(file->fd);
    file->fd = -1;
}

bool StampOfPath(HANDLE handle, FileStamp& stamp, bool& replaced)
{
    FileTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    OpenFile* file = Find(table, handle);
    struct stat info {};
    if (file == nullptr || !StatRegular(file->path, info)) {
        return false;
    }
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.lastWriteTime = ToFileTime(info.st_mtim);
    stamp.changeTime = ToFileTime(info.st_ctim);
    replaced = file->fd < 0 || info.st_dev != file->device || info.st_ino != file->inode;
    return true;
}

}  // namespace platform
