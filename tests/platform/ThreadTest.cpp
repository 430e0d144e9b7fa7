// Worker threads, events and waits.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/AfxThread.h"
#include "platform/WinKernel.h"

namespace {

struct Worker {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> seenId{0};
    std::atomic<DWORD> lastError{0};
    ~Worker()
    {
        CloseHandle(go);
        CloseHandle(done);
    }
};

UINT WaitForGo(LPVOID param)
{
    auto* w = static_cast<Worker*>(param);
    w->seenId = GetCurrentThreadId();
    SetLastError(1234);
    WaitForSingleObject(w->go, INFINITE);
    w->lastError = GetLastError();
    SetEvent(w->done);
    return 42;
}

TEST(Threads, SuspendedStartThenJoinAndDelete)
{
    Worker w;
    CWinThread* thread = AfxBeginThread(WaitForGo, &w, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, thread);
    thread->m_bAutoDelete = FALSE;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread->m_hThread, 20));
    EXPECT_EQ(0u, w.seenId.load());  // suspended: the procedure has not run
    EXPECT_EQ(1u, thread->ResumeThread());
    EXPECT_EQ(0u, thread->ResumeThread());

    DWORD code = 0;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread->m_hThread, 0));
    ASSERT_TRUE(GetExitCodeThread(thread->m_hThread, &code));
    EXPECT_EQ(STILL_ACTIVE, code);

    SetLastError(7);
    SetEvent(w.go);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread->m_hThread, 10000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread->m_hThread, 0));  // stays signalled
    ASSERT_TRUE(GetExitCodeThread(thread->m_hThread, &code));
    EXPECT_EQ(42u, code);
    EXPECT_EQ(thread->m_nThreadID, w.seenId.load());
    EXPECT_NE(GetCurrentThreadId(), w.seenId.load());
    EXPECT_EQ(1234u, w.lastError.load());  // the last error is per thread
    EXPECT_EQ(7u, GetLastError());
    delete thread;
}

TEST(Threads, AutoDeleteAfterTheProcedureReturns)
{
    // Leak checking at exit catches an object that was not deleted.
    Worker w;
    CWinThread* thread = AfxBeginThread(WaitForGo, &w, 3);
    ASSERT_NE(nullptr, thread);
    HANDLE handle = thread->m_hThread;  // read before the thread can end
    EXPECT_EQ(3, GetThreadPriority(handle));
    SetEvent(w.go);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(w.done, 10000));
    // The object deletes itself, which closes its handle.
    bool closed = false;
    for (int i = 0; i < 10000 && !closed; ++i) {
        closed = WaitForSingleObject(handle, 0) == WAIT_FAILED;
        if (!closed)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(closed);
}

TEST(Threads, DeletingARunningThreadObjectIsSafe)
{
    Worker w;
    CWinThread* thread = AfxBeginThread(WaitForGo, &w, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, thread);
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    HANDLE handle = thread->m_hThread;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(handle, 10));  // a join that times out
    delete thread;
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(handle, 0));  // the handle is closed
    SetEvent(w.go);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(w.done, 10000));
}

TEST(Events, AutoAndManualReset)
{
    HANDLE autoEvent = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(nullptr, autoEvent);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(autoEvent, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(autoEvent, 0));  // consumed by the first wait
    SetEvent(autoEvent);
    SetEvent(autoEvent);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(autoEvent, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(autoEvent, 0));

    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(manual, 10));
    std::thread setter([manual] { SetEvent(manual); });
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manual, INFINITE));
    setter.join();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manual, 0));
    EXPECT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(manual, 0));

    // Named events: the second create finds the first.
    HANDLE a = CreateEventW(nullptr, TRUE, FALSE, u"Qav5Test.Event");
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), GetLastError());
    HANDLE b = CreateEventW(nullptr, TRUE, FALSE, u"Qav5Test.Event");
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    SetEvent(a);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(b, 0));

    for (HANDLE h : {autoEvent, manual, a, b})
        EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(manual, 0));
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(nullptr, 0));
    EXPECT_FALSE(SetEvent(manual));
}

}  // namespace
