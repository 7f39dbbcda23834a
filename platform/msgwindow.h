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
 *  - Destroying a window (from any thread) releases every sender blocked on
 *    it with result 0, drops its posted messages, and later sends to it return
 *    0 at once, posts FALSE. A call of its procedure that is already running
 *    completes normally and its sender gets its result.
 *  - When the owner thread exits, its windows are destroyed in the same way.
 *  - A handle stays safe to pass after its window is gone: handles are never
 *    reused, and a stale one is simply refused.
 *  - A send does not allocate memory: a blocked sender's message lives on its
 *    own stack. Posting allocates one queue node.
 *  - Procedures run with no lock of this layer held: they may send, post,
 *    create and destroy windows.
 *
 * The names that exist in user32 have the same meaning there; the Qz* names
 * are this layer's own. On Windows the names are user32's own, and the Qz*
 * helpers work on user32 windows (msgwindow_win32.cpp); the wake descriptor
 * has a handle wait in its place. */
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
 * previous one as a LONG_PTR, or 0 on failure (wrong index, dead window, or a
 * null new procedure, which is refused). Messages run after the call reach the
 * new procedure, also those already queued. */
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR newValue);

/* Returns the window procedure (index GWLP_WNDPROC only), or 0. */
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);

/* Calls the given procedure; a null procedure gives 0. */
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

/* Destroys the window (from any thread). FALSE if it was not a live window. */
BOOL DestroyWindow(HWND hwnd);

/* TRUE while the window exists. */
BOOL IsWindow(HWND hwnd);

/* TRUE when the calling thread is running a window procedure for a message
 * that another thread sent and that has not been replied to yet. */
BOOL InSendMessage(void);

/* Replies to the message that another thread sent and that the calling
 * thread is running now: the sender gets result at once and goes on, and the
 * procedure's own return value is then ignored. FALSE when there is no such
 * message (or it was already replied to). */
BOOL ReplyMessage(LRESULT result);

/* Default procedure: ignores the message and returns 0. */
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
#endif /* !_WIN32 */

/* Creates a message-only window owned by the calling thread. NULL for a null
 * procedure or when the thread's wake descriptor cannot be created. */
HWND QzCreateMessageWindow(WNDPROC proc);

/* Runs the messages pending for the calling thread's windows: sent messages
 * first (before each posted one), then posted ones. Sent messages that arrive
 * meanwhile are run too; posted messages that arrive meanwhile are left for the
 * next call (the wake descriptor stays readable), so a procedure that keeps
 * posting to itself cannot hold the thread. Returns the number of messages
 * run. */
int QzDispatchMessages(void);

/* A small blocking loop for programs without another event loop: waits on the
 * wake descriptor and dispatches messages until QzQuitMessageLoop is called on
 * this thread. Returns the exit code passed to QzQuitMessageLoop, or -1 when
 * the wake descriptor cannot be created or polled. */
int QzRunMessageLoop(void);

/* Makes the calling thread's QzRunMessageLoop return exitCode after the
 * message being run; the messages after it stay queued. Called when no loop
 * runs, it makes the next QzRunMessageLoop on this thread return at once. */
void QzQuitMessageLoop(int exitCode);

#ifndef _WIN32
/* An identity of the calling thread for QzInSendMessageFrom, the same for the
 * thread's whole life; NULL only while the thread is ending. */
const void* QzCurrentThreadToken(void);

/* TRUE when InSendMessage() holds and the message being run was sent by the
 * thread whose QzCurrentThreadToken is threadToken. Lets a procedure reply
 * early to one particular thread's message only. */
BOOL QzInSendMessageFrom(const void* threadToken);

/* The calling thread's wake descriptor: readable exactly while messages wait
 * for this thread. Valid for the thread's life; never close it. Returns -1
 * only when the descriptor cannot be created. */
int QzMessageWakeFd(void);

/* Waits until fd is readable or timeoutMs has passed (negative: no limit),
 * running meanwhile the messages that other threads send to the calling
 * thread's windows (posted messages stay queued). Returns 1 when fd became
 * readable (or hung up), 0 on time-out, -1 on error (errno set; EBADF for a
 * bad fd). Interrupted waits are resumed. A thread closing a worker that may
 * be blocked sending to it waits here on the worker's exit eventfd, then joins
 * it. */
int QzMsgWaitForFd(int fd, int timeoutMs);

#else
/* Waits until handle is signalled or timeoutMs has passed (negative: no
 * limit), running meanwhile the messages that other threads send to the
 * calling thread's windows (posted messages stay queued). Returns 1 when the
 * handle was signalled, 0 on time-out, -1 on error (GetLastError tells). */
int QzMsgWaitForHandle(HANDLE handle, int timeoutMs);

/* Waits until a message (sent or posted) is waiting for the calling thread or
 * timeoutMs has passed; runs the sent ones meanwhile. Returns 1 when messages
 * wait, 0 on time-out. */
int QzWaitForMessages(int timeoutMs);
#endif /* _WIN32 */

#ifdef __cplusplus
}
#endif

#endif /* QZ_PLATFORM_MSGWINDOW_H */
