// Files on the device root: dispositions, sharing, name resolution, searches.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Bluetooth.h"
#include "platform/WinKernel.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

using qtest::DeviceRootTest;

HANDLE Open(const char16_t* name, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileW(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

const DWORD kRW = GENERIC_READ | GENERIC_WRITE;
const DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Opens and closes at once: whether the open succeeded.
bool Opens(const char16_t* name, DWORD access, DWORD share, DWORD disposition)
{
    HANDLE h = Open(name, access, share, disposition);
    return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}

std::string ReadAll(HANDLE h)
{
    std::string out;
    char buffer[7];  // odd size: several reads and a short one at the end
    DWORD read = 0;
    while (ReadFile(h, buffer, sizeof buffer, &read, nullptr) && read > 0)
        out.append(buffer, read);
    return out;
}

std::vector<std::u16string> Find(const char16_t* pattern)
{
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(pattern, &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileW(h, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
    EXPECT_TRUE(FindClose(h));
    return names;
}

TEST_F(DeviceRootTest, DispositionsCreateTruncateAndReportExisting)
{
    root.WriteFile(u"\\a.bin", "0123456789");

    // OPEN_ALWAYS keeps the content and says the file was there.
    HANDLE h = Open(u"\\a.bin", kRW, 0, OPEN_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(10u, GetFileSize(h, nullptr));
    CloseHandle(h);

    // CREATE_NEW refuses an existing file and leaves it alone.
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\a.bin", kRW, 0, CREATE_NEW));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
    EXPECT_EQ("0123456789", root.ReadFile(u"\\a.bin"));

    // CREATE_ALWAYS truncates and also says the file was there.
    h = Open(u"\\a.bin", kRW, 0, CREATE_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(0u, GetFileSize(h, nullptr));
    CloseHandle(h);

    // A new file: no "already exists".
    h = Open(u"\\new.bin", kRW, 0, OPEN_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), GetLastError());
    CloseHandle(h);
    ASSERT_TRUE(Opens(u"\\new2.bin", kRW, 0, CREATE_NEW));
    EXPECT_TRUE(root.Exists(u"\\new2.bin"));

    // OPEN_EXISTING on something missing: the file, or the folder on the way.
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\missing.bin", GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\nofolder\\x.bin", GENERIC_READ, 0, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\nofolder\\x.bin", kRW, 0, CREATE_ALWAYS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

    // TRUNCATE_EXISTING empties an existing file and never creates one.
    root.WriteFile(u"\\t.bin", "abc");
    ASSERT_TRUE(Opens(u"\\t.bin", GENERIC_WRITE, 0, TRUNCATE_EXISTING));
    EXPECT_EQ("", root.ReadFile(u"\\t.bin"));
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\t2.bin", GENERIC_WRITE, 0, TRUNCATE_EXISTING));
    EXPECT_FALSE(root.Exists(u"\\t2.bin"));
}

TEST_F(DeviceRootTest, ReadWriteSeekAndShortReads)
{
    HANDLE h = Open(u"\\data.bin", kRW, 0, CREATE_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &done, nullptr));
    EXPECT_EQ(11u, done);

    EXPECT_EQ(6u, SetFilePointer(h, 6, nullptr, FILE_BEGIN));
    char buffer[32] = {};
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(5u, done);  // short read at the end is a success
    EXPECT_EQ("world", std::string(buffer, done));
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(0u, done);

    EXPECT_EQ(9u, SetFilePointer(h, -2, nullptr, FILE_END));
    EXPECT_EQ(7u, SetFilePointer(h, -2, nullptr, FILE_CURRENT));
    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, -100, nullptr, FILE_BEGIN));
    EXPECT_EQ(7u, SetFilePointer(h, 0, nullptr, FILE_CURRENT));  // a refused move leaves the pointer

    // Writing past the end extends; SetEndOfFile cuts at the pointer.
    EXPECT_EQ(5u, SetFilePointer(h, 5, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(5u, GetFileSize(h, nullptr));
    ASSERT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_EQ("hello", root.ReadFile(u"\\data.bin"));

    // A read-only handle cannot write, a closed handle does nothing.
    h = Open(u"\\data.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(0u, done);
    EXPECT_EQ("hello", ReadAll(h));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(ReadFile(h, buffer, 1, &done, nullptr));
    EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(h, nullptr));
}

TEST_F(DeviceRootTest, SharingBetweenHandles)
{
    root.WriteFile(u"\\s.bin", "x");
    HANDLE exclusive = Open(u"\\s.bin", kRW, 0, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\S.BIN", GENERIC_READ, kShareRW, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    // A refused CREATE_ALWAYS must not have truncated the file first.
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\s.bin", kRW, kShareRW, CREATE_ALWAYS));
    EXPECT_EQ("x", root.ReadFile(u"\\s.bin"));
    EXPECT_FALSE(DeleteFileW(u"\\s.bin"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(exclusive);

    // Readers sharing reads get along; a writer needs them to share writes.
    HANDLE reader1 = Open(u"\\s.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE reader2 = Open(u"\\s.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader1);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader2);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\s.bin", GENERIC_WRITE, kShareRW, OPEN_EXISTING));
    // A new reader that does not share reads conflicts with the open readers.
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\s.bin", GENERIC_READ, 0, OPEN_EXISTING));
    CloseHandle(reader1);
    CloseHandle(reader2);

    HANDLE a = Open(u"\\s.bin", kRW, kShareRW, OPEN_EXISTING);
    HANDLE b = Open(u"\\s.bin", kRW, kShareRW, OPEN_EXISTING);
    EXPECT_NE(INVALID_HANDLE_VALUE, a);
    EXPECT_NE(INVALID_HANDLE_VALUE, b);
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_TRUE(DeleteFileW(u"\\s.bin"));
}

TEST_F(DeviceRootTest, NamesMatchWithoutCaseAndStayInsideTheRoot)
{
    root.WriteFile(u"\\SDMMC\\Autorun\\Param.QAV", "p");
    ASSERT_TRUE(Opens(u"\\sdmmc\\AUTORUN\\param.qav", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    // Forward slashes and doubled separators are accepted too.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"/SDMMC//autorun/PARAM.qav"));
    EXPECT_EQ(root.Path() + "/SDMMC/Autorun/Param.QAV", qplat::HostPath(u"\\sdmmc\\autorun\\param.qav"));
    // A new file in an existing folder lands next to the stored spelling.
    ASSERT_TRUE(Opens(u"\\sdmmc\\autorun\\New.txt", kRW, 0, CREATE_NEW));
    EXPECT_TRUE(root.Exists(u"\\SDMMC\\Autorun\\New.txt"));

    // Cyrillic names match without case as well.
    root.WriteFile(u"\\Журнал.db", "j");
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\ЖУРНАЛ.DB"));

    // ".." and the platform's own folder are out of reach.
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\SDMMC\\..\\..\\etc\\passwd", GENERIC_READ, kShareRW, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
    EXPECT_EQ("", qplat::HostPath(u"\\..\\x"));
    ASSERT_FALSE(qplat::PlatformFolder().empty());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\.qav5-platform"));
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\.QAV5-Platform\\registry.txt", kRW, 0, OPEN_ALWAYS));
    EXPECT_FALSE(CreateDirectoryW(u"\\.qav5-platform\\x", nullptr));
}

TEST_F(DeviceRootTest, FolderOperations)
{
    EXPECT_TRUE(CreateDirectoryW(u"\\SDMMC", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"\\sdmmc", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_FALSE(CreateDirectoryW(u"\\a\\b", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesW(u"\\SDMMC"));

    // A folder cannot be opened as a file or deleted as one.
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\SDMMC", GENERIC_READ, kShareRW, OPEN_EXISTING));
    EXPECT_FALSE(DeleteFileW(u"\\SDMMC"));

    root.WriteFile(u"\\SDMMC\\f.txt", "f");
    EXPECT_FALSE(RemoveDirectoryW(u"\\SDMMC"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), GetLastError());
    EXPECT_TRUE(DeleteFileW(u"\\sdmmc\\F.TXT"));
    EXPECT_FALSE(DeleteFileW(u"\\sdmmc\\F.TXT"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(RemoveDirectoryW(u"\\sdmmc"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\SDMMC"));
}

TEST_F(DeviceRootTest, CopyAndMove)
{
    root.WriteFile(u"\\src.txt", "source");
    root.WriteFile(u"\\dst.txt", "old");
    EXPECT_FALSE(CopyFileW(u"\\src.txt", u"\\dst.txt", TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
    EXPECT_EQ("old", root.ReadFile(u"\\dst.txt"));
    EXPECT_TRUE(CopyFileW(u"\\SRC.txt", u"\\dst.txt", FALSE));
    EXPECT_EQ("source", root.ReadFile(u"\\dst.txt"));
    EXPECT_FALSE(CopyFileW(u"\\none.txt", u"\\x.txt", FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    // Copying a file onto itself must not destroy it.
    EXPECT_FALSE(CopyFileW(u"\\src.txt", u"\\SRC.TXT", FALSE));
    EXPECT_EQ("source", root.ReadFile(u"\\src.txt"));

    // A copy cut short by a write failure leaves the old target whole.
    root.WriteFile(u"\\big.txt", std::string(1000, 'b'));
    qplat::FailFileWritesAfter(10);
    EXPECT_FALSE(CopyFileW(u"\\big.txt", u"\\dst.txt", FALSE));
    qplat::FailFileWritesAfter(-1);
    EXPECT_EQ("source", root.ReadFile(u"\\dst.txt"));

    EXPECT_FALSE(MoveFileW(u"\\src.txt", u"\\dst.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_TRUE(MoveFileW(u"\\src.txt", u"\\moved.txt"));
    EXPECT_FALSE(root.Exists(u"\\src.txt"));
    EXPECT_EQ("source", root.ReadFile(u"\\moved.txt"));
    // Changing only the letter case is a rename of the same file.
    EXPECT_TRUE(MoveFileW(u"\\moved.txt", u"\\MOVED.TXT"));
    EXPECT_EQ(std::vector<std::u16string>{u"MOVED.TXT"}, Find(u"\\mov*"));
}

TEST_F(DeviceRootTest, FindPatterns)
{
    root.WriteFile(u"\\DB\\Wheel1.dat", "1");
    root.WriteFile(u"\\DB\\wheel22.DAT", "22");
    root.WriteFile(u"\\DB\\README", "r");
    root.WriteFile(u"\\DB\\notes.txt", "n");
    root.MakeFolder(u"\\DB\\Sub");

    auto all = Find(u"\\db\\*.*");
    EXPECT_EQ((std::vector<std::u16string>{u"notes.txt", u"README", u"Sub", u"Wheel1.dat", u"wheel22.DAT"}), all);
    EXPECT_EQ((std::vector<std::u16string>{u"Wheel1.dat", u"wheel22.DAT"}), Find(u"\\DB\\WHEEL*.dat"));
    EXPECT_EQ((std::vector<std::u16string>{u"Wheel1.dat"}), Find(u"\\DB\\wheel?.dat"));
    EXPECT_EQ((std::vector<std::u16string>{u"README", u"Sub"}), Find(u"\\DB\\*."));
    EXPECT_EQ(5u, Find(u"\\DB\\*").size());

    // The entries carry size and kind.
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\DB\\wheel22.dat", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(std::u16string(u"wheel22.DAT"), data.cFileName);
    EXPECT_EQ(2u, data.nFileSizeLow);
    EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(FindNextFileW(h, &data));
    FindClose(h);

    // A folder named without a wildcard finds the folder itself.
    h = FindFirstFileW(u"\\db", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(std::u16string(u"DB"), data.cFileName);
    EXPECT_NE(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(h);

    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(u"\\nowhere\\*.*", &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(u"\\DB\\*.xyz", &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    // The root lists the handheld's folders only, never ".", ".." or the
    // platform's hidden folder.
    ASSERT_FALSE(qplat::PlatformFolder().empty());
    EXPECT_EQ(std::vector<std::u16string>{u"DB"}, Find(u"\\*.*"));
}

TEST_F(DeviceRootTest, RewriteReplacesWholeOrNothing)
{
    qplat::SyncFileWrites(true);  // the real road, with its syncs
    const std::string old = std::string("old content\0with a zero", 24);
    root.WriteFile(u"\\SDMMC\\param.qav", old);

    ASSERT_TRUE(qplat::RewriteFile(u"\\sdmmc\\PARAM.QAV", "new", 3));
    EXPECT_EQ("new", root.ReadFile(u"\\SDMMC\\param.qav"));

    // Fail in the middle of the new content: the old file stays byte for byte
    // and no temporary file is left behind.
    std::string big(5000, 'z');
    qplat::FailFileWritesAfter(100);
    SetLastError(NO_ERROR);
    EXPECT_FALSE(qplat::RewriteFile(u"\\SDMMC\\param.qav", big.data(), big.size()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
    qplat::FailFileWritesAfter(-1);
    EXPECT_EQ("new", root.ReadFile(u"\\SDMMC\\param.qav"));

    {
        qplat::FailFileWritesAfter(10);
        qplat::FileRewrite rewrite(u"\\SDMMC\\param.qav");
        ASSERT_TRUE(rewrite.Ok());
        EXPECT_TRUE(rewrite.Write("0123456789", 10));
        EXPECT_FALSE(rewrite.Write("more", 4));
        EXPECT_FALSE(rewrite.Commit());
        qplat::FailFileWritesAfter(-1);
    }
    EXPECT_EQ("new", root.ReadFile(u"\\SDMMC\\param.qav"));

    {
        // Abandoned without Commit: nothing changes.
        qplat::FileRewrite rewrite(u"\\SDMMC\\param.qav");
        EXPECT_TRUE(rewrite.Write("abandoned", 9));
    }
    EXPECT_EQ("new", root.ReadFile(u"\\SDMMC\\param.qav"));

    {
        qplat::FileRewrite rewrite(u"\\SDMMC\\param.qav");
        EXPECT_TRUE(rewrite.Write("pi", 2));
        EXPECT_TRUE(rewrite.Write("eces", 4));
        EXPECT_TRUE(rewrite.Commit());
    }
    EXPECT_EQ("pieces", root.ReadFile(u"\\SDMMC\\param.qav"));
    EXPECT_EQ(std::vector<std::u16string>{u"param.qav"}, Find(u"\\SDMMC\\*"));

    // A rewrite in a missing folder fails without creating anything.
    EXPECT_FALSE(qplat::RewriteFile(u"\\nofolder\\x.bin", "x", 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(root.Exists(u"\\nofolder"));
}

TEST_F(DeviceRootTest, InjectedWriteFailureThroughWriteFile)
{
    HANDLE h = Open(u"\\w.bin", kRW, 0, CREATE_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    qplat::FailFileWritesAfter(4);
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(h, "abcdefgh", 8, &written, nullptr));
    EXPECT_EQ(4u, written);
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
    EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(0u, written);
    qplat::FailFileWritesAfter(-1);
    EXPECT_TRUE(WriteFile(h, "x", 1, &written, nullptr));
    CloseHandle(h);
    EXPECT_EQ("abcdx", root.ReadFile(u"\\w.bin"));
}

// A change is done only once the storage keeps it: a rename into place or a
// deletion once its folder is synced, a new file once its folder, which keeps
// its name, is synced at its first flush. A failed sync reports failure.
TEST_F(DeviceRootTest, AFailedSyncIsAFailureNotADurableChange)
{
    root.WriteFile(u"\\SDMMC\\param.qav", "old");
    qplat::FailFileSyncsAfter(1);  // the file's own sync goes, its folder's fails
    SetLastError(NO_ERROR);
    EXPECT_FALSE(qplat::RewriteFile(u"\\SDMMC\\param.qav", "new", 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_WRITE_FAULT), GetLastError());
    {
        qplat::FailFileSyncsAfter(1);
        qplat::FileRewrite rewrite(u"\\SDMMC\\param.qav");
        ASSERT_TRUE(rewrite.Write("newer", 5));
        EXPECT_FALSE(rewrite.Commit());
        EXPECT_FALSE(rewrite.Commit()) << "still not synced";
        qplat::FailFileSyncsAfter(-1);
        EXPECT_TRUE(rewrite.Commit()) << "the folder's sync tried again";
    }
    EXPECT_EQ("newer", root.ReadFile(u"\\SDMMC\\param.qav"));

    root.WriteFile(u"\\gone.bin", "x");
    qplat::FailFileSyncsAfter(0);
    SetLastError(NO_ERROR);
    EXPECT_FALSE(DeleteFileW(u"\\gone.bin"));
    // Made, only not confirmed: told apart from a change that was not made.
    EXPECT_EQ(static_cast<DWORD>(ERROR_CHANGE_NOT_CONFIRMED), GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\gone.bin"));
    // A rename and a new folder are kept by their folders' syncs alike.
    for (long long syncs : {0, 1}) {
        qplat::FailFileSyncsAfter(syncs);
        SetLastError(NO_ERROR);
        EXPECT_FALSE(MoveFileW(u"\\SDMMC\\param.qav", u"\\param.bad")) << syncs;
        EXPECT_EQ(static_cast<DWORD>(ERROR_CHANGE_NOT_CONFIRMED), GetLastError());
        qplat::FailFileSyncsAfter(-1);
        EXPECT_TRUE(MoveFileW(u"\\param.bad", u"\\SDMMC\\param.qav")) << "moved, only not kept";
    }
    qplat::FailFileSyncsAfter(0);
    SetLastError(NO_ERROR);
    EXPECT_FALSE(CreateDirectoryW(u"\\SDMMC\\DB2", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CHANGE_NOT_CONFIRMED), GetLastError());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\SDMMC\\DB2"));
    qplat::FailFileSyncsAfter(-1);
    // A change that is not made keeps the storage's own error.
    SetLastError(NO_ERROR);
    EXPECT_FALSE(DeleteFileW(u"\\gone.bin"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    // A new file: made by one handle, written and flushed through another,
    // as a journal's first record is.
    ASSERT_TRUE(Opens(u"\\SDMMC\\new.qav", kRW, kShareRW, CREATE_NEW));
    HANDLE h = Open(u"\\SDMMC\\new.qav", kRW, kShareRW, OPEN_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "rec", 3, &written, nullptr));
    qplat::FailFileSyncsAfter(1);
    EXPECT_FALSE(FlushFileBuffers(h)) << "its folder is not synced";
    qplat::FailFileSyncsAfter(-1);
    EXPECT_TRUE(FlushFileBuffers(h));
    qplat::FailFileSyncsAfter(1);
    EXPECT_TRUE(FlushFileBuffers(h)) << "its folder was synced: only the file is";
    qplat::FailFileSyncsAfter(0);
    EXPECT_FALSE(FlushFileBuffers(h));
    qplat::FailFileSyncsAfter(-1);
    CloseHandle(h);

    // A new file whose folder went from under it (the id a later file may
    // get): its folder is nothing to keep, not a failure of every flush.
    ASSERT_TRUE(CreateDirectoryW(u"\\SDMMC\\Gone", nullptr));
    h = Open(u"\\SDMMC\\Gone\\new.qav", kRW, kShareRW, CREATE_NEW);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::filesystem::remove_all(root.Host(u"\\SDMMC\\Gone"));
    EXPECT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
}

// The injected kill ends a child process at the nth change of the storage:
// what the child changed before is on the card, nothing after, and a torn
// write leaves the first half of its bytes.
TEST_F(DeviceRootTest, InjectedKillStrikesAtTheNthChange)
{
    struct Case {
        long long n;
        bool tear;
        bool killed;
        const char* file;
        bool goneKept;
    } cases[] = {
        {1, false, true, "", true},              // before the first write
        {2, false, true, "abcd", true},          // before the flush
        {3, false, true, "abcd", true},          // before the second write
        {3, true, true, "abcdefg", true},        // half-way through it
        {4, true, true, "abcdefghij", true},     // before the deletion
        {5, false, true, "abcdefghij", false},   // after it, before its folder's sync
        {0, false, false, "abcdefghij", false},  // never
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        SCOPED_TRACE(c.tear);
        root.WriteFile(u"\\gone.bin", "x");
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            qplat::KillAtStorageChange(c.n, c.tear);
            HANDLE h = Open(u"\\k.bin", kRW, 0, CREATE_ALWAYS);
            DWORD written = 0;
            WriteFile(h, "abcd", 4, &written, nullptr);
            FlushFileBuffers(h);
            WriteFile(h, "efghij", 6, &written, nullptr);
            CloseHandle(h);
            DeleteFileW(u"\\gone.bin");
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_EQ(c.killed, WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_EQ(c.file, root.ReadFile(u"\\k.bin"));
        EXPECT_EQ(c.goneKept, root.Exists(u"\\gone.bin"));
    }
}

TEST_F(DeviceRootTest, ReadOnlyFilesAreKept)
{
    root.WriteFile(u"\\ro.txt", "keep");
    std::filesystem::permissions(root.Host(u"\\ro.txt"), std::filesystem::perms::owner_read);
    EXPECT_NE(0u, GetFileAttributesW(u"\\RO.TXT") & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(Opens(u"\\ro.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\ro.txt", kRW, 0, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\ro.txt", kRW, 0, CREATE_ALWAYS));
    EXPECT_FALSE(qplat::RewriteFile(u"\\ro.txt", "new", 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(DeleteFileW(u"\\ro.txt"));
    root.WriteFile(u"\\src.txt", "new");
    EXPECT_FALSE(CopyFileW(u"\\src.txt", u"\\ro.txt", FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ("keep", root.ReadFile(u"\\ro.txt"));

    // The platform's own files alike: a new date or zone is refused, a
    // registry change stands while the program runs and is not flushed.
    struct PlatformFile {
        const char* name;
        const char* text;
        DWORD (*change)();
        DWORD refusal;
    };
    const PlatformFile files[] = {
        {"clock.txt", "86400000\n",
         [] {
             SYSTEMTIME t{2031, 6, 0, 15, 12, 0, 0, 0};
             return SetSystemTime(&t) ? DWORD{NO_ERROR} : GetLastError();
         },
         ERROR_ACCESS_DENIED},
        {"timezone.txt", "not read\n",
         [] {
             TIME_ZONE_INFORMATION z{};
             z.Bias = -120;
             return SetTimeZoneInformation(&z) ? DWORD{NO_ERROR} : GetLastError();
         },
         ERROR_ACCESS_DENIED},
        {"registry.txt", "QAV5-REGISTRY 1\nEND\n",
         [] {
             HKEY key = nullptr;
             if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"New", 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS)
                 return DWORD{ERROR_INVALID_HANDLE};
             const LONG flushed = RegFlushKey(key);
             RegCloseKey(key);
             return static_cast<DWORD>(flushed);
         },
         ERROR_WRITE_FAULT},
        {"bluetooth.txt", "radio = on\n",
         [] {
             qplat::Neighbour sensor;
             sensor.address = 0x00126f0de301;
             sensor.name = "LX412 12345";
             return qplat::AddNeighbour(sensor) ? DWORD{NO_ERROR} : GetLastError();
         },
         ERROR_ACCESS_DENIED},
    };
    for (const PlatformFile& file : files) {
        SCOPED_TRACE(file.name);
        const std::string host = qplat::PlatformFolder() + "/" + file.name;
        std::filesystem::remove(host);
        { std::ofstream(host) << file.text; }
        std::filesystem::permissions(host, std::filesystem::perms::owner_read);
        root.Reload();
        EXPECT_EQ(file.refusal, file.change());
        EXPECT_EQ(file.text, qtest::ReadHostFile(host));
        EXPECT_EQ(std::filesystem::perms::owner_read, std::filesystem::status(host).permissions());
    }
}

// A pipe in a file's place (made on a PC, or left by a tool) would hold an
// ordinary open until its other end came: it is refused at once as a file
// that cannot be opened, by every way of opening, for reading and writing,
// and stays as it is. A run that breaks this does not end; the harness's
// time limit is its bound.
TEST_F(DeviceRootTest, AnythingButARegularFileIsRefusedAtOnce)
{
    const std::string pipe = root.Host(u"\\pipe.qav");
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0644));
    struct Way {
        DWORD access, disposition;
    };
    for (const Way& w : {Way{GENERIC_READ, OPEN_EXISTING}, Way{GENERIC_READ, OPEN_ALWAYS}, Way{GENERIC_WRITE, OPEN_EXISTING},
                         Way{kRW, OPEN_ALWAYS}, Way{kRW, CREATE_ALWAYS}, Way{GENERIC_WRITE, TRUNCATE_EXISTING}}) {
        SCOPED_TRACE(testing::Message() << std::hex << w.access << " " << w.disposition);
        EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"\\PIPE.qav", w.access, kShareRW, w.disposition));
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    }
    for (const char16_t* mode : {u"r", u"rb", u"r+", u"w", u"ab", u"a+"}) {
        FILE* f = _wfopen(u"\\pipe.qav", mode);
        EXPECT_EQ(nullptr, f) << qplat::ToUtf8(mode);
        if (f) std::fclose(f);
    }
    EXPECT_FALSE(CopyFileW(u"\\pipe.qav", u"\\copy.qav", FALSE));
    EXPECT_FALSE(root.Exists(u"\\copy.qav"));
    struct stat st {};
    ASSERT_EQ(0, ::stat(pipe.c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A file beside it opens, reads and writes as ever.
    root.WriteFile(u"\\file.bin", "0123");
    HANDLE h = Open(u"\\file.bin", kRW, 0, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ("0123", ReadAll(h));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "45", 2, &written, nullptr));
    CloseHandle(h);
    EXPECT_EQ("012345", root.ReadFile(u"\\file.bin"));
    FILE* f = _wfopen(u"\\file.bin", u"rb");
    ASSERT_NE(nullptr, f);
    std::fclose(f);
}

TEST_F(DeviceRootTest, StreamFilesTranslateLineEndsInTextMode)
{
    root.MakeFolder(u"\\Ref");
    FILE* f = _wfopen(u"\\ref\\Wheel.ref", u"w");
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(0, fputws(u"Колесо 1\n", f));
    EXPECT_EQ(0, fputws(u"12.5\r\n", f));  // a CR already there is kept as it is
    EXPECT_EQ(0, std::fclose(f));
    EXPECT_EQ("\xCA\xEE\xEB\xE5\xF1\xEE 1\r\n12.5\r\r\n", root.ReadFile(u"\\Ref\\Wheel.ref"));

    f = _wfopen(u"\\Ref\\wheel.REF", u"r");
    ASSERT_NE(nullptr, f);
    WCHAR line[64];
    ASSERT_NE(nullptr, fgetws(line, 64, f));
    EXPECT_EQ(std::u16string(u"Колесо 1\n"), line);
    ASSERT_NE(nullptr, fgetws(line, 4, f));  // bounded by the buffer
    EXPECT_EQ(std::u16string(u"12."), line);
    ASSERT_NE(nullptr, fgetws(line, 64, f));
    EXPECT_EQ(std::u16string(u"5\r\n"), line);
    EXPECT_EQ(nullptr, fgetws(line, 64, f));
    std::fclose(f);

    // Binary mode writes the bytes as given; append adds at the end.
    f = _wfopen(u"\\Ref\\raw.bin", u"wb");
    ASSERT_NE(nullptr, f);
    std::fputs("a\nb", f);
    std::fclose(f);
    f = _wfopen(u"\\Ref\\raw.bin", u"ab");
    ASSERT_NE(nullptr, f);
    std::fputs("\n", f);
    std::fclose(f);
    EXPECT_EQ("a\nb\n", root.ReadFile(u"\\Ref\\raw.bin"));

    EXPECT_EQ(nullptr, _wfopen(u"\\Ref\\missing.txt", u"r"));
    EXPECT_EQ(nullptr, _wfopen(u"\\NoFolder\\x.txt", u"w"));
    EXPECT_EQ(nullptr, _wfopen(u"\\Ref", u"r"));
    EXPECT_EQ(nullptr, _wfopen(u"\\Ref\\x.txt", u"q"));
}

}  // namespace
