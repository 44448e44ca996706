#pragma once
// Files held open while their paths name them and re-read when they change,
// and the global cache that hands out one text file per path.
#include <cstdint>
#include <map>
#include <string>

#include "platform/system/files.h"
#include "platform/system/types.h"
#include "support/winapi_exception.h"

class ReloadableTextFileCache;
extern ReloadableTextFileCache g_fileCache;

namespace WinApi {

// No file larger than this is read, whatever it holds: it is the compiler's
// include limit (gfx::kMaxIncludeBytes), and no intro, scene or shader file
// comes near it.
inline constexpr std::uint64_t kMaxFileBytes = 64u * 1024 * 1024;

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
    // Re-reads the file when its modification time, size, inode or
    // status-change time differs from the one read, or when the path now
    // names another file; true when it was read now. When the path names
    // nothing readable now (deleted, renamed away, a folder, a FIFO, a
    // device) the descriptor goes and the text read before stays, and the
    // path and the reason are said once per reload pass; the path is opened
    // again when it names a file again. A file over kMaxFileBytes is refused
    // before it is read, the same way, with its size.
    bool Update();
    // Starts a reload pass: a file polled several times in one pass says its
    // problem once.
    static void BeginReloadPass();
    // Records the time and reads, changed or not.
    void Reload();
    bool HasChanged() const;
    // Lets the descriptor go when the path no longer names the open file;
    // the text stays. A file the open reload pass looked at is left alone:
    // its Update did this then.
    void LetGoWhenUnnamed();

    // Counts the reads: 0 before the first, one more for each read that
    // took the file's content anew. Every consumer of a shared file keeps
    // the version it last built from and rebuilds when this differs, so
    // each sees each change once, whoever polled first.
    std::uint64_t GetVersion() const { return version; }

    const std::string& GetPath() const { return path; }

protected:
    // Re-reads the content; false when the read failed (content kept).
    virtual bool Read() = 0;

    HANDLE file;
    platform::FileStamp stamp;  // of the last read
    std::string path;
    bool hasStamp;  // a newly opened file has no recorded stamp
    std::uint64_t version = 0;

private:
    bool QueryLastWriteTime(std::uint64_t& time) const;
    bool LookAtPath(platform::FileStamp& current);
    void LetGo();
    bool RefusedForSize(std::uint64_t size);
    void ReportUnreadable(const std::string& reason);

    friend class ReloadPass;
    static unsigned reloadPass;
    static bool passOpen;         // a ReloadPass lives
    unsigned reportedPass = ~0u;  // the pass whose problem was said
    unsigned polledPass = ~0u;    // the open pass that polled it
    bool letGo = false;           // holds no descriptor until the path is opened again
};

// A reload pass for the time it lives (BeginReloadPass at the start): in it,
// a file that many consumers poll is looked at on disk once; its version
// tells every consumer what changed. When the outermost pass ends, the files
// of the cache that it did not look at let their descriptors go if their
// paths no longer name them: an include that a save stopped naming and
// deleted is polled by no one any more.
class ReloadPass {
public:
    explicit ReloadPass(ReloadableTextFileCache& swept = g_fileCache);
    ~ReloadPass();
    ReloadPass(const ReloadPass&) = delete;
    ReloadPass& operator=(const ReloadPass&) = delete;

private:
    bool outerOpen;
    ReloadableTextFileCache& cache;
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
    // Gets and updates the file and returns its version; 0 when it cannot be
    // opened now. Throws nothing of the cache's own.
    std::uint64_t PollVersion(const std::string& path);
    // LetGoWhenUnnamed on every file.
    void LetGoOfUnnamedFiles();

    std::map<std::string, WinApi::ReloadableTextFile> files;
};
