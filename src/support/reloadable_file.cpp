#include "support/reloadable_file.h"

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

ReloadPass::ReloadPass() : outerOpen(ReloadableFile::passOpen)
{
    // A pass inside another is part of it.
    if (!outerOpen)
        ReloadableFile::BeginReloadPass();
    ReloadableFile::passOpen = true;
}

ReloadPass::~ReloadPass()
{
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

ReloadableFile::ReloadableFile(const std::string& path)
    : file(nullptr), lastWriteTime(0), path(path), hasLastWriteTime(false)
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
    : file(other.file), lastWriteTime(other.lastWriteTime), path(other.path), hasLastWriteTime(other.hasLastWriteTime),
      version(other.version), reportedPass(other.reportedPass), polledPass(other.polledPass)
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
    lastWriteTime = other.lastWriteTime;
    hasLastWriteTime = other.hasLastWriteTime;
    version = other.version;
    reportedPass = other.reportedPass;
    polledPass = other.polledPass;
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

// An editor that saves by writing a new file and renaming it over the old one
// leaves our descriptor on the old file: follow the path to the new one, which
// then counts as never read. While it cannot be opened the old file stays and
// this returns false.
bool ReloadableFile::FollowReplacement()
{
    if (file == nullptr || !platform::FileReplaced(file)) {
        return true;
    }
    if (!platform::ReopenFile(file)) {
        return false;
    }
    hasLastWriteTime = false;
    return true;
}

bool ReloadableFile::Update()
{
    if (passOpen) {
        if (polledPass == reloadPass)
            return false;
        polledPass = reloadPass;
    }
    std::uint64_t current = 0;
    // The path names nothing readable now: keep what was read.
    if (!FollowReplacement() || !QueryLastWriteTime(current)) {
        ReportUnreadable(UnreadableReason(path));
        return false;
    }
    if (hasLastWriteTime && lastWriteTime == current) {
        return false;
    }
    ConsolePrintf("reading file %s\n", PathForMessage(path).c_str());
    if (!Read()) {
        // Nothing recorded, so the next Update tries again.
        hasLastWriteTime = false;
        ReportUnreadable(UnreadableReason(path));
        return false;
    }
    lastWriteTime = current;
    hasLastWriteTime = true;
    ++version;
    return true;
}

void ReloadableFile::Reload()
{
    FollowReplacement();
    std::uint64_t current = 0;
    bool known = QueryLastWriteTime(current);
    ConsolePrintf("reading file %s\n", PathForMessage(path).c_str());
    const bool read = Read();
    if (read)
        ++version;
    if (read && known) {
        lastWriteTime = current;
        hasLastWriteTime = true;
    } else {
        hasLastWriteTime = false;
    }
}

bool ReloadableFile::HasChanged() const
{
    if (file != nullptr && platform::FileReplaced(file)) {
        return true;
    }
    std::uint64_t current = 0;
    if (!QueryLastWriteTime(current)) {
        return false;
    }
    return !hasLastWriteTime || lastWriteTime != current;
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
    content.reserve(size);
    char buffer[4096];
    DWORD bytesRead = 0;
    do {
        bytesRead = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &bytesRead, nullptr)) {
            return false;
        }
        content.append(buffer, bytesRead);
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
