// The storage-card watch: while the USB client mode is mass storage, a
// connected computer can take the card away from the program. A worker thread
// tests for the card once a second; while it is missing, a black card-missing
// screen covers the display until the card is back.
//
// The screen is a window of the user-interface thread: the watch thread asks
// for it through a message to a hidden window of the watch (made by Start on
// the user-interface thread) and waits until it has closed. The screen opens
// over whatever screen is in front. Stop releases a watch thread that waits
// for the screen and drops a request that is still queued, so a card lost in
// the same moment as a Stop (the measure command) cannot make the two threads
// wait for each other; Stop also closes a screen that is open.
#pragma once

#include <atomic>

#include "platform/WinDef.h"
#include "settings/ProgramFolder.h"

class CWinThread;

// The black screen shown while the card is missing.
class CCardMissingDlg {
public:
    CCardMissingDlg();
    ~CCardMissingDlg();
    CCardMissingDlg(const CCardMissingDlg&) = delete;
    CCardMissingDlg& operator=(const CCardMissingDlg&) = delete;

    // 0 at once while the screen is shown already; otherwise runs it until
    // the card is back and returns whether it ended with a non-zero result.
    BOOL DoModal(HINSTANCE instance, HWND parent);
    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    int m_busy;
    HINSTANCE m_hInstance;
    int m_textX;
    int m_textY;
    BOOL m_cardPresent;
    CProgramFolder m_folder;
    // The dialog window while the screen is shown.
    HWND m_hWnd;

private:
    void Paint(HWND hwnd);
    HBITMAP m_picture;
};

extern CCardMissingDlg* g_cardMissingDlg;

class CCardWatch {
public:
    CCardWatch();
    // Stops and joins the thread.
    ~CCardWatch();
    CCardWatch(const CCardWatch&) = delete;
    CCardWatch& operator=(const CCardWatch&) = delete;

    // Nothing happens while the watch runs. Otherwise keeps both and starts
    // the watch thread. Called on the user-interface thread.
    void Start(HINSTANCE instance, HWND owner);
    // Ends the watch: the thread is woken, released from a wait for the
    // screen, and joined; an open card-missing screen is closed.
    void Stop();
    // Whether the watch thread runs (for tests).
    bool ThreadRunning() const { return m_thread != nullptr; }
    // Card tests made since the object was built (for tests).
    unsigned TestsMade() const { return m_tests.load(); }
    // Requests for the screen the watch thread posted and then waited on
    // (for tests).
    unsigned RequestsPosted() const { return m_requests.load(); }
    // Watch threads whose procedure has begun and not yet returned (for
    // tests: never more than one, none after a Stop).
    int ThreadsAlive() const { return m_alive.load(); }

    HINSTANCE m_hInstance;
    HWND m_hOwner;
    std::atomic<BYTE> m_run;
    std::atomic<BYTE> m_cardPresent;
    CProgramFolder m_folder;

private:
    static UINT CardWatchThreadProc(LPVOID param);
    static LRESULT CALLBACK RequestWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // On the user-interface thread: shows the screen for a request of the
    // watch thread, unless the request is out of date.
    void ShowScreen(unsigned generation);

    CWinThread* m_thread;
    HANDLE m_wake;        // set by Stop
    HANDLE m_screenDone;  // set when a requested screen has closed (or by Stop)
    HWND m_requestWindow;
    std::atomic<unsigned> m_generation;
    std::atomic<unsigned> m_tests;
    std::atomic<unsigned> m_requests;
    std::atomic<int> m_alive;
    CCardMissingDlg m_screen;
};
