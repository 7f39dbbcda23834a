// Exports: the session, raw commands, fetching frames, the error state and the
// library's one session. The command functions are in exports_camera.cpp.
#include <algorithm>
#include <cstring>

#include "camlink/exports_common.h"
#include "camlink/frame_kind.h"
#include "camlink/qzlink.h"
#include "camlink/serial_port_selector.h"

namespace qzlink {
namespace {

static_assert(AckRxMessage == kAckRxMessage && NotifyRxMessage == kNotifyRxMessage);
static_assert(ERR_NONE == kErrNone && ERR_SYSTEM == kErrSystem && ERR_BAUD_RATE == kErrBaudRate &&
              ERR_PORT_BUSY == kErrPortBusy);

// Created when the library is loaded, in this order, and destroyed in reverse
// order when it is unloaded: the session closes the port and joins its
// reader first.
SerialPortSelector thePort;
CameraSession theSession(thePort);

// The byte-picker copies for callers that cannot pass a buffer.
constexpr size_t kPickerCopySize = 200;
uint8_t lastCommandCopy[kPickerCopySize];
uint8_t messageCopy[kPickerCopySize];

uint8_t Pick(const uint8_t (&copy)[kPickerCopySize], int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < kPickerCopySize ? copy[index] : 0;
}

// Clears the copy and puts length bytes of source into it (never more than
// the copy holds; the sources are 50 and 52 bytes).
void FillCopy(uint8_t (&copy)[kPickerCopySize], const uint8_t* source, int32_t length) {
  std::memset(copy, 0, sizeof copy);
  std::memcpy(copy, source, std::min(static_cast<size_t>(length), sizeof copy));
}

}  // namespace

CameraSession& Session() {
  return theSession;
}

}  // namespace qzlink

using qzlink::Session;

extern "C" {

int32_t QZLINK_CALL QzOpen(HWND hWnd, int32_t lPort, int32_t lBaudRate, int32_t lByteSize,
                           int32_t lParity, int32_t lStopBits) {
  return Session().Open(hWnd, lPort,
                        qzlink::LineSettings{lBaudRate, lByteSize, lParity, lStopBits});
}

int32_t QZLINK_CALL QzClose(void) {
  qzlink::CameraSession& session = Session();
  session.Close();
  // Cleared after closing: a window procedure that ran while the reader
  // stopped may have left the error of a call of its own.
  session.SetError(ERR_NONE);
  return session.Connected() ? 0 : 1;
}

int32_t QZLINK_CALL QzSendCmd(int32_t lCommandId, int32_t lUnit) {
  return Session().SendBuilt(lCommandId, lUnit);
}

const uint8_t* QZLINK_CALL QzGetCmdstr(int32_t lCommandId, int32_t lUnit, int32_t* pLength) {
  if (pLength != nullptr) {
    *pLength = 0;
  }
  const int32_t built = Session().BuildOnly(lCommandId, lUnit);
  if (built <= 0) {
    return nullptr;
  }
  if (pLength != nullptr) {
    *pLength = built;
  }
  return Session().CommandBuffer();
}

int32_t QZLINK_CALL QzSetManualCommand(const uint8_t* pBytes, int32_t lCount) {
  return Session().SendManualCommand(pBytes, lCount);
}

int32_t QZLINK_CALL QzGetLastCmdstr(uint8_t* pBuffer) {
  if (pBuffer == nullptr) {
    return 0;
  }
  const int32_t length = Session().LastCommandLength();
  if (length > 0) {
    std::memcpy(pBuffer, Session().CommandBuffer(), static_cast<size_t>(length));
  }
  return length;
}

int32_t QZLINK_CALL QzGetLastCmdstrVB(void) {
  const int32_t length = Session().LastCommandLength();
  if (length > 0) {
    qzlink::FillCopy(qzlink::lastCommandCopy, Session().CommandBuffer(), length);
  }
  return length;
}

uint8_t QZLINK_CALL QzPicLastCmdVB(int32_t lIndex) {
  return qzlink::Pick(qzlink::lastCommandCopy, lIndex);
}

int32_t QZLINK_CALL QzGetMsg(int32_t lSequence, uint8_t* pBuffer) {
  if (pBuffer == nullptr) {
    return 0;
  }
  const int32_t length = Session().FetchFrame(lSequence);
  if (length > 0) {
    std::memcpy(pBuffer, Session().MessageBuffer(), static_cast<size_t>(length));
  }
  return length;
}

int32_t QZLINK_CALL QzGetMsgVB(int32_t lSequence) {
  const int32_t length = Session().FetchFrame(lSequence);
  if (length > 0) {
    qzlink::FillCopy(qzlink::messageCopy, Session().MessageBuffer(), length);
  }
  return length;
}

uint8_t QZLINK_CALL QzPicMsgVB(int32_t lIndex) {
  return qzlink::Pick(qzlink::messageCopy, lIndex);
}

int32_t QZLINK_CALL QzGetLastError(int32_t* pSystemCode) {
  const qzlink::ErrorState error = Session().LastError();
  if (pSystemCode != nullptr) {
    *pSystemCode = error.code == ERR_SYSTEM ? static_cast<int32_t>(error.systemCode) : 0;
  }
  return error.code;
}

int32_t QZLINK_CALL QzGetStatus(void) {
  return static_cast<int32_t>(Session().ReadModemStatus());
}

int32_t QZLINK_CALL QzGetLinkState(void) {
  return Session().LinkState();
}

}  // extern "C"
