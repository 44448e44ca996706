#include "platform/system/console.h"
#include "support/reloadable_file.h"

#include "common/process_use.h"
#include "common/scratch_folder.h"
#include "platform/system/errors.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

class ReloadableFileTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return dir + "/" + name; }

    static void Write(const std::string& path, const std::string& content)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }

    static void SetWriteTime(const std::string& path, time_t seconds, long nanoseconds)
    {
        timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    // Update with its console line captured.
    static bool Update(WinApi::ReloadableFile& file, std::string* printed)
    {
        ConsoleCapture console;
        bool changed = file.Update();
        std::fflush(stdout);
        *printed = console.Text();
        return changed;
    }

    ScratchFolder folder;
    const std::string dir = folder.root.string();
};

TEST_F(ReloadableFileTest, GetOpensOnceAndUpdateReadsOnlyOnChange)
{
    const std::string path = PathOf("a.txt");
    Write(path, "hello");
    ReloadableTextFileCache cache;
    WinApi::ReloadableTextFile& first = cache.Get(path);
    EXPECT_EQ(&cache.Get(path), &first);
    EXPECT_EQ(cache.files.size(), 1u);
    EXPECT_EQ(first.GetText(), "");

    std::string printed;
    EXPECT_TRUE(Update(first, &printed));
    EXPECT_EQ(printed, "reading file " + path + "\n");
    EXPECT_EQ(first.GetText(), "hello");

    EXPECT_FALSE(Update(first, &printed));
    EXPECT_EQ(printed, "");
    EXPECT_FALSE(first.HasChanged());
}

TEST_F(ReloadableFileTest, AnyTimeChangeRereads)
{
    const std::string path = PathOf("t.txt");
    Write(path, "same");
    SetWriteTime(path, 1700000000, 500);
    ReloadableTextFileCache cache;
    WinApi::ReloadableTextFile& file = cache.Get(path);
    std::string printed;
    ASSERT_TRUE(Update(file, &printed));

    // changed false: the time is left alone (setting it, even to the same
    // value, moves the status-change time, which counts as a change).
    struct Step {
        time_t seconds;
        long nanoseconds;
        bool changed;
    };
    const Step steps[] = {
        {1700000000, 500, false}, {1700000000, 700, true},  // sub-second change (100 ns resolution)
        {1700000100, 0, true},                              // touched: newer
        {1600000000, 0, true},                              // set back: older
        {1600000000, 0, false},
    };
    for (const Step& s : steps) {
        if (s.changed)
            SetWriteTime(path, s.seconds, s.nanoseconds);
        EXPECT_EQ(file.HasChanged(), s.changed) << s.seconds << "." << s.nanoseconds;
        EXPECT_EQ(Update(file, &printed), s.changed) << s.seconds << "." << s.nanoseconds;
        EXPECT_EQ(file.GetText(), "same");
    }
}

TEST_F(ReloadableFileTest, ContentComesBackUnchanged)
{
    std::string mixed;
    for (int i = 0; i < 256; ++i) {
        mixed += static_cast<char>(i);
    }
    mixed += "line\r\nnext\r\n";
    auto sized = [&](std::size_t size) {
        std::string s;
        while (s.size() < size) {
            s += mixed;
        }
        s.resize(size);
        return s;
    };
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{4096}, std::size_t{4097},
                             std::size_t{8192}, std::size_t{100000}}) {
        const std::string path = PathOf("f" + std::to_string(size));
        const std::string content = sized(size);
        Write(path, content);
        ReloadableTextFileCache cache;
        WinApi::ReloadableTextFile& file = cache.Get(path);
        std::string printed;
        EXPECT_TRUE(Update(file, &printed));
        EXPECT_EQ(file.GetText().size(), size);
        EXPECT_TRUE(file.GetText() == content) << size;
    }
}

TEST_F(ReloadableFileTest, MissingPathThrowsLeavesNoEntryAndLaterSucceeds)
{
    const std::string path = PathOf("missing.txt");
    ReloadableTextFileCache cache;
    try {
        cache.Get(path);
        FAIL() << "no exception";
    } catch (WinApi::WinApiException e) {
        const std::string message = e.Message();
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find(std::strerror(ENOENT)), std::string::npos) << message;
        ASSERT_GE(message.size(), 2u);
        EXPECT_EQ(message.substr(message.size() - 2), "\r\n");
    }
    EXPECT_TRUE(cache.files.empty());

    Write(path, "now");
    WinApi::ReloadableTextFile& file = cache.Get(path);
    std::string printed;
    EXPECT_TRUE(Update(file, &printed));
    EXPECT_EQ(file.GetText(), "now");
}

TEST_F(ReloadableFileTest, NonRegularPathsThrowLikeMissingOnes)
{
    const std::string folder = PathOf("folder");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string fifo = PathOf("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ReloadableTextFileCache cache;
    for (const std::string& path : {folder, fifo, std::string()}) {
        EXPECT_THROW(cache.Get(path), WinApi::WinApiException) << path;
    }
    EXPECT_TRUE(cache.files.empty());
}

TEST_F(ReloadableFileTest, SaveByRenameIsSeen)
{
    const std::string path = PathOf("scene.txt");
    Write(path, "old");
    SetWriteTime(path, 1700000000, 0);
    ReloadableTextFileCache cache;
    WinApi::ReloadableTextFile& file = cache.Get(path);
    std::string printed;
    ASSERT_TRUE(Update(file, &printed));
    ASSERT_EQ(file.GetText(), "old");

    // The editor writes a new file beside it and renames it over the old one;
    // even with the same time stamp the change must be seen.
    const std::string temporary = PathOf("scene.txt.tmp");
    Write(temporary, "new content");
    SetWriteTime(temporary, 1700000000, 0);
    ASSERT_EQ(std::rename(temporary.c_str(), path.c_str()), 0);

    EXPECT_TRUE(Update(file, &printed));
    EXPECT_EQ(file.GetText(), "new content");
    EXPECT_FALSE(Update(file, &printed));

    // And saving in place still works on the reopened file.
    Write(path, "in place");
    SetWriteTime(path, 1700000050, 0);
    EXPECT_TRUE(Update(file, &printed));
    EXPECT_EQ(file.GetText(), "in place");
}

// What takes the file's place: each keeps the text read before, is said
// once per reload pass with the path and the reason, and the file is read
// again once it is back. (Tests run as root, whom a mode of 000 does not
// stop: a FIFO or a device stands for a file that cannot be read.)
TEST_F(ReloadableFileTest, VanishedOrUnreadableFileKeepsItsTextAndSaysSo)
{
    struct Case {
        const char* what;
        std::function<int(const std::string&)> replace;  // 0 on success
        const char* reason;
    } cases[] = {
        {"deleted", [](const std::string&) { return 0; }, "No such file or directory"},
        {"a folder", [](const std::string& p) { return mkdir(p.c_str(), 0755); }, "is a folder, not a file"},
        {"a FIFO", [](const std::string& p) { return mkfifo(p.c_str(), 0644); }, "is a FIFO, not a file"},
        {"a device", [](const std::string& p) { return symlink("/dev/zero", p.c_str()); }, "is a device, not a file"},
    };
    for (const Case& c : cases) {
        const std::string path = PathOf("v.txt");
        Write(path, "first");
        ReloadableTextFileCache cache;
        WinApi::ReloadableTextFile& file = cache.Get(path);
        std::string printed;
        ASSERT_TRUE(Update(file, &printed)) << c.what;

        WinApi::ReloadableFile::BeginReloadPass();
        ASSERT_EQ(std::remove(path.c_str()), 0) << c.what;
        ASSERT_EQ(c.replace(path), 0) << c.what << ": " << std::strerror(errno);
        EXPECT_FALSE(Update(file, &printed)) << c.what;
        EXPECT_EQ(printed, "ReloadableFile::Update error: cannot read " + path + ": " + c.reason +
                               "; the text read before stays\n")
            << c.what;
        EXPECT_EQ(file.GetText(), "first") << c.what;
        // Polled again in the same pass: said once.
        EXPECT_FALSE(Update(file, &printed)) << c.what;
        EXPECT_EQ(printed, "") << c.what;
        // The next reload says it again.
        WinApi::ReloadableFile::BeginReloadPass();
        EXPECT_FALSE(Update(file, &printed)) << c.what;
        EXPECT_NE(printed.find(c.reason), std::string::npos) << c.what << ": " << printed;

        std::system(("rm -rf '" + path + "'").c_str());
        Write(path, "second");
        EXPECT_TRUE(Update(file, &printed)) << c.what;
        EXPECT_EQ(file.GetText(), "second") << c.what;
        std::remove(path.c_str());
    }
}

// What is no regular file cannot be opened, and the exception says what the
// path names instead.
TEST_F(ReloadableFileTest, OpeningWhatIsNoFileSaysWhatItIs)
{
    const std::string fifo = PathOf("fifo"), link = PathOf("zero"), folder = PathOf("folder");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", link.c_str()), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "is a FIFO, not a file"},
        {link, "is a device, not a file"},
        {folder, "is a folder, not a file"},
        {PathOf("missing"), std::strerror(ENOENT)},
    };
    for (const auto& [path, reason] : cases) {
        ReloadableTextFileCache cache;
        try {
            cache.Get(path);
            ADD_FAILURE() << path << " opened";
        } catch (const WinApi::WinApiException& e) {
            EXPECT_EQ(e.message, path + ": " + reason + "\r\n");
        }
        EXPECT_TRUE(cache.files.empty()) << path;
    }
}

TEST_F(ReloadableFileTest, RelativePathSurvivesAChangeOfDirectory)
{
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    Write("rel.txt", "one");
    ReloadableTextFileCache cache;
    WinApi::ReloadableTextFile& file = cache.Get("rel.txt");
    ASSERT_EQ(chdir(previous), 0);

    std::string printed;
    EXPECT_TRUE(Update(file, &printed));
    EXPECT_EQ(printed, "reading file rel.txt\n");
    EXPECT_EQ(file.GetText(), "one");
    Write(PathOf("rel.txt"), "two");
    SetWriteTime(PathOf("rel.txt"), 1700000000, 0);
    EXPECT_TRUE(Update(file, &printed));
    EXPECT_EQ(file.GetText(), "two");
}

TEST_F(ReloadableFileTest, MovesKeepTheHandleAndTheMissingTime)
{
    const std::string path = PathOf("m.txt");
    Write(path, "moved");
    WinApi::ReloadableTextFile original(path);
    WinApi::ReloadableTextFile moved(std::move(original));
    std::string printed;
    EXPECT_TRUE(Update(moved, &printed));  // never read: counts as changed
    EXPECT_EQ(moved.GetText(), "moved");
    EXPECT_FALSE(Update(original, &printed));  // holds no file any more

    Write(PathOf("n.txt"), "other");
    WinApi::ReloadableTextFile assigned(PathOf("n.txt"));
    assigned = std::move(moved);
    EXPECT_EQ(assigned.GetText(), "moved");
    EXPECT_EQ(assigned.GetPath(), path);
    EXPECT_FALSE(Update(assigned, &printed));  // the recorded time came along
}

TEST_F(ReloadableFileTest, ReloadReadsEvenWithoutChange)
{
    const std::string path = PathOf("r.txt");
    Write(path, "r");
    WinApi::ReloadableTextFile file(path);
    ConsoleCapture console;
    file.Reload();
    file.Reload();
    std::fflush(stdout);
    EXPECT_EQ(console.Text(), "reading file " + path + "\nreading file " + path + "\n");
    EXPECT_EQ(file.GetText(), "r");
    EXPECT_FALSE(file.HasChanged());
    EXPECT_NE(file.GetLastWriteTime(), 0u);
}

// The version counts the reads that took the content anew: each consumer
// that keeps the version it built from sees each change once, whoever
// polled first. Reads that fail and polls without change count nothing.
TEST_F(ReloadableFileTest, VersionsCountTheReads)
{
    const std::string path = PathOf("v.txt");
    Write(path, "one");
    ReloadableTextFileCache cache;
    WinApi::ReloadableTextFile& file = cache.Get(path);
    EXPECT_EQ(file.GetVersion(), 0u);
    std::string printed;
    struct Step {
        const char* what;
        std::function<void()> change;
        std::uint64_t version;
    } steps[] = {
        {"first poll", [] {}, 1},
        {"no change", [] {}, 1},
        {"touched", [&] { SetWriteTime(path, 1700000000, 0); }, 2},
        {"edited",
         [&] {
             Write(path, "two");
             SetWriteTime(path, 1700000001, 0);
         },
         3},
        {"saved by rename with the old time",
         [&] {
             Write(PathOf("v.new"), "three");
             SetWriteTime(PathOf("v.new"), 1700000001, 0);
             std::rename(PathOf("v.new").c_str(), path.c_str());
         },
         4},
        {"deleted: the text stays", [&] { std::remove(path.c_str()); }, 4},
    };
    for (const Step& step : steps) {
        step.change();
        Update(file, &printed);
        EXPECT_EQ(file.GetVersion(), step.version) << step.what;
        // A second consumer polling after the first reads nothing: only
        // the version tells it what changed.
        EXPECT_FALSE(Update(cache.Get(path), &printed)) << step.what;
    }
    WinApi::ReloadableTextFile moved(std::move(file));
    EXPECT_EQ(moved.GetVersion(), 4u);
    EXPECT_EQ(cache.PollVersion(PathOf("never.txt")), 0u);
    EXPECT_TRUE(cache.files.count(path));
}

// In a reload pass a file is looked at on disk once, however many poll it;
// outside one, every poll looks.
TEST_F(ReloadableFileTest, AReloadPassLooksAtEachFileOnce)
{
    const std::string path = PathOf("p.txt");
    Write(path, "one");
    ReloadableTextFileCache cache;
    WinApi::ReloadableTextFile& file = cache.Get(path);
    std::string printed;
    {
        WinApi::ReloadPass pass;
        EXPECT_TRUE(Update(file, &printed));
        Write(path, "two");
        SetWriteTime(path, 1700000000, 0);
        {
            WinApi::ReloadPass inner;  // part of the outer pass
            EXPECT_FALSE(Update(file, &printed));
        }
        EXPECT_FALSE(Update(file, &printed));
        EXPECT_EQ(file.GetText(), "one");
    }
    {
        WinApi::ReloadPass next;
        EXPECT_TRUE(Update(file, &printed));
        EXPECT_EQ(file.GetText(), "two");
    }
    Write(path, "three");
    SetWriteTime(path, 1700000001, 0);
    EXPECT_TRUE(Update(file, &printed));
    SetWriteTime(path, 1700000002, 0);
    EXPECT_TRUE(Update(file, &printed));
    EXPECT_EQ(file.GetVersion(), 4u);
}

// A save that keeps the size and lands within one modification time (coarse
// file systems, or a tool that puts the time back) still moves the file's
// status-change time: it is read.
TEST_F(ReloadableFileTest, ARewriteThatKeepsTheTimeIsRead)
{
    const std::pair<const char*, std::string> cases[] = {
        {"the same size", "abcd"},
        {"another size", "abcdefgh"},
    };
    for (const auto& [what, rewritten] : cases) {
        const std::string path = PathOf("k.txt");
        Write(path, "wxyz");
        SetWriteTime(path, 1700000000, 0);
        ReloadableTextFileCache cache;
        WinApi::ReloadableTextFile& file = cache.Get(path);
        std::string printed;
        ASSERT_TRUE(Update(file, &printed)) << what;
        struct stat read {};
        ASSERT_EQ(stat(path.c_str(), &read), 0);

        // On a coarse clock a quick rewrite can land within the tick of the
        // read, and then nothing tells them apart: rewrite until it shows.
        struct stat now {};
        for (int attempt = 0;; ++attempt) {
            ASSERT_LT(attempt, 100000) << what << ": the status-change time never moved";
            Write(path, rewritten);
            SetWriteTime(path, 1700000000, 0);
            ASSERT_EQ(stat(path.c_str(), &now), 0);
            if (now.st_ctim.tv_sec != read.st_ctim.tv_sec || now.st_ctim.tv_nsec != read.st_ctim.tv_nsec)
                break;
        }
        ASSERT_EQ(now.st_mtim.tv_sec, read.st_mtim.tv_sec);
        ASSERT_EQ(now.st_mtim.tv_nsec, read.st_mtim.tv_nsec);

        EXPECT_TRUE(file.HasChanged()) << what;
        EXPECT_TRUE(Update(file, &printed)) << what;
        EXPECT_EQ(printed, "reading file " + path + "\n") << what;
        EXPECT_EQ(file.GetText(), rewritten) << what;
        EXPECT_EQ(file.GetVersion(), 2u) << what;
        EXPECT_FALSE(Update(file, &printed)) << what;
    }
}

// A file whose path no longer names it lets its descriptor go (and a deleted
// file its disk space) and keeps its text and version; the path is opened
// again once it names a file again.
TEST_F(ReloadableFileTest, AFileNoLongerNamedLetsItsDescriptorGo)
{
    const std::string path = PathOf("d.txt");
    struct Case {
        const char* what;
        std::function<void()> unname;
        const char* reason;
    } cases[] = {
        {"deleted", [&] { std::remove(path.c_str()); }, "No such file or directory"},
        {"renamed away", [&] { std::rename(path.c_str(), PathOf("elsewhere.txt").c_str()); },
         "No such file or directory"},
        {"a folder in its place",
         [&] {
             std::remove(path.c_str());
             mkdir(path.c_str(), 0755);
         },
         "is a folder, not a file"},
    };
    for (const Case& c : cases) {
        Write(path, "first");
        ReloadableTextFileCache cache;
        WinApi::ReloadableTextFile& file = cache.Get(path);
        std::string printed;
        ASSERT_TRUE(Update(file, &printed)) << c.what;
        const int held = OpenDescriptors();

        c.unname();
        WinApi::ReloadableFile::BeginReloadPass();
        EXPECT_FALSE(Update(file, &printed)) << c.what;
        EXPECT_EQ(printed, "ReloadableFile::Update error: cannot read " + path + ": " + c.reason +
                               "; the text read before stays\n")
            << c.what;
        EXPECT_EQ(OpenDescriptors(), held - 1) << c.what;
        EXPECT_EQ(file.GetText(), "first") << c.what;
        EXPECT_EQ(file.GetVersion(), 1u) << c.what;
        EXPECT_FALSE(file.HasChanged()) << c.what;
        // Looked at again while it names nothing: nothing to let go twice.
        EXPECT_FALSE(Update(file, &printed)) << c.what;
        EXPECT_EQ(OpenDescriptors(), held - 1) << c.what;

        std::filesystem::remove_all(path);
        Write(path, "back");
        EXPECT_TRUE(file.HasChanged()) << c.what;
        EXPECT_TRUE(Update(file, &printed)) << c.what;
        EXPECT_EQ(file.GetText(), "back") << c.what;
        EXPECT_EQ(file.GetVersion(), 2u) << c.what;
        EXPECT_EQ(OpenDescriptors(), held) << c.what;
        std::filesystem::remove_all(path);
        std::remove(PathOf("elsewhere.txt").c_str());
    }
}

// A file no one polls any more (an include a save stopped naming, then
// deleted) is let go of when the reload pass ends; one the pass looked at,
// or one whose path still names it, keeps its descriptor.
TEST_F(ReloadableFileTest, AReloadPassLetsGoOfFilesNoLongerNamed)
{
    ReloadableTextFileCache cache;
    std::string printed;
    for (const char* name : {"deleted.txt", "renamed.txt", "replaced.txt", "kept.txt", "polled.txt"}) {
        Write(PathOf(name), name);
        ASSERT_TRUE(Update(cache.Get(PathOf(name)), &printed));
    }
    const int held = OpenDescriptors();
    std::remove(PathOf("deleted.txt").c_str());
    std::rename(PathOf("renamed.txt").c_str(), PathOf("renamed.old").c_str());
    Write(PathOf("replaced.new"), "new");
    std::rename(PathOf("replaced.new").c_str(), PathOf("replaced.txt").c_str());
    Write(PathOf("polled.txt"), "polled again");
    SetWriteTime(PathOf("polled.txt"), 1700000000, 0);
    {
        WinApi::ReloadPass pass(cache);
        {
            WinApi::ReloadPass inner(cache);  // part of the outer pass: lets nothing go at its end
        }
        EXPECT_EQ(OpenDescriptors(), held);
        EXPECT_TRUE(Update(cache.Get(PathOf("polled.txt")), &printed));
    }
    EXPECT_EQ(OpenDescriptors(), held - 3);
    for (const char* name : {"deleted.txt", "renamed.txt", "replaced.txt", "kept.txt"}) {
        EXPECT_EQ(cache.Get(PathOf(name)).GetText(), name);
        EXPECT_EQ(cache.Get(PathOf(name)).GetVersion(), 1u) << name;
    }
    EXPECT_EQ(cache.Get(PathOf("polled.txt")).GetText(), "polled again");

    // The replacement is read when the file is next polled.
    EXPECT_TRUE(Update(cache.Get(PathOf("replaced.txt")), &printed));
    EXPECT_EQ(cache.Get(PathOf("replaced.txt")).GetText(), "new");
    EXPECT_FALSE(Update(cache.Get(PathOf("kept.txt")), &printed));
    EXPECT_EQ(OpenDescriptors(), held - 2);
}

// A file over the limit, whatever it holds, is refused before it is read:
// said with its size on each reload pass, its text and version as they were,
// and not read into memory. (The files are sparse: they take no disk space.)
TEST_F(ReloadableFileTest, AFileOverTheLimitIsRefusedBeforeItIsRead)
{
    constexpr std::uint64_t limit = WinApi::kMaxFileBytes;
    struct Case {
        const char* what;
        std::uint64_t size;
        bool readBefore;
    } cases[] = {
        {"at the limit", limit, false},
        {"one byte over", limit + 1, false},
        {"one byte over, after a read", limit + 1, true},
        {"1 GiB, after a read", std::uint64_t{1} << 30, true},
        {"4 GiB and one byte: one byte in 32 bits", (std::uint64_t{4} << 30) + 1, true},
    };
    const bool canMeasure = ResetPeakResident();
    for (const Case& c : cases) {
        const std::string path = PathOf("big.txt");
        Write(path, "before");
        ReloadableTextFileCache cache;
        WinApi::ReloadableTextFile& file = cache.Get(path);
        std::string printed;
        if (c.readBefore) {
            ASSERT_TRUE(Update(file, &printed)) << c.what;
        }
        const std::string textBefore = file.GetText();
        const std::uint64_t versionBefore = file.GetVersion();
        std::filesystem::resize_file(path, c.size);

        WinApi::ReloadableFile::BeginReloadPass();
        ResetPeakResident();
        const std::uint64_t resident = PeakResidentBytes();
        const bool read = Update(file, &printed);
        const std::uint64_t grown = PeakResidentBytes() - resident;
        if (c.size <= limit) {
            EXPECT_TRUE(read) << c.what;
            EXPECT_EQ(file.GetText().size(), c.size) << c.what;
            continue;
        }
        EXPECT_FALSE(read) << c.what;
        EXPECT_EQ(printed, "ReloadableFile::Update error: cannot read " + path + ": " + std::to_string(c.size) +
                               " bytes, more than the limit of 67108864 bytes; the text read before stays\n")
            << c.what;
        EXPECT_EQ(file.GetText(), textBefore) << c.what;
        EXPECT_EQ(file.GetVersion(), versionBefore) << c.what;
        if (canMeasure) {
            EXPECT_LT(grown, limit / 4) << c.what << ": resident memory grew by " << grown << " bytes";
        }
        WinApi::ReloadableFile::BeginReloadPass();
        EXPECT_FALSE(Update(file, &printed)) << c.what;
        EXPECT_NE(printed.find(std::to_string(c.size) + " bytes"), std::string::npos) << c.what << ": " << printed;

        Write(path, "after");
        EXPECT_TRUE(Update(file, &printed)) << c.what;
        EXPECT_EQ(file.GetText(), "after") << c.what;
        EXPECT_EQ(file.GetVersion(), versionBefore + 1) << c.what;
    }
}

TEST(WinApiException, CopiesAndLastErrorText)
{
    WinApi::WinApiException e("text\r\n");
    WinApi::WinApiException copy(e);
    EXPECT_STREQ(copy.Message(), "text\r\n");

    SetLastError(0);
    EXPECT_EQ(WinApi::GetLastErrorString(), "");
    EXPECT_EQ(WinApi::WinApiException::FromLastError().message, "");
    SetLastError(ENOENT);
    EXPECT_EQ(WinApi::GetLastErrorString(), std::string(std::strerror(ENOENT)) + "\r\n");
    EXPECT_EQ(WinApi::WinApiException::FromLastError().message, std::string(std::strerror(ENOENT)) + "\r\n");
}

TEST(FileCache, GlobalCacheExists)
{
    EXPECT_THROW(g_fileCache.Get(""), WinApi::WinApiException);
    EXPECT_TRUE(g_fileCache.files.empty());
}

}  // namespace
