// Events, waits and worker threads.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/AfxThread.h"
#include "platform/WinKernel.h"
#include "platform/kernel/KernelObject.h"

namespace qplat {

namespace {

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

// Waits on `cv` until `ready()` holds or the time-out passes; TRUE when ready.
template <class Ready>
bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD milliseconds, Ready ready)
{
    if (milliseconds == INFINITE) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
}

class EventObject : public KernelObject {
public:
    EventObject(bool manualReset, bool initialState) : manual_(manualReset), signaled_(initialState) {}

    void Set()
    {
        std::lock_guard<std::mutex> guard(lock_);
        signaled_ = true;
        if (manual_)
            cv_.notify_all();
        else
            cv_.notify_one();
    }

    void Reset()
    {
        std::lock_guard<std::mutex> guard(lock_);
        signaled_ = false;
    }

    DWORD WaitFor(DWORD milliseconds) override
    {
        std::unique_lock<std::mutex> lock(lock_);
        if (!WaitUntil(cv_, lock, milliseconds, [this] { return signaled_; }))
            return WAIT_TIMEOUT;
        if (!manual_)
            signaled_ = false;
        return WAIT_OBJECT_0;
    }

private:
    std::mutex lock_;
    std::condition_variable cv_;
    bool manual_;
    bool signaled_;
};

struct NamedEvents {
    std::mutex lock;
    std::map<std::u16string, std::weak_ptr<EventObject>> events;
};

NamedEvents& Named()
{
    static NamedEvents* n = new NamedEvents;
    return *n;
}

}  // namespace

class ThreadObject : public KernelObject {
public:
    ThreadObject(AFX_THREADPROC proc, LPVOID param, DWORD id, int priority, bool suspended)
        : proc_(proc), param_(param), id_(id), priority_(priority), suspended_(suspended)
    {
    }

    DWORD WaitFor(DWORD milliseconds) override
    {
        std::unique_lock<std::mutex> lock(lock_);
        return WaitUntil(cv_, lock, milliseconds, [this] { return ended_; }) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }

    void SetOwner(CWinThread* owner)
    {
        std::lock_guard<std::mutex> guard(lock_);
        owner_ = owner;
    }

    void Run()
    {
        t_threadId = id_;
        {
            std::unique_lock<std::mutex> lock(lock_);
            cv_.wait(lock, [this] { return !suspended_; });
        }
        UINT code = proc_(param_);
        CWinThread* toDelete = nullptr;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (owner_ && owner_->m_bAutoDelete) {
                toDelete = owner_;
                owner_ = nullptr;
            }
        }
        // Deleting closes the handle; waiters that still hold the object (a
        // wait in progress) are woken below all the same.
        delete toDelete;
        std::lock_guard<std::mutex> guard(lock_);
        exitCode_ = code;
        ended_ = true;
        cv_.notify_all();
    }

    DWORD Resume()
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!suspended_)
            return 0;
        suspended_ = false;
        cv_.notify_all();
        return 1;
    }

    void Detach(CWinThread* owner)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (owner_ == owner)
            owner_ = nullptr;
    }

    bool ExitCode(DWORD& code)
    {
        std::lock_guard<std::mutex> guard(lock_);
        code = ended_ ? exitCode_ : STILL_ACTIVE;
        return true;
    }

    void SetPriority(int priority)
    {
        std::lock_guard<std::mutex> guard(lock_);
        priority_ = priority;
    }

    int Priority()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return priority_;
    }

    DWORD Id() const { return id_; }

private:
    std::mutex lock_;
    std::condition_variable cv_;
    AFX_THREADPROC proc_;
    LPVOID param_;
    DWORD id_;
    int priority_;
    bool suspended_;
    bool ended_ = false;
    DWORD exitCode_ = STILL_ACTIVE;
    CWinThread* owner_ = nullptr;
};

}  // namespace qplat

using namespace qplat;

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name)
{
    if (name && name[0]) {
        NamedEvents& n = Named();
        std::lock_guard<std::mutex> guard(n.lock);
        auto& slot = n.events[std::u16string(name)];
        if (auto existing = slot.lock()) {
            HANDLE handle = InsertHandle(existing);
            SetLastError(ERROR_ALREADY_EXISTS);
            return handle;
        }
        auto event = std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
        slot = event;
        SetLastError(NO_ERROR);
        return InsertHandle(event);
    }
    SetLastError(NO_ERROR);
    return InsertHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event)
{
    auto object = LookupHandleAs<EventObject>(event);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    auto object = LookupHandleAs<EventObject>(event);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->Reset();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    auto target = LookupHandle(object);
    if (!target) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return target->WaitFor(milliseconds);
}

DWORD GetCurrentThreadId()
{
    if (t_threadId == 0)
        t_threadId = g_nextThreadId++;
    return t_threadId;
}

BOOL SetThreadPriority(HANDLE thread, int priority)
{
    auto object = LookupHandleAs<ThreadObject>(thread);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->SetPriority(priority);
    return TRUE;
}

int GetThreadPriority(HANDLE thread)
{
    auto object = LookupHandleAs<ThreadObject>(thread);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0x7FFFFFFF;  // THREAD_PRIORITY_ERROR_RETURN
    }
    return object->Priority();
}

DWORD ResumeThread(HANDLE thread)
{
    auto object = LookupHandleAs<ThreadObject>(thread);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFFu;
    }
    return object->Resume();
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode)
{
    auto object = LookupHandleAs<ThreadObject>(thread);
    if (!object || !exitCode) {
        SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD code = 0;
    object->ExitCode(code);
    *exitCode = code;
    return TRUE;
}

CWinThread::CWinThread() : m_hThread(nullptr), m_nThreadID(0), m_bAutoDelete(TRUE) {}

CWinThread::~CWinThread()
{
    if (auto object = LookupHandleAs<ThreadObject>(m_hThread))
        object->Detach(this);
    if (m_hThread)
        CloseHandle(m_hThread);
}

DWORD CWinThread::ResumeThread()
{
    return ::ResumeThread(m_hThread);
}

BOOL CWinThread::SetThreadPriority(int priority)
{
    return ::SetThreadPriority(m_hThread, priority);
}

int CWinThread::GetThreadPriority()
{
    return ::GetThreadPriority(m_hThread);
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT, DWORD flags, LPSECURITY_ATTRIBUTES)
{
    if (!proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DWORD id = g_nextThreadId++;
    auto object = std::make_shared<ThreadObject>(proc, param, id, priority, (flags & CREATE_SUSPENDED) != 0);
    auto* thread = new CWinThread;
    thread->m_nThreadID = id;
    thread->m_hThread = InsertHandle(object);
    // The owner is known before the thread can run, so an auto-delete at its
    // end never misses it and a delete by the starter always detaches it.
    object->SetOwner(thread);
    try {
        std::thread([object] { object->Run(); }).detach();
    } catch (...) {
        thread->m_bAutoDelete = FALSE;
        delete thread;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return thread;
}
