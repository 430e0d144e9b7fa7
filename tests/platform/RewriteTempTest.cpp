// Temporaries that a rewrite killed half-way leaves, and their removal at the
// next rewrite of the folder and at start.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
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

// A child that rewrites the journal with alternating content until killed.
pid_t StartRewriteLoop()
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string a = Content('a'), b = Content('b');
        for (unsigned i = 0;; ++i) {
            const std::string& data = i % 2 ? b : a;
            qplat::RewriteFile(u"\\DB\\Depot.qav", data.data(), data.size());
        }
    }
    return pid;
}

void Kill(pid_t pid)
{
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
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
    // Kill the loop at assorted moments until a kill caught a rewrite with its
    // temporary written (nearly every kill does).
    size_t left = 0;
    for (int round = 0; round < 200 && left == 0; ++round) {
        const pid_t pid = StartRewriteLoop();
        ASSERT_GT(pid, 0);
        ::usleep(static_cast<useconds_t>(2000 + (round * 1700) % 9000));
        Kill(pid);
        left = Temporaries(db).size();
    }
    ASSERT_GT(left, 0u) << "no kill caught a rewrite half-way";
    ExpectWhole(root);

    // The program starts again on the same card.
    root.Reload();
    EXPECT_EQ(left, qplat::RemoveStaleTemporaries());
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
    for (int round = 0; round < 20; ++round) {
        const pid_t pid = StartRewriteLoop();
        ASSERT_GT(pid, 0);
        ::usleep(static_cast<useconds_t>(3000 + round * 300));
        Kill(pid);
        EXPECT_LE(Temporaries(db).size(), 1u);
    }
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
