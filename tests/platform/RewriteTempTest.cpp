// Temporaries that a rewrite killed half-way leaves, and their removal at the
// next rewrite of the folder and at start.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

using qtest::DeviceRootTest;
namespace fs = std::filesystem;

// The rewrite temporaries (".<name>.tmp...") in a host folder.
std::vector<std::string> Temporaries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 1 && name[0] == '.' && name.find(".tmp") != std::string::npos)
            names.push_back(name);
    }
    return names;
}

std::string Content(char fill)
{
    return std::string(2u << 20, fill);
}

void Kill(pid_t pid)
{
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// A writer that dies half-way: a child that starts a rewrite of the journal,
// writes half of the new content into its temporary, tells the parent so and
// waits to be killed. The parent learns from the pipe, not from the clock,
// that the temporary is there.
class HalfWriter {
public:
    explicit HalfWriter(char fill)
    {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(pipeFds[0]);
            const std::string data = Content(fill);
            qplat::FileRewrite rewrite(u"\\DB\\Depot.qav");
            const char written = rewrite.Ok() && rewrite.Write(data.data(), data.size() / 2) ? 'y' : 'n';
            if (::write(pipeFds[1], &written, 1) != 1)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(pipeFds[1]);
        if (pid_ > 0) {
            // A hang guard only: the child answers as soon as it has written.
            pollfd ready{pipeFds[0], POLLIN, 0};
            char written = 0;
            if (::poll(&ready, 1, 60000) == 1 && ::read(pipeFds[0], &written, 1) == 1)
                halfWritten_ = written == 'y';
        }
        ::close(pipeFds[0]);
    }
    ~HalfWriter() { Kill(); }
    HalfWriter(const HalfWriter&) = delete;
    HalfWriter& operator=(const HalfWriter&) = delete;

    // Whether the child reported its temporary half written.
    bool HalfWritten() const { return halfWritten_; }
    void Kill()
    {
        if (pid_ > 0)
            ::Kill(pid_);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    bool halfWritten_ = false;
};

// The temporaries of a folder that hold exactly half of a journal's content.
size_t HalfWrittenTemporaries(const std::string& folder)
{
    size_t n = 0;
    for (const std::string& name : Temporaries(folder))
        n += fs::file_size(fs::path(folder) / name) == Content('a').size() / 2;
    return n;
}

// The journal is one whole content or the other, never a mixture.
void ExpectWhole(const qtest::TempDeviceRoot& root)
{
    const std::string bytes = root.ReadFile(u"\\DB\\Depot.qav");
    ASSERT_EQ(Content('a').size(), bytes.size());
    EXPECT_TRUE(bytes == Content('a') || bytes == Content('b'));
}

TEST_F(DeviceRootTest, RewritesKilledHalfWayLeaveNoTemporaryAfterARestart)
{
    root.WriteFile(u"\\DB\\Depot.qav", Content('a'));
    const std::string db = root.Host(u"\\DB");
    {
        // Three writers at once, each half-way through its rewrite when the
        // power goes: a live writer's temporary is not stale, so all stay.
        HalfWriter first('b'), second('b'), third('a');
        ASSERT_TRUE(first.HalfWritten() && second.HalfWritten() && third.HalfWritten());
    }
    EXPECT_EQ(3u, HalfWrittenTemporaries(db));
    ExpectWhole(root);

    // The program starts again on the same card.
    root.Reload();
    EXPECT_EQ(3u, qplat::RemoveStaleTemporaries());
    EXPECT_TRUE(Temporaries(db).empty());
    ExpectWhole(root);
}

TEST_F(DeviceRootTest, TheNextRewriteOfAFolderRemovesWhatAKilledWriterLeft)
{
    root.WriteFile(u"\\DB\\Depot.qav", Content('a'));
    root.WriteFile(u"\\DB\\Other.qav", "other");
    const std::string db = root.Host(u"\\DB");
    // Many kills, no restart: the leftovers never pile up, since each new
    // writer clears the folder before its own rewrite.
    for (int round = 0; round < 5; ++round) {
        HalfWriter writer(round % 2 ? 'a' : 'b');
        ASSERT_TRUE(writer.HalfWritten());
        EXPECT_EQ(1u, Temporaries(db).size()) << "round " << round;
        EXPECT_EQ(1u, HalfWrittenTemporaries(db)) << "round " << round;
        writer.Kill();
    }
    ASSERT_EQ(1u, HalfWrittenTemporaries(db)) << "the last killed writer's";
    ASSERT_TRUE(qplat::RewriteFile(u"\\DB\\Other.qav", "new", 3));
    EXPECT_TRUE(Temporaries(db).empty());
    EXPECT_EQ("new", root.ReadFile(u"\\DB\\Other.qav"));
    ExpectWhole(root);
}

TEST_F(DeviceRootTest, OnlyTemporariesOfDeadWritersAreRemoved)
{
    root.MakeFolder(u"\\DB\\Old");
    const std::string db = root.Host(u"\\DB");
    // A rewrite under way in this process holds its temporary.
    qplat::FileRewrite pending(u"\\DB\\Depot.qav");
    ASSERT_TRUE(pending.Ok());
    ASSERT_TRUE(pending.Write("pending", 7));
    // A writer that is gone: a child that has ended, and a file of this
    // process id that no rewrite of ours holds (the program before a reset).
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(dead, &status, 0);
    const std::string deadTemp = ".Depot.qav.tmp" + std::to_string(dead) + "-3";
    const std::string ownTemp = ".Depot.qav.tmp" + std::to_string(::getpid()) + "-999999";
    root.WriteFile(u"\\DB\\" + std::u16string(deadTemp.begin(), deadTemp.end()), "dead");
    root.WriteFile(u"\\DB\\" + std::u16string(ownTemp.begin(), ownTemp.end()), "reset");
    root.WriteFile(u"\\DB\\Old\\" + std::u16string(deadTemp.begin(), deadTemp.end()), "nested");
    fs::path platformTemp = fs::path(qplat::PlatformFolder()) / (".registry.txt.tmp" + std::to_string(dead) + "-1");
    { std::FILE* f = std::fopen(platformTemp.c_str(), "w"); ASSERT_NE(nullptr, f); std::fclose(f); }
    // Kept: a writer that still runs (process 1 always does), names that are
    // not a rewrite's, and whatever lies behind a link.
    const std::string liveTemp = ".Depot.qav.tmp1-7";
    root.WriteFile(u"\\DB\\" + std::u16string(liveTemp.begin(), liveTemp.end()), "live");
    for (const char* name : {".notes.tmp", "Depot.qav.tmp5-5", ".x.tmp12-", ".tmp4-4", ".a.tmp-4"})
        root.WriteFile(u"\\DB\\" + std::u16string(name, name + std::strlen(name)), "user");
    struct Outside {
        fs::path path;
        ~Outside() { fs::remove_all(path); }
    } away{fs::path(root.Path()).parent_path() / ("qav5-outside-" + std::to_string(::getpid()))};
    const fs::path& outside = away.path;
    fs::create_directories(outside);
    { std::FILE* f = std::fopen((outside / deadTemp).c_str(), "w"); ASSERT_NE(nullptr, f); std::fclose(f); }
    fs::create_directory_symlink(outside, fs::path(db) / "link");

    EXPECT_EQ(4u, qplat::RemoveStaleTemporaries());
    EXPECT_FALSE(fs::exists(fs::path(db) / deadTemp));
    EXPECT_FALSE(fs::exists(fs::path(db) / ownTemp));
    EXPECT_FALSE(fs::exists(fs::path(db) / "Old" / deadTemp));
    EXPECT_FALSE(fs::exists(platformTemp));
    EXPECT_TRUE(fs::exists(fs::path(db) / liveTemp));
    for (const char* name : {".notes.tmp", "Depot.qav.tmp5-5", ".x.tmp12-", ".tmp4-4", ".a.tmp-4"})
        EXPECT_TRUE(fs::exists(fs::path(db) / name)) << name;
    EXPECT_TRUE(fs::exists(outside / deadTemp));

    // Another rewrite in the folder leaves the pending one alone too.
    ASSERT_TRUE(qplat::RewriteFile(u"\\DB\\Other.qav", "x", 1));
    ASSERT_TRUE(pending.Commit());
    EXPECT_EQ("pending", root.ReadFile(u"\\DB\\Depot.qav"));
    EXPECT_EQ(0u, qplat::RemoveStaleTemporaries());
}

}  // namespace
