/* qzlink: the camera link library for QT-R90x, QT-R90xN and QT-R7 pan/tilt/zoom
 * cameras on an RS-232C line (several cameras in a cascade on one line).
 *
 * Built as libqzlink.so; the same library is also available as libqzlinke.so.
 *
 * CALLING ORDER
 *   1. QzOpen(window, port, baud, byteSize, parity, stopBits) opens the one
 *      session of the process on COM<port>. On 0, QzGetLastError says why.
 *   2. Command functions send one frame each and return 1 once it has left
 *      the line (0 otherwise; QzGetLastError says why). They never wait for the camera:
 *      a QzGet... function only sends its query.
 *   3. Each frame the camera sends is filed under a sequence number and, for
 *      answers and notifications, announced to the window with AckRxMessage
 *      or NotifyRxMessage (wParam: the kind; lParam: the sequence number).
 *      Fetch it with QzGetMsg (or QzGetMsgVB and QzPicMsgVB) in the handler.
 *   4. QzGetLastCmdstr (or QzGetLastCmdstrVB and QzPicLastCmdVB) shows the
 *      last command built or sent.
 *   5. QzClose before the program ends or opens another port.
 *
 * THREADING
 *   All calls are meant to come from one client thread: the one that created
 *   the window passed to QzOpen. The library's own reader thread announces
 *   each frame with SendMessageA, so the window procedure runs on the thread
 *   that created the window, inside that thread's message dispatch
 *   (QzDispatchMessages, QzRunMessageLoop, or a wait such as QzMsgWaitForFd),
 *   while the reader waits for it to return. From there the procedure may
 *   fetch the frame (QzGetMsg, QzGetMsgVB, QzPicMsgVB) and send further
 *   commands; frames arriving meanwhile are filed after it returns. It may
 *   also call QzClose. QzClose returns only after the reader thread has ended;
 *   while it waits it runs the messages sent to the calling thread, so it does
 *   not deadlock against a reader that is sending to it.
 *
 * SERIAL PORTS
 *   COM<n> (n = 1 to 9) is looked up at every QzOpen, the first of these
 *   that is set and not empty:
 *     1. the environment variable QZLINK_COM<n>;
 *     2. the text value "COM<n>" under the key
 *        HKEY_CURRENT_USER\Software\Orveda\QZLINK\Ports of the per-user
 *        settings store (${XDG_CONFIG_HOME:-$HOME/.config}/qzlink/registry.reg,
 *        or the file that QZLINK_REGISTRY names); a store that cannot be read
 *        holds no mapping;
 *     3. /dev/ttyS<n-1>.
 *   The target is a device path (a node, or a symbolic link to one such as
 *   /dev/serial/by-id/usb-...) or an rfc2217:// address of a port on a
 *   device server. The first target found is the one opened: a mapping to a
 *   device that is not there fails with ENOENT and never falls through to the
 *   next source. "qzcli --set-port N TARGET", "qzcli --clear-port N" and the
 *   application's Ports dialog change the stored mapping;
 *   "qzcli --list-ports" shows each port's target and where it came from.
 *   The device is opened for exclusive use: while a session is open
 *   its process holds an exclusive advisory lock (flock) on the device.
 *   Busy (QzOpen fails with ERR_SYSTEM and EBUSY) means exactly:
 *     - a live process holds that lock: a session of this library in another
 *       process, or another program that takes the same lock; or
 *     - another program has put the terminal in exclusive mode (TIOCEXCL).
 *   The lock ends with the process that holds it, however that ends (QzClose,
 *   exit, any signal, a crash), so the next open from any process succeeds at
 *   once. The library never sets the terminal's exclusive mode itself: that
 *   would outlive a killed client wherever something else keeps the terminal
 *   open (a pseudo-terminal's master).
 *   A device without modem lines (a pseudo-terminal) counts as asserting CTS.
 *   One and a half stop bits are sent as two. QZLINK_TRACE=<file> (or "-")
 *   traces every frame.
 *
 * NETWORK PORTS
 *   A COM<n> whose target is rfc2217://HOST:PORT reaches a serial line on a device
 *   server (RFC 2217). Whatever the server sends, a command keeps its write
 *   time-out and QzClose returns within 0.7 s. A server that floods the
 *   connection with telnet negotiation (faster than 4 KiB a second, once
 *   8 KiB have piled up) is read at most once every 20 ms, and after 1 s of
 *   that without data the connection is dropped as ECONNRESET, as a server
 *   that vanished.
 *
 * A LOST LINE
 *   When the line fails while a session is open, the reader stops: a device
 *   that hangs up (the peer of a pseudo-terminal closes, a USB adapter is
 *   unplugged) gives EIO; a network connection that the server ends or
 *   resets, or that is dropped, gives ECONNRESET or EPIPE (ETIMEDOUT once
 *   TCP gives up on a network that stopped answering). From then until
 *   QzClose, QzGetLinkState gives that code negated, every command fails
 *   with ERR_SYSTEM and that code, and nothing more is announced. QzClose
 *   works as usual, and a new QzOpen may find the device back.
 *
 * NAMES
 *   Three exports carry decorated names on Windows (_QzGetStatus@0,
 *   _QzGetLastError@4, _QzGet2ByteStatus@4). An ELF symbol cannot hold '@',
 *   so here they are QzGetStatus, QzGetLastError and QzGet2ByteStatus.
 *
 * LIMITS AND FAILURES
 *   - QzGetMsg copies at most 40 bytes (a filed frame is cut to 40 bytes) and
 *     QzGetLastCmdstr at most 50 bytes: their buffers must hold that much.
 *   - Received frames longer than 100 bytes keep their first 100 bytes until
 *     the terminator; they are filed with their first 40 bytes.
 *   - QzSetManualCommand with more than 50 bytes is refused: result 0,
 *     ERR_NONE, nothing sent, the last command unchanged.
 *   - QzPicMsgVB and QzPicLastCmdVB give 0 for an index outside 0 to 199.
 *   - Null pointers are tolerated: QzGetCmdstr with a null length pointer and
 *     QzGetLastError with a null code pointer write nothing through it.
 *   - QzOpen refuses port 0 and every port outside 1 to 9: result 0,
 *     ERR_PORT_BUSY, system code 0, nothing opened.
 *   - The system code that comes with ERR_SYSTEM is an errno value:
 *       EBADF      a command function with no session open;
 *       ENOENT     the device does not exist;
 *       EACCES     the user may not use the device;
 *       EBUSY      another live process holds the device (see SERIAL PORTS);
 *       EISDIR     the device path names a folder;
 *       ENAMETOOLONG  the device path is too long (longer than 255 bytes);
 *       ELOOP      the device path is a cycle of symbolic links;
 *       ENXIO      the device node has no device behind it;
 *       ENOTTY     the device is not a terminal;
 *       EINVAL     byte size, parity or stop bits outside the codes above, or
 *                  the driver did not take the speed, framing or CTS flow
 *                  control (a device without modem lines, such as a
 *                  pseudo-terminal, may go without flow control);
 *       ENODEV     the camera does not assert CTS;
 *       ETIMEDOUT  the frame had not left the line within the write time-out
 *                  (2 ms per byte at 9600 baud, 1 ms at 14400 and above),
 *                  for instance because the camera held CTS low: what was
 *                  left of it was discarded, and it counts as not sent;
 *       EIO        the line hung up or the device failed (see A LOST LINE);
 *       ECONNREFUSED, ECONNRESET, EPIPE  a network port's server refused,
 *                  ended or reset the connection, or it was dropped (see
 *                  NETWORK PORTS and A LOST LINE).
 */
#ifndef QZLINK_QZLINK_H
#define QZLINK_QZLINK_H

#include <stdint.h>

#include "platform/msgwindow.h"

/* Calling convention of every export: the Win32 standard convention on 32-bit
 * Windows, the platform's own elsewhere. */
#if defined(_WIN32) && !defined(_WIN64)
#define QZLINK_CALL __stdcall
#else
#define QZLINK_CALL
#endif

#if defined(QZLINK_BUILDING) && !defined(_WIN32)
#define QZLINK_API __attribute__((visibility("default")))
#else
#define QZLINK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Window messages sent to the client window; lParam is the sequence number. */
enum {
  AckRxMessage = 0x800A,   /* answer (first byte 0xFE), wParam 1 */
  NotifyRxMessage = 0x800B /* notification, wParam 1 to 5: 0xFA notify, 0xFD remote on,
                              0xFC remote off, 0xF8 global notify, 0xFB detect */
};

/* Error codes of QzGetLastError. */
enum {
  ERR_NONE = 0,       /* no error */
  ERR_SYSTEM = -1,    /* a system call failed, or no CTS at open; see the system code */
  ERR_BAUD_RATE = -2, /* QzOpen: baud rate other than 9600, 14400, 19200, 38400 */
  ERR_PORT_BUSY = -3  /* QzOpen: a session is open, or the port is in use or invalid */
};

/* ---- Session, raw commands, received frames, error state ---- */

/* Opens the session on COM<lPort> (1 to 9) at lBaudRate (9600, 14400, 19200
 * or 38400) with lByteSize (5 to 8), lParity (0 none, 1 odd, 2 even, 3 mark,
 * 4 space) and lStopBits (0 one, 1 one and a half, 2 two). Frames from the
 * camera are announced to hWnd. 1 when open, 0 otherwise. */
QZLINK_API int32_t QZLINK_CALL QzOpen(HWND hWnd, int32_t lPort, int32_t lBaudRate,
                                      int32_t lByteSize, int32_t lParity, int32_t lStopBits);
/* Closes the session; returns after the reader thread has ended. Every frame
 * reported as sent has been delivered to the line. Always 1. */
QZLINK_API int32_t QZLINK_CALL QzClose(void);
/* Builds command identifier lCommandId (see the command functions below) with
 * the stored parameters for camera lUnit and sends it. Does not clear the
 * error state first. 1 or 0. */
QZLINK_API int32_t QZLINK_CALL QzSendCmd(int32_t lCommandId, int32_t lUnit);
/* Builds without sending. Returns the library's command buffer (valid until
 * the next build or send) and its length in *pLength, or null and 0. */
QZLINK_API const uint8_t* QZLINK_CALL QzGetCmdstr(int32_t lCommandId, int32_t lUnit,
                                                  int32_t* pLength);
/* Sends lCount raw bytes (1 to 50) from pBytes as they are. 1 or 0. */
QZLINK_API int32_t QZLINK_CALL QzSetManualCommand(const uint8_t* pBytes, int32_t lCount);
/* Copies the last command built or sent (at most 50 bytes) to pBuffer; its
 * length. */
QZLINK_API int32_t QZLINK_CALL QzGetLastCmdstr(uint8_t* pBuffer);
/* Copies the last command to the library's 200-byte last-command copy; its
 * length. */
QZLINK_API int32_t QZLINK_CALL QzGetLastCmdstrVB(void);
/* Byte lIndex (0 to 199) of the last-command copy; 0 outside. */
QZLINK_API uint8_t QZLINK_CALL QzPicLastCmdVB(int32_t lIndex);
/* Copies the frame filed under sequence number lSequence (at most 40 bytes)
 * to pBuffer; its length, or 0 when no longer filed (the error state is
 * unchanged). */
QZLINK_API int32_t QZLINK_CALL QzGetMsg(int32_t lSequence, uint8_t* pBuffer);
/* As QzGetMsg, into the library's 200-byte message copy. */
QZLINK_API int32_t QZLINK_CALL QzGetMsgVB(int32_t lSequence);
/* Byte lIndex (0 to 199) of the message copy; 0 outside. */
QZLINK_API uint8_t QZLINK_CALL QzPicMsgVB(int32_t lIndex);
/* The error code of the last failure; *pSystemCode receives the system code
 * that came with ERR_SYSTEM, else 0. (_QzGetLastError@4 on Windows.) */
QZLINK_API int32_t QZLINK_CALL QzGetLastError(int32_t* pSystemCode);
/* The modem status word (0x10 CTS, 0x20 DSR, 0x40 ring, 0x80 RLSD); with no
 * port open, the last word read. (_QzGetStatus@0 on Windows.) */
QZLINK_API int32_t QZLINK_CALL QzGetStatus(void);

/* ---- Command functions ----
 * Each sends one frame and returns 1 once it has left the line, 0 otherwise
 * (QzGetLastError tells why). lUnit is the camera address 0
 * to 9 (any other value addresses '0'). Below, each function lists per
 * selector value (lMode) or for its one template: the command identifier
 * (for QzSendCmd and QzGetCmdstr) and, in parentheses, the frame bytes in hex
 * from the command byte on. Every frame starts FF 30, the address character ('0' +
 * lUnit) and 00, and ends with EF; value arguments follow as the digits
 * given. A selector outside its listed values sends nothing: 0 with
 * ERR_NONE. Value arguments are kept as the parameters of later QzSendCmd
 * and QzGetCmdstr builds, even when nothing is sent; a value whose digits do
 * not fit its field sends nothing (0 with ERR_NONE). Decimal fields also take
 * -1 to -9, sent as a minus sign and a digit. QzGet2ByteStatus is
 * _QzGet2ByteStatus@4 on Windows. */
/* QzGet2ByteStatus: sends command 196 (86 32). */
QZLINK_API int32_t QZLINK_CALL QzGet2ByteStatus(int32_t lUnit);
/* QzGet4ByteStatus: sends command 195 (86 31). */
QZLINK_API int32_t QZLINK_CALL QzGet4ByteStatus(int32_t lUnit);
/* QzSetCmdMode: lMode 0: 120 (90 30); 1: 121 (90 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetCmdMode(int32_t lUnit, int32_t lMode);
/* QzSetCascade: lMode 0: 118 (8F 30); 1: 119 (8F 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetCascade(int32_t lUnit, int32_t lMode);
/* QzSetMotorSpeed: lMode 0: 59 (50); 1: 60 (51); other values send nothing (result 0); each
 * frame continues with lSpeed as 3 hex digits (0 to 0xFFF). */
QZLINK_API int32_t QZLINK_CALL QzSetMotorSpeed(int32_t lUnit, int32_t lMode, int32_t lSpeed);
/* QzGetMotorSpeed: lMode 0: 61 (52 30); 1: 62 (52 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzGetMotorSpeed(int32_t lUnit, int32_t lMode);
/* QzSetPanTilt1: lMode 0: 63 (53 30); 1: 64 (53 31); 2: 65 (53 32); 3: 66 (53 33); 4: 67
 * (53 34); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetPanTilt1(int32_t lUnit, int32_t lMode);
/* QzGotoHomePosition: sends command 69 (57). */
QZLINK_API int32_t QZLINK_CALL QzGotoHomePosition(int32_t lUnit);
/* QzPedestalInitialize: lMode 0: 70 (58 30); 1: 71 (58 31); other values send nothing
 * (result 0). */
QZLINK_API int32_t QZLINK_CALL QzPedestalInitialize(int32_t lUnit, int32_t lMode);
/* QzGetLimitSpeed: lMode 0: 72 (59 30); 1: 73 (59 31); 2: 74 (59 32); 3: 75 (59 33); other
 * values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzGetLimitSpeed(int32_t lUnit, int32_t lMode);
/* QzGetLimitAngle: lMode 0: 78 (5C 30); 1: 79 (5C 31); 2: 80 (5C 32); 3: 81 (5C 33); other
 * values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzGetLimitAngle(int32_t lUnit, int32_t lMode);
/* QzGetGearRatio: lMode 0: 76 (5B 30); 1: 77 (5B 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzGetGearRatio(int32_t lUnit, int32_t lMode);
/* QzSetPanTilt2: lMode 0: 82 (60 30 30); 1: 83 (60 30 31); 2: 84 (60 30 32); 3: 85 (60 31 30);
 * 4: 86 (60 32 30); 5: 87 (60 31 31); 6: 88 (60 31 32); 7: 89 (60 32 31); 8: 90 (60 32 32);
 * other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetPanTilt2(int32_t lUnit, int32_t lMode);
/* QzSetPTAngle2: sends command 92 (62), then lAngle1 as 4 hex digits of its low 16 bits
 * (any value), then lAngle2 as 4 hex digits of its low 16 bits (any value). */
QZLINK_API int32_t QZLINK_CALL QzSetPTAngle2(int32_t lUnit, int32_t lAngle1, int32_t lAngle2);
/* QzGetPTAngle2: sends command 93 (63). */
QZLINK_API int32_t QZLINK_CALL QzGetPTAngle2(int32_t lUnit);
/* QzSetPTAngle1: lMode 0: 94 (64 30); 1: 95 (64 31); other values send nothing (result 0); each
 * frame continues with lAngle1 as 4 hex digits of its low 16 bits (any value), then lAngle2 as 4
 * hex digits of its low 16 bits (any value). */
QZLINK_API int32_t QZLINK_CALL QzSetPTAngle1(int32_t lUnit, int32_t lMode, int32_t lAngle1,
                                             int32_t lAngle2);
/* QzGetPTAngle1: lMode 0: 96 (65 30); 1: 97 (65 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzGetPTAngle1(int32_t lUnit, int32_t lMode);
/* QzSetIRRemote: lMode 0: 102 (80 30); 1: 103 (80 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetIRRemote(int32_t lUnit, int32_t lMode);
/* QzGetExtendedOperateStatus: sends command 147 (86 30). */
QZLINK_API int32_t QZLINK_CALL QzGetExtendedOperateStatus(int32_t lUnit);
/* QzGetOperateStatus: sends command 104 (86). */
QZLINK_API int32_t QZLINK_CALL QzGetOperateStatus(int32_t lUnit);
/* QzGetUnitName: sends command 106 (87). */
QZLINK_API int32_t QZLINK_CALL QzGetUnitName(int32_t lUnit);
/* QzGetRomVersion: sends command 107 (88). */
QZLINK_API int32_t QZLINK_CALL QzGetRomVersion(int32_t lUnit);
/* QzSetPresetMemory: sends command 108 (89), then lMemory as 1 hex digit (0 to 0xF). */
QZLINK_API int32_t QZLINK_CALL QzSetPresetMemory(int32_t lUnit, int32_t lMemory);
/* QzGoToPreset: sends command 109 (8A), then lMemory as 1 hex digit (0 to 0xF). */
QZLINK_API int32_t QZLINK_CALL QzGoToPreset(int32_t lUnit, int32_t lMemory);
/* QzGetExtendPreset: sends command 148 (8B 30). */
QZLINK_API int32_t QZLINK_CALL QzGetExtendPreset(int32_t lUnit);
/* QzGetPresetStatus: sends command 110 (8B). */
QZLINK_API int32_t QZLINK_CALL QzGetPresetStatus(int32_t lUnit);
/* QzRemoteCommandPass: lMode 0: 113 (8D 30); 1: 114 (8D 31); other values send nothing
 * (result 0). */
QZLINK_API int32_t QZLINK_CALL QzRemoteCommandPass(int32_t lUnit, int32_t lMode);
/* QzSetLed: lMode 0: 164 (8E 30); 1: 165 (8E 31); 2: 166 (8E 32); 3: 167 (8E 33); 4: 168
 * (8E 34); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetLed(int32_t lUnit, int32_t lMode);
/* QzSetOnScreen: lMode 0: 122 (91 30 30); 1: 123 (91 30 31); 2: 124 (91 30 32); 3: 125
 * (91 30 33); 4: 126 (91 30 34); 5: 127 (91 30 35); 6: 128 (91 30 36); 7: 129 (91 30 37); 8: 130
 * (91 30 38); 9: 131 (91 30 39); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetOnScreen(int32_t lUnit, int32_t lMode);
/* QzSetTitleString: sends command 132 (91 31), then lx as 2 hex digits (0 to 0xFF), then ly as 1
 * hex digit (0 to 0xF), then lCharacter as 2 hex digits (0 to 0xFF). */
QZLINK_API int32_t QZLINK_CALL QzSetTitleString(int32_t lUnit, int32_t lx, int32_t ly,
                                                int32_t lCharacter);
/* QzGetTitleString: sends command 133 (91 32), then lx as 2 hex digits (0 to 0xFF), then ly as 1
 * hex digit (0 to 0xF). */
QZLINK_API int32_t QZLINK_CALL QzGetTitleString(int32_t lUnit, int32_t lx, int32_t ly);
/* QzSetDate: sends command 134 (91 33), then lYear as 2 decimal digits (0 to 99), then lMoon as
 * 2 decimal digits (0 to 99), then lDay as 2 decimal digits (0 to 99). */
QZLINK_API int32_t QZLINK_CALL QzSetDate(int32_t lUnit, int32_t lYear, int32_t lMoon, int32_t lDay);
/* QzGetDate: sends command 135 (91 34). */
QZLINK_API int32_t QZLINK_CALL QzGetDate(int32_t lUnit);
/* QzSetTime: sends command 136 (91 35), then lHour as 2 decimal digits (0 to 99), then lMinutes
 * as 2 decimal digits (0 to 99), then lSecond as 2 decimal digits (0 to 99). */
QZLINK_API int32_t QZLINK_CALL QzSetTime(int32_t lUnit, int32_t lHour, int32_t lMinutes,
                                         int32_t lSecond);
/* QzGetTime: sends command 137 (91 36). */
QZLINK_API int32_t QZLINK_CALL QzGetTime(int32_t lUnit);
/* QzGetCameraTime: sends command 138 (92 30). */
QZLINK_API int32_t QZLINK_CALL QzGetCameraTime(int32_t lUnit);
/* QzGetPTTime: sends command 139 (92 31). */
QZLINK_API int32_t QZLINK_CALL QzGetPTTime(int32_t lUnit);
/* QzSetDefault: sends command 140 (93 30). */
QZLINK_API int32_t QZLINK_CALL QzSetDefault(int32_t lUnit);
/* QzSetNotify: lMode 0: 155 (94 30); 1: 156 (94 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetNotify(int32_t lUnit, int32_t lMode);
/* QzSetGlobalNotify: lMode 0: 157 (95 30); 1: 158 (95 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetGlobalNotify(int32_t lUnit, int32_t lMode);
/* QzSetCameraPower: lMode 0: 2 (A0 30); 1: 3 (A0 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetCameraPower(int32_t lUnit, int32_t lMode);
/* QzSetFocusMode: lMode 0: 4 (A1 30); 1: 5 (A1 31); 2: 6 (A1 32); 3: 7 (A1 33); other values
 * send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetFocusMode(int32_t lUnit, int32_t lMode);
/* QzSetZooming: lMode 0: 11 (A2 30); 1: 12 (A2 31); 2: 13 (A2 32); 3: 14 (A2 33); 4: 15 (A2 34);
 * other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetZooming(int32_t lUnit, int32_t lMode);
/* QzSetZoomPosition: sends command 16 (A3), then lPos as 2 hex digits (0 to 0xFF). */
QZLINK_API int32_t QZLINK_CALL QzSetZoomPosition(int32_t lUnit, int32_t lPos);
/* QzGetZoomPosition: sends command 17 (A4). */
QZLINK_API int32_t QZLINK_CALL QzGetZoomPosition(int32_t lUnit);
/* QzSetBackLight: lMode 0: 22 (A5 30); 1: 23 (A5 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetBackLight(int32_t lUnit, int32_t lMode);
/* QzSetExposed: lMode 0: 24 (A5 32); 1: 25 (A5 33); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetExposed(int32_t lUnit, int32_t lMode);
/* QzSetAELock: lMode 0: 159 (A5 34 30); 1: 160 (A5 34 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetAELock(int32_t lUnit, int32_t lMode);
/* QzSetShutterSpeedx: sends command 149 (A5 35), then lSpeed as 2 hex digits (0 to 0xFF). */
QZLINK_API int32_t QZLINK_CALL QzSetShutterSpeedx(int32_t lUnit, int32_t lSpeed);
/* QzGetShutterSpeed: sends command 28 (A5 36). */
QZLINK_API int32_t QZLINK_CALL QzGetShutterSpeed(int32_t lUnit);
/* QzSetAGCGain: sends command 31 (A5 37), then lGain as 2 hex digits (0 to 0xFF). */
QZLINK_API int32_t QZLINK_CALL QzSetAGCGain(int32_t lUnit, int32_t lGain);
/* QzGetAGCGain: sends command 32 (A5 38). */
QZLINK_API int32_t QZLINK_CALL QzGetAGCGain(int32_t lUnit);
/* QzSetIris: sends command 33 (A5 39), then lIris as 2 hex digits (0 to 0xFF). */
QZLINK_API int32_t QZLINK_CALL QzSetIris(int32_t lUnit, int32_t lIris);
/* QzGetIris: sends command 34 (A5 3A). */
QZLINK_API int32_t QZLINK_CALL QzGetIris(int32_t lUnit);
/* QzSetAEVal: sends command 35 (A5 3B), then lAEVal as 2 hex digits (0 to 0xFF). */
QZLINK_API int32_t QZLINK_CALL QzSetAEVal(int32_t lUnit, int32_t lAEVal);
/* QzGetAEVal: sends command 36 (A5 3C). */
QZLINK_API int32_t QZLINK_CALL QzGetAEVal(int32_t lUnit);
/* QzSetWhiteBalance: lMode 0: 150 (A7 30); 1: 151 (A7 31); 2: 39 (A7 32); 3: 40 (A7 33); other
 * values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetWhiteBalance(int32_t lUnit, int32_t lMode);
/* QzSetWhiteBalanceMx: sends command 41 (A7 34), then lGain as 2 hex digits (0 to 0xFF). */
QZLINK_API int32_t QZLINK_CALL QzSetWhiteBalanceMx(int32_t lUnit, int32_t lGain);
/* QzGetWhiteBalance: sends command 42 (A7 35). */
QZLINK_API int32_t QZLINK_CALL QzGetWhiteBalance(int32_t lUnit);
/* QzSetShutterSpeed: lMode 0: 26 (A8 30); 1: 29 (A8 31); 2: 30 (A8 32); other values send
 * nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetShutterSpeed(int32_t lUnit, int32_t lMode);
/* QzSetFading: lMode 0: 44 (A9 30); 1: 45 (A9 31); 2: 46 (A9 32); 3: 47 (A9 33); other values
 * send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzSetFading(int32_t lUnit, int32_t lMode);
/* QzCameraReset: sends command 48 (AA). */
QZLINK_API int32_t QZLINK_CALL QzCameraReset(int32_t lUnit);
/* QzGetZoomRatio: sends command 49 (AB). */
QZLINK_API int32_t QZLINK_CALL QzGetZoomRatio(int32_t lUnit);
/* QzGetCCDSize: sends command 50 (AC). */
QZLINK_API int32_t QZLINK_CALL QzGetCCDSize(int32_t lUnit);
/* QzSetFocusPosition: sends command 8 (B0), then lFocusPos as 4 hex digits (0 to 0xFFFF). */
QZLINK_API int32_t QZLINK_CALL QzSetFocusPosition(int32_t lUnit, int32_t lFocusPos);
/* QzGetFocusPosition: sends command 9 (B1 30). */
QZLINK_API int32_t QZLINK_CALL QzGetFocusPosition(int32_t lUnit);
/* QzSetOnePushAF: sends command 10 (B1 31). */
QZLINK_API int32_t QZLINK_CALL QzSetOnePushAF(int32_t lUnit);
/* QzGetFocusRange: sends command 152 (B1 32). */
QZLINK_API int32_t QZLINK_CALL QzGetFocusRange(int32_t lUnit);
/* QzSetZoomPosition4: sends command 18 (B3), then lPos as 4 hex digits (0 to 0xFFFF). */
QZLINK_API int32_t QZLINK_CALL QzSetZoomPosition4(int32_t lUnit, int32_t lPos);
/* QzGetZoomPosition4: sends command 19 (B4 30). */
QZLINK_API int32_t QZLINK_CALL QzGetZoomPosition4(int32_t lUnit);
/* QzSetZoomSpeed: sends command 20 (B4 31), then lSpeed as 1 hex digit (0 to 0xF). */
QZLINK_API int32_t QZLINK_CALL QzSetZoomSpeed(int32_t lUnit, int32_t lSpeed);
/* QzGetZoomSpeed: sends command 21 (B4 32). */
QZLINK_API int32_t QZLINK_CALL QzGetZoomSpeed(int32_t lUnit);
/* QzGetZoomMax: sends command 53 (B4 33). */
QZLINK_API int32_t QZLINK_CALL QzGetZoomMax(int32_t lUnit);
/* QzGetCameraVersion: lMode 0: 57 (BE 30); 1: 58 (BE 31); other values send nothing (result 0). */
QZLINK_API int32_t QZLINK_CALL QzGetCameraVersion(int32_t lUnit, int32_t lMode);
/* QzGetPedestalModel: sends command 170 (9A 30). */
QZLINK_API int32_t QZLINK_CALL QzGetPedestalModel(int32_t lUnit);
/* QzGetCameraModel: sends command 171 (9A 31). */
QZLINK_API int32_t QZLINK_CALL QzGetCameraModel(int32_t lUnit);
/* QzSetPTAngle2ForQTR3: sends command 98 (61), then lAngle1 as 3 hex digits of its low 16 bits
 * (low 16 bits 0 to 0xFFF), then lAngle2 as 3 hex digits of its low 16 bits
 * (low 16 bits 0 to 0xFFF). */
QZLINK_API int32_t QZLINK_CALL QzSetPTAngle2ForQTR3(int32_t lUnit, int32_t lAngle1,
                                                    int32_t lAngle2);
/* QzGetPTAngle2ForQTR3: sends command 99 (61). */
QZLINK_API int32_t QZLINK_CALL QzGetPTAngle2ForQTR3(int32_t lUnit);
/* QzSetQTR3Pan: sends command 172 (54), then lAngle as 3 hex digits (0 to 0xFFF). */
QZLINK_API int32_t QZLINK_CALL QzSetQTR3Pan(int32_t lUnit, int32_t lAngle);
/* QzGetQTR3Pan: sends command 173 (56 30). */
QZLINK_API int32_t QZLINK_CALL QzGetQTR3Pan(int32_t lUnit);
/* QzSetQTR3Tilt: sends command 174 (55), then lAngle as 3 hex digits (0 to 0xFFF). */
QZLINK_API int32_t QZLINK_CALL QzSetQTR3Tilt(int32_t lUnit, int32_t lAngle);
/* QzGetQTR3Tilt: sends command 175 (56 31). */
QZLINK_API int32_t QZLINK_CALL QzGetQTR3Tilt(int32_t lUnit);
/* QzSetAlarmOutput: lMode 0: 176 (72 30); any other value 177 (72 31). */
QZLINK_API int32_t QZLINK_CALL QzSetAlarmOutput(int32_t lUnit, int32_t lMode);
/* QzGetAlarmOutput: sends command 178 (73). */
QZLINK_API int32_t QZLINK_CALL QzGetAlarmOutput(int32_t lUnit);
/* QzSetIrLight: sends command 179 (76), then lMode as 1 hex digit (0 to 0xF). */
QZLINK_API int32_t QZLINK_CALL QzSetIrLight(int32_t lUnit, int32_t lMode);
/* QzGetIrLight: sends command 180 (77). */
QZLINK_API int32_t QZLINK_CALL QzGetIrLight(int32_t lUnit);
/* QzSetExternalLight: lMode 0: 181 (78 30); any other value 182 (78 31). */
QZLINK_API int32_t QZLINK_CALL QzSetExternalLight(int32_t lUnit, int32_t lMode);
/* QzGetExternalLight: sends command 183 (79). */
QZLINK_API int32_t QZLINK_CALL QzGetExternalLight(int32_t lUnit);
/* QzGetLimitAngleForQTR3: sends command 184 (5A), then lMode as 1 hex digit (0 to 0xF). */
QZLINK_API int32_t QZLINK_CALL QzGetLimitAngleForQTR3(int32_t lUnit, int32_t lMode);
/* QzSetIrCutFilter: sends command 185 (B5), then lMode as 1 hex digit (0 to 0xF). */
QZLINK_API int32_t QZLINK_CALL QzSetIrCutFilter(int32_t lUnit, int32_t lMode);
/* QzGetIrCutFilter: sends command 186 (B6). */
QZLINK_API int32_t QZLINK_CALL QzGetIrCutFilter(int32_t lUnit);
/* QzSetElectronicZoom: sends command 187 (B7), then lMode as 2 decimal digits (0 to 99). */
QZLINK_API int32_t QZLINK_CALL QzSetElectronicZoom(int32_t lUnit, int32_t lMode);
/* QzGetElectronicZoom: sends command 188 (B8). */
QZLINK_API int32_t QZLINK_CALL QzGetElectronicZoom(int32_t lUnit);
/* QzSetNoiseReduction: sends command 189 (B9), then lMode as 1 hex digit (0 to 0xF). */
QZLINK_API int32_t QZLINK_CALL QzSetNoiseReduction(int32_t lUnit, int32_t lMode);
/* QzGetNoiseReduction: sends command 190 (BA). */
QZLINK_API int32_t QZLINK_CALL QzGetNoiseReduction(int32_t lUnit);
/* QzSetSensorInputDetectProp: sends command 191 (74), then lMode as 2 hex digits (0 to 0xFF). */
QZLINK_API int32_t QZLINK_CALL QzSetSensorInputDetectProp(int32_t lUnit, int32_t lMode);
/* QzGetSensorInputTerminalStat: sends command 192 (75). */
QZLINK_API int32_t QZLINK_CALL QzGetSensorInputTerminalStat(int32_t lUnit);
/* QzGetSensorInputDetectProp: sends command 193 (75 30). */
QZLINK_API int32_t QZLINK_CALL QzGetSensorInputDetectProp(int32_t lUnit);
/* QzGetBacklight: sends command 194 (A5 3F). */
QZLINK_API int32_t QZLINK_CALL QzGetBacklight(int32_t lUnit);

/* ---- The line's state ---- */

/* Whether the session's line works, for clients that show a lost link:
 *   1    a session is open and its reader receives;
 *   0    no session is open;
 *   < 0  the session is open but its line is lost and the reader has
 *        stopped: the system code of the failure, negated (-EIO,
 *        -ECONNRESET, -EPIPE, ...; see A LOST LINE). It stays so until
 *        QzClose.
 * Leaves the error state alone. */
QZLINK_API int32_t QZLINK_CALL QzGetLinkState(void);

#ifdef __cplusplus
}
#endif

#endif /* QZLINK_QZLINK_H */
