/* Message windows: thread-owned windows with a replaceable window procedure,
 * synchronous send and asynchronous post, as the library and its clients use
 * them.
 *
 * Rules:
 *  - A window belongs to the thread that created it.
 *  - SendMessageA from the owner thread calls the procedure directly. From any
 *    other thread it queues the message for the owner and blocks until the
 *    owner has run the procedure; the procedure's result is returned. While a
 *    thread is blocked in SendMessageA it still runs messages sent to its own
 *    windows, so two threads sending to each other do not deadlock.
 *  - PostMessageA queues the message and returns at once.
 *  - The owner runs queued messages when it calls QzDispatchMessages (sent
 *    messages first, then posted ones, each kind in arrival order), inside
 *    QzRunMessageLoop, or, for sent messages only, while it waits in
 *    QzMsgWaitForFd or SendMessageA.
 *  - Destroying a window releases every sender blocked on it with result 0,
 *    drops its posted messages, and later sends to it return 0 at once.
 *  - A send or post does not allocate memory: a blocked sender's message lives
 *    on its own stack. (Posting allocates one queue node.)
 *
 * The names that exist in user32 have the same meaning there; the Qz* names
 * are this layer's own. */
#ifndef QZ_PLATFORM_MSGWINDOW_H
#define QZ_PLATFORM_MSGWINDOW_H

#include "platform/win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifndef _WIN32
typedef struct QzWindow* HWND;
typedef LRESULT (*WNDPROC)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

#define GWLP_WNDPROC (-4)

/* Sends a message and waits for the procedure's result (see rules above).
 * Returns 0 for a null or destroyed window. */
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

/* Queues a message for the owner thread. FALSE for a null or destroyed
 * window. */
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

/* Replaces the window procedure (index GWLP_WNDPROC only) and returns the
 * previous one as a LONG_PTR, or 0 on failure. */
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR newValue);

/* Returns the window procedure (index GWLP_WNDPROC only), or 0. */
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);

/* Calls the given procedure; a null procedure gives 0. */
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

/* Destroys the window (from any thread). FALSE if it was not a live window. */
BOOL DestroyWindow(HWND hwnd);

/* TRUE while the window exists. */
BOOL IsWindow(HWND hwnd);

/* Default procedure: ignores the message and returns 0. */
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
#endif /* !_WIN32 */

/* Creates a message-only window owned by the calling thread. */
HWND QzCreateMessageWindow(WNDPROC proc);

/* The calling thread's wake descriptor: readable exactly while messages wait
 * for this thread. Valid for the thread's life; never close it. Returns -1
 * only when the descriptor cannot be created. */
int QzMessageWakeFd(void);

/* Runs every message pending for the calling thread's windows: sent messages
 * first, then posted ones. Messages that arrive meanwhile are run too. Returns
 * the number of messages run. */
int QzDispatchMessages(void);

/* A small blocking loop for programs without another event loop: dispatches
 * messages until QzQuitMessageLoop is called on this thread. Returns the exit
 * code passed to QzQuitMessageLoop. */
int QzRunMessageLoop(void);

/* Makes the calling thread's QzRunMessageLoop return exitCode after the
 * message being run. */
void QzQuitMessageLoop(int exitCode);

/* Waits until fd is readable or timeoutMs has passed (-1: no limit), running
 * meanwhile the messages that other threads send to the calling thread's
 * windows (posted messages stay queued). Returns 1 when fd became readable,
 * 0 on time-out, -1 on error (errno set). */
int QzMsgWaitForFd(int fd, int timeoutMs);

#ifdef __cplusplus
}
#endif

#endif /* QZ_PLATFORM_MSGWINDOW_H */
