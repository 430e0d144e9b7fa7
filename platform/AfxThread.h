// The class library's worker-thread start, as the program's threads use it.
//
// Lifetime of the thread object (the rule owners rely on):
// - m_bAutoDelete is TRUE by default: when the thread procedure returns, the
//   CWinThread is deleted and m_hThread closed. The starter must then not touch
//   the object once the thread may have ended, so it can neither wait on it nor
//   read its handle afterwards.
// - To stop and join a worker, start it with CREATE_SUSPENDED, set
//   m_bAutoDelete = FALSE, then ResumeThread(); later ask it to stop, wait with
//   WaitForSingleObject(thread->m_hThread, ms) (WAIT_OBJECT_0 once it ended)
//   and `delete thread`, which closes the handle.
// - Deleting a CWinThread whose thread still runs (a join that timed out) is
//   safe: the thread keeps running on its own state and is never deleted twice.
#pragma once

#include "platform/WinKernel.h"

typedef UINT (*AFX_THREADPROC)(LPVOID);

class CWinThread {
public:
    CWinThread();
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    DWORD ResumeThread();
    BOOL SetThreadPriority(int priority);
    int GetThreadPriority();

    HANDLE m_hThread;
    DWORD m_nThreadID;
    BOOL m_bAutoDelete;
};

// NULL when the thread cannot be started.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD flags = 0, LPSECURITY_ATTRIBUTES security = nullptr);
