#pragma once
// Files held open for the whole run and re-read when their last-write time
// changes, and the global cache that hands out one text file per path.
#include <cstdint>
#include <map>
#include <string>

#include "platform/system/types.h"
#include "support/winapi_exception.h"

namespace WinApi {

class ReloadableFile {
public:
    // Opens the path; throws WinApiException (naming the path) when it cannot.
    explicit ReloadableFile(const std::string& path);
    ReloadableFile(ReloadableFile&& other) noexcept;
    ReloadableFile& operator=(ReloadableFile&& other) noexcept;
    ReloadableFile(const ReloadableFile&) = delete;
    ReloadableFile& operator=(const ReloadableFile&) = delete;
    virtual ~ReloadableFile();

    // FILETIME as one value, 100 ns units; 0 when the path names no file now.
    std::uint64_t GetLastWriteTime() const;
    // Re-reads the file when its time differs from the recorded one, or when
    // the path now names another file; true when it was read now. When the
    // path names nothing readable now (deleted, a folder, a FIFO, a device)
    // the text read before stays, and the path and the reason are said once
    // per reload pass.
    bool Update();
    // Starts a reload pass: a file polled several times in one pass says its
    // problem once.
    static void BeginReloadPass();
    // Records the time and reads, changed or not.
    void Reload();
    bool HasChanged() const;

    const std::string& GetPath() const { return path; }

protected:
    // Re-reads the content; false when the read failed (content kept).
    virtual bool Read() = 0;

    HANDLE file;
    std::uint64_t lastWriteTime;
    std::string path;
    bool hasLastWriteTime;  // a newly opened file has no recorded time

private:
    bool QueryLastWriteTime(std::uint64_t& time) const;
    bool FollowReplacement();
    void ReportUnreadable(const std::string& reason);

    static unsigned reloadPass;
    unsigned reportedPass = ~0u;  // the pass whose problem was said
};

class ReloadableTextFile : public ReloadableFile {
public:
    explicit ReloadableTextFile(const std::string& path);
    ReloadableTextFile(ReloadableTextFile&& other) noexcept;
    ReloadableTextFile& operator=(ReloadableTextFile&& other) noexcept;
    ~ReloadableTextFile() override;

    // The text of the last read; never reads.
    const std::string& GetText() const { return text; }

protected:
    bool Read() override;

    std::string text;  // bytes as read: no line-end conversion, NULs kept
};

}  // namespace WinApi

class ReloadableTextFileCache {
public:
    // Opens the file on first use (may throw WinApi::WinApiException; then
    // nothing is stored); later calls return the same object.
    WinApi::ReloadableTextFile& Get(std::string path);

    std::map<std::string, WinApi::ReloadableTextFile> files;
};

extern ReloadableTextFileCache g_fileCache;
