/* qzlink: the camera link library for QT-R90x, QT-R90xN and QT-R7 pan/tilt/zoom
 * cameras on an RS-232C line (several cameras in a cascade on one line).
 *
 * Built as libqzlink.so; the same library is also available as libqzlinke.so.
 *
 * CALLING ORDER
 *   1. QzOpen(window, port, baud, byteSize, parity, stopBits) opens the one
 *      session of the process on COM<port>. On 0, QzGetLastError says why.
 *   2. Command functions send one frame each and return 1 once it is written
 *      (0 otherwise; QzGetLastError says why). They never wait for the camera:
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
 *   COM<n> is the device named by the environment variable QZLINK_COM<n>, or
 *   /dev/ttyS<n-1>. It is opened for exclusive use. A device without modem
 *   lines (a pseudo-terminal) counts as asserting CTS. One and a half stop
 *   bits are sent as two. QZLINK_TRACE=<file> (or "-") traces every frame.
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
 *   - QzOpen with a port outside 0 to 9 gives 0, ERR_PORT_BUSY, system code 0.
 *   - The system code that comes with ERR_SYSTEM is an errno value:
 *       EBADF      a command function with no session open;
 *       ENOENT     the device does not exist;
 *       EACCES     the user may not use the device;
 *       EBUSY      another program holds the device;
 *       ENOTTY     the device is not a terminal;
 *       EINVAL     byte size, parity or stop bits outside the codes above;
 *       ENODEV     the camera does not assert CTS;
 *       ETIMEDOUT  the write time-out (2 ms per byte at 9600 baud, 1 ms at
 *                  14400 and 19200, none at 38400) cut a frame short: such a
 *                  frame counts as not sent;
 *       EIO        the line hung up or the device failed. The reader then
 *                  stops; the session stays open until QzClose, and every
 *                  write fails with that code.
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

/* ---- Session and raw commands ---- */

/* Opens the session on COM<port> (1 to 9). 1 when open, 0 otherwise. */
QZLINK_API int32_t QZLINK_CALL QzOpen(HWND hwnd, int32_t port, int32_t baudRate, int32_t byteSize,
                                      int32_t parity, int32_t stopBits);
/* Closes the session; returns after the reader thread has ended. Always 1. */
QZLINK_API int32_t QZLINK_CALL QzClose(void);
/* Builds command identifier commandId with the stored parameters and sends it.
 * Does not clear the error state first. 1 or 0. */
QZLINK_API int32_t QZLINK_CALL QzSendCmd(int32_t commandId, int32_t unit);
/* Builds without sending. Returns the library's command buffer (valid until
 * the next build or send) and its length in *length, or null and 0. */
QZLINK_API const uint8_t* QZLINK_CALL QzGetCmdstr(int32_t commandId, int32_t unit, int32_t* length);
/* Sends count raw bytes (1 to 50) as they are. 1 or 0. */
QZLINK_API int32_t QZLINK_CALL QzSetManualCommand(const uint8_t* bytes, int32_t count);
/* Copies the last command (at most 50 bytes) to buffer; its length. */
QZLINK_API int32_t QZLINK_CALL QzGetLastCmdstr(uint8_t* buffer);
/* Copies the last command to the library's 200-byte last-command copy. */
QZLINK_API int32_t QZLINK_CALL QzGetLastCmdstrVB(void);
/* Byte index (0 to 199) of the last-command copy; 0 outside. */
QZLINK_API uint8_t QZLINK_CALL QzPicLastCmdVB(int32_t index);
/* Copies the frame filed under sequenceNumber (at most 40 bytes) to buffer;
 * its length, or 0 when no longer filed (the error state is unchanged). */
QZLINK_API int32_t QZLINK_CALL QzGetMsg(int32_t sequenceNumber, uint8_t* buffer);
/* As QzGetMsg, into the library's 200-byte message copy. */
QZLINK_API int32_t QZLINK_CALL QzGetMsgVB(int32_t sequenceNumber);
/* Byte index (0 to 199) of the message copy; 0 outside. */
QZLINK_API uint8_t QZLINK_CALL QzPicMsgVB(int32_t index);
/* The error code of the last failure; *systemCode receives the system code
 * that came with ERR_SYSTEM, else 0. (_QzGetLastError@4 on Windows.) */
QZLINK_API int32_t QZLINK_CALL QzGetLastError(int32_t* systemCode);
/* The modem status word (0x10 CTS, 0x20 DSR, 0x40 ring, 0x80 RLSD); with no
 * port open, the last word read. (_QzGetStatus@0 on Windows.) */
QZLINK_API int32_t QZLINK_CALL QzGetStatus(void);
/* Sends command 196. (_QzGet2ByteStatus@4 on Windows.) */
QZLINK_API int32_t QZLINK_CALL QzGet2ByteStatus(int32_t unit);
QZLINK_API int32_t QZLINK_CALL QzGet4ByteStatus(int32_t unit);
QZLINK_API int32_t QZLINK_CALL QzSetCmdMode(int32_t unit, int32_t mode);
QZLINK_API int32_t QZLINK_CALL QzSetCascade(int32_t unit, int32_t mode);

/* ---- Camera, lens and pedestal ----
 * lUnit is the camera address 0 to 9 (any other value addresses '0'). A
 * selector lMode outside its listed values sends nothing: 0 with ERR_NONE.
 * Value arguments are kept as the parameters of later QzSendCmd and
 * QzGetCmdstr builds, even when nothing is sent; a value whose digits do not
 * fit its field sends nothing (0 with ERR_NONE). */
QZLINK_API int32_t QZLINK_CALL QzSetMotorSpeed(int32_t lUnit, int32_t lMode, int32_t lSpeed);
QZLINK_API int32_t QZLINK_CALL QzGetMotorSpeed(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetPanTilt1(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGotoHomePosition(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzPedestalInitialize(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetLimitSpeed(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetLimitAngle(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetGearRatio(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetPanTilt2(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetPTAngle2(int32_t lUnit, int32_t lAngle1, int32_t lAngle2);
QZLINK_API int32_t QZLINK_CALL QzGetPTAngle2(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetPTAngle1(int32_t lUnit, int32_t lMode, int32_t lAngle1,
                                             int32_t lAngle2);
QZLINK_API int32_t QZLINK_CALL QzGetPTAngle1(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetIRRemote(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetExtendedOperateStatus(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetOperateStatus(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetUnitName(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetRomVersion(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetPresetMemory(int32_t lUnit, int32_t lMemory);
QZLINK_API int32_t QZLINK_CALL QzGoToPreset(int32_t lUnit, int32_t lMemory);
QZLINK_API int32_t QZLINK_CALL QzGetExtendPreset(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetPresetStatus(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzRemoteCommandPass(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetLed(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetOnScreen(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetTitleString(int32_t lUnit, int32_t lx, int32_t ly,
                                                int32_t lCharacter);
QZLINK_API int32_t QZLINK_CALL QzGetTitleString(int32_t lUnit, int32_t lx, int32_t ly);
QZLINK_API int32_t QZLINK_CALL QzSetDate(int32_t lUnit, int32_t lYear, int32_t lMoon, int32_t lDay);
QZLINK_API int32_t QZLINK_CALL QzGetDate(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetTime(int32_t lUnit, int32_t lHour, int32_t lMinutes,
                                         int32_t lSecond);
QZLINK_API int32_t QZLINK_CALL QzGetTime(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetCameraTime(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetPTTime(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetDefault(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetNotify(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetGlobalNotify(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetCameraPower(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetFocusMode(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetZooming(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetZoomPosition(int32_t lUnit, int32_t lPos);
QZLINK_API int32_t QZLINK_CALL QzGetZoomPosition(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetBackLight(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetExposed(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetAELock(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetShutterSpeedx(int32_t lUnit, int32_t lSpeed);
QZLINK_API int32_t QZLINK_CALL QzGetShutterSpeed(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetAGCGain(int32_t lUnit, int32_t lGain);
QZLINK_API int32_t QZLINK_CALL QzGetAGCGain(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetIris(int32_t lUnit, int32_t lIris);
QZLINK_API int32_t QZLINK_CALL QzGetIris(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetAEVal(int32_t lUnit, int32_t lAEVal);
QZLINK_API int32_t QZLINK_CALL QzGetAEVal(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetWhiteBalance(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetWhiteBalanceMx(int32_t lUnit, int32_t lGain);
QZLINK_API int32_t QZLINK_CALL QzGetWhiteBalance(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetShutterSpeed(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetFading(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzCameraReset(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetZoomRatio(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetCCDSize(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetFocusPosition(int32_t lUnit, int32_t lFocusPos);
QZLINK_API int32_t QZLINK_CALL QzGetFocusPosition(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetOnePushAF(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetFocusRange(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetZoomPosition4(int32_t lUnit, int32_t lPos);
QZLINK_API int32_t QZLINK_CALL QzGetZoomPosition4(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetZoomSpeed(int32_t lUnit, int32_t lSpeed);
QZLINK_API int32_t QZLINK_CALL QzGetZoomSpeed(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetZoomMax(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetCameraVersion(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetPedestalModel(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetCameraModel(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetPTAngle2ForQTR3(int32_t lUnit, int32_t lAngle1,
                                                    int32_t lAngle2);
QZLINK_API int32_t QZLINK_CALL QzGetPTAngle2ForQTR3(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetQTR3Pan(int32_t lUnit, int32_t lAngle);
QZLINK_API int32_t QZLINK_CALL QzGetQTR3Pan(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetQTR3Tilt(int32_t lUnit, int32_t lAngle);
QZLINK_API int32_t QZLINK_CALL QzGetQTR3Tilt(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetAlarmOutput(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetAlarmOutput(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetIrLight(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetIrLight(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetExternalLight(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetExternalLight(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetLimitAngleForQTR3(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzSetIrCutFilter(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetIrCutFilter(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetElectronicZoom(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetElectronicZoom(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetNoiseReduction(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetNoiseReduction(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzSetSensorInputDetectProp(int32_t lUnit, int32_t lMode);
QZLINK_API int32_t QZLINK_CALL QzGetSensorInputTerminalStat(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetSensorInputDetectProp(int32_t lUnit);
QZLINK_API int32_t QZLINK_CALL QzGetBacklight(int32_t lUnit);

#ifdef __cplusplus
}
#endif

#endif /* QZLINK_QZLINK_H */
