// The members of the control's interface _QzlinkCtrl and the library functions
// they call: one list for every build of the control, with no dependence on
// the automation layer that hosts it.
#pragma once

#include <cstddef>
#include <cstdint>

// The calling convention of the library's exports.
#if defined(_WIN32)
#define QZ_LIBCALL __stdcall
#else
#define QZ_LIBCALL
#endif

namespace qzaxctrl {

// DISPIDs: the property, Terminate (then CommOpen, CommClose), and the
// methods from GetLastError on, rising by one in interface order.
constexpr int32_t kDispidErrorCode = 0x68030000;
constexpr int32_t kDispidTerminate = 0x60030008;
constexpr int32_t kDispidFirstMethod = 0x6003000C;
// The events of __QzlinkCtrl.
constexpr int32_t kDispidNotifyRxEvent = 1;
constexpr int32_t kDispidAckRxEvent = 2;

// Members of _QzlinkCtrl with logic of their own, by their position in the
// interface; the camera methods follow from kFirstCameraMember on.
enum Member : int {
  kErrorCodeGet,
  kErrorCodePut,
  kTerminate,
  kCommOpen,
  kCommClose,
  kGetLastError,
  kGetPicData,
  kGetLastCmdStr,
  kGetPicLastCmd,
  kGetCommModemStatus,
  kFirstCameraMember,
};

// One camera method: its name, parameter names, and the library export it
// calls.
struct CameraMethod {
  const char* name;
  const char* params;  // comma-separated
  const char* exportName;
  int arity;
};
extern const CameraMethod kCameraMethods[];
extern const size_t kCameraMethodCount;  // 93

// The camera methods by name, as indices into kCameraMethods.
enum CameraMethodIndex : size_t {
#define QZ_CAMERA_METHOD_1(name, ...) kCamera##name,
#define QZ_CAMERA_METHOD_2 QZ_CAMERA_METHOD_1
#define QZ_CAMERA_METHOD_3 QZ_CAMERA_METHOD_1
#define QZ_CAMERA_METHOD_4 QZ_CAMERA_METHOD_1
#include "axcontrol/camera_methods.inc"
#undef QZ_CAMERA_METHOD_1
#undef QZ_CAMERA_METHOD_2
#undef QZ_CAMERA_METHOD_3
#undef QZ_CAMERA_METHOD_4
};

// The library functions the control binds, by index into a binding.
enum Entry : size_t {
  kQzOpen,
  kQzClose,
  kQzGetLastError,
  kQzGetLastCmdstrVB,
  kQzPicLastCmdVB,
  kQzGetStatus,
  kQzGetMsgVB,
  kQzPicMsgVB,
  kFirstCameraEntry,  // then one per camera method, in table order
};

// The export name of each entry and the total count.
const char* EntryName(size_t entry);
size_t EntryCount();

// The decorated name that a library exporting the error and modem-status
// functions only as _QzGetLastError@4 and _QzGetStatus@0 gives them (the
// Windows build of the library does); null for the other entries. Bound when
// the plain name is missing, so that a failed call still sets ERRORCODE.
const char* EntryDecoratedName(size_t entry);

// Calls camera export fn with the first arity of the arguments in a, in their
// order.
inline int32_t CallCameraExport(void* fn, int arity, const int32_t* a) {
  using Arg1Fn = int32_t(QZ_LIBCALL*)(int32_t);
  using Arg2Fn = int32_t(QZ_LIBCALL*)(int32_t, int32_t);
  using Arg3Fn = int32_t(QZ_LIBCALL*)(int32_t, int32_t, int32_t);
  using Arg4Fn = int32_t(QZ_LIBCALL*)(int32_t, int32_t, int32_t, int32_t);
  switch (arity) {
    case 1:
      return reinterpret_cast<Arg1Fn>(fn)(a[0]);
    case 2:
      return reinterpret_cast<Arg2Fn>(fn)(a[0], a[1]);
    case 3:
      return reinterpret_cast<Arg3Fn>(fn)(a[0], a[1], a[2]);
    default:
      return reinterpret_cast<Arg4Fn>(fn)(a[0], a[1], a[2], a[3]);
  }
}

}  // namespace qzaxctrl
