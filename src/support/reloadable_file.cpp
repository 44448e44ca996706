#include "support/reloadable_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/system/console.h"
#include "platform/system/errors.h"
#include "platform/system/files.h"
#include "support/path_text.h"

ReloadableTextFileCache g_fileCache;

namespace WinApi {

namespace {

// The system's reason, or what the path names when it is no regular file
// (the system's own word for that is vague).
std::string UnreadableReason(const std::string& path)
{
    std::string reason = WithoutLineEnds(GetLastErrorString());
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error)
        return reason.empty() ? "cannot be read" : reason;
    switch (status.type()) {
    case std::filesystem::file_type::regular: break;
    case std::filesystem::file_type::directory: return "is a folder, not a file";
    case std::filesystem::file_type::fifo: return "is a FIFO, not a file";
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block: return "is a device, not a file";
    case std::filesystem::file_type::not_found: return "no such file";
    default: return "is not a regular file";
    }
    return reason.empty() ? "cannot be read" : reason;
}

}  // namespace

unsigned ReloadableFile::reloadPass = 0;
bool ReloadableFile::passOpen = false;

void ReloadableFile::BeginReloadPass()
{
    ++reloadPass;
}

ReloadPass::ReloadPass(ReloadableTextFileCache& swept) : outerOpen(ReloadableFile::passOpen), cache(swept)
{
    // A pass inside another is part of it.
    if (!outerOpen)
        ReloadableFile::BeginReloadPass();
    ReloadableFile::passOpen = true;
}

ReloadPass::~ReloadPass()
{
    if (!outerOpen)
        cache.LetGoOfUnnamedFiles();
    ReloadableFile::passOpen = outerOpen;
}

void ReloadableFile::ReportUnreadable(const std::string& reason)
{
    if (reportedPass == reloadPass)
        return;
    reportedPass = reloadPass;
    ConsoleWrite("ReloadableFile::Update error: cannot read " + PathForMessage(path) + ": " + reason +
                 "; the text read before stays\n");
}

ReloadableFile::ReloadableFile(const std::string& path) : file(nullptr), path(path), hasStamp(false)
{
    file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        file = nullptr;
        // The system's reason alone does not say which of many files failed.
        // The system's text ends in CR LF; so does ours.
        throw WinApiException(PathForMessage(path) + ": " + UnreadableReason(path) + "\r\n");
    }
}

ReloadableFile::ReloadableFile(ReloadableFile&& other) noexcept
    : file(other.file), stamp(other.stamp), path(other.path), hasStamp(other.hasStamp), version(other.version),
      reportedPass(other.reportedPass), polledPass(other.polledPass), letGo(other.letGo)
{
    other.file = nullptr;
}

ReloadableFile& ReloadableFile::operator=(ReloadableFile&& other) noexcept
{
    if (this == &other) {
        return *this;
    }
    if (file != nullptr) {
        CloseHandle(file);
    }
    file = other.file;
    other.file = nullptr;
    path = other.path;
    stamp = other.stamp;
    hasStamp = other.hasStamp;
    version = other.version;
    reportedPass = other.reportedPass;
    polledPass = other.polledPass;
    letGo = other.letGo;
    return *this;
}

ReloadableFile::~ReloadableFile()
{
    if (file != nullptr) {
        CloseHandle(file);
    }
}

bool ReloadableFile::QueryLastWriteTime(std::uint64_t& time) const
{
    FILETIME writeTime{};
    if (file == nullptr || !GetFileTime(file, nullptr, nullptr, &writeTime)) {
        return false;
    }
    time = (static_cast<std::uint64_t>(writeTime.dwHighDateTime) << 32) | writeTime.dwLowDateTime;
    return true;
}

std::uint64_t ReloadableFile::GetLastWriteTime() const
{
    std::uint64_t time = 0;
    QueryLastWriteTime(time);
    return time;
}

// One look at what the path names now. An editor that saves by writing a new
// file and renaming it over the old one leaves our descriptor on the old
// file: follow the path to the new one, which then counts as never read.
// False when the path names nothing readable now; then the descriptor goes
// (a deleted file's disk space is given back) and the next look opens the
// path again.
bool ReloadableFile::LookAtPath(platform::FileStamp& current)
{
    bool replaced = false;
    if (file == nullptr || !platform::StampOfPath(file, current, replaced)) {
        LetGo();
        return false;
    }
    if (replaced) {
        if (!platform::ReopenFile(file)) {
            LetGo();
            return false;
        }
        letGo = false;
        hasStamp = false;
    }
    return true;
}

void ReloadableFile::LetGo()
{
    if (file == nullptr || letGo)
        return;
    platform::LetFileGo(file);
    letGo = true;
}

// A file over the limit is said and not read: one saved by mistake would
// otherwise stall the reload and stay in memory for the whole run.
bool ReloadableFile::RefusedForSize(std::uint64_t size)
{
    if (size <= kMaxFileBytes)
        return false;
    ReportUnreadable(std::to_string(size) + " bytes, more than the limit of " + std::to_string(kMaxFileBytes) +
                     " bytes");
    return true;
}

bool ReloadableFile::Update()
{
    if (passOpen) {
        if (polledPass == reloadPass)
            return false;
        polledPass = reloadPass;
    }
    platform::FileStamp current;
    // The path names nothing readable now: keep what was read.
    if (!LookAtPath(current)) {
        ReportUnreadable(UnreadableReason(path));
        return false;
    }
    if (hasStamp && stamp == current) {
        return false;
    }
    // Nothing recorded, so the next Update looks again.
    if (RefusedForSize(current.size)) {
        hasStamp = false;
        return false;
    }
    ConsolePrintf("reading file %s\n", PathForMessage(path).c_str());
    if (!Read()) {
        hasStamp = false;
        // It may have grown past the limit while it was read.
        platform::FileStamp now;
        bool replaced = false;
        if (!platform::StampOfPath(file, now, replaced) || !RefusedForSize(now.size))
            ReportUnreadable(UnreadableReason(path));
        return false;
    }
    stamp = current;
    hasStamp = true;
    ++version;
    return true;
}

void ReloadableFile::Reload()
{
    platform::FileStamp current;
    const bool known = LookAtPath(current);
    if (known && RefusedForSize(current.size)) {
        hasStamp = false;
        return;
    }
    ConsolePrintf("reading file %s\n", PathForMessage(path).c_str());
    const bool read = Read();
    if (read)
        ++version;
    if (read && known) {
        stamp = current;
        hasStamp = true;
    } else {
        hasStamp = false;
    }
}

bool ReloadableFile::HasChanged() const
{
    platform::FileStamp current;
    bool replaced = false;
    if (file == nullptr || !platform::StampOfPath(file, current, replaced)) {
        return false;
    }
    return replaced || !hasStamp || stamp != current;
}

void ReloadableFile::LetGoWhenUnnamed()
{
    // One let go of already is not looked at again: the files of a folder
    // deleted whole would cost a look each on every pass.
    if (file == nullptr || letGo || (passOpen && polledPass == reloadPass))
        return;
    platform::FileStamp current;
    bool replaced = false;
    if (!platform::StampOfPath(file, current, replaced) || replaced)
        LetGo();
}

ReloadableTextFile::ReloadableTextFile(const std::string& path) : ReloadableFile(path) {}

ReloadableTextFile::ReloadableTextFile(ReloadableTextFile&& other) noexcept
    : ReloadableFile(std::move(other)), text(std::move(other.text))
{
}

ReloadableTextFile& ReloadableTextFile::operator=(ReloadableTextFile&& other) noexcept
{
    ReloadableFile::operator=(std::move(other));
    text = std::move(other.text);
    return *this;
}

ReloadableTextFile::~ReloadableTextFile() = default;

bool ReloadableTextFile::Read()
{
    DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE) {
        size = 0;
    }
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        return false;
    }
    // Read into a fresh string so that a failed read leaves the old text.
    std::string content;
    content.reserve(std::min<std::uint64_t>(size, kMaxFileBytes));
    char buffer[4096];
    DWORD bytesRead = 0;
    do {
        bytesRead = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &bytesRead, nullptr)) {
            return false;
        }
        content.append(buffer, bytesRead);
        // Grown past the limit since its size was looked at.
        if (content.size() > kMaxFileBytes) {
            return false;
        }
    } while (bytesRead == sizeof buffer);
    text = std::move(content);
    return true;
}

}  // namespace WinApi

WinApi::ReloadableTextFile& ReloadableTextFileCache::Get(std::string path)
{
    auto found = files.find(path);
    if (found != files.end()) {
        return found->second;
    }
    WinApi::ReloadableTextFile opened(path);
    files.emplace(path, std::move(opened));
    return files.find(path)->second;
}

void ReloadableTextFileCache::LetGoOfUnnamedFiles()
{
    for (auto& [path, file] : files)
        file.LetGoWhenUnnamed();
}

std::uint64_t ReloadableTextFileCache::PollVersion(const std::string& path)
{
    try {
        WinApi::ReloadableTextFile& file = Get(path);
        file.Update();
        return file.GetVersion();
    } catch (const WinApi::WinApiException&) {
        return 0;
    }
}
