#include "axcontrol/control_members.h"

namespace qzaxctrl {

const CameraMethod kCameraMethods[] = {
#define QZ_CAMERA_METHOD_1(name, entry, a) {#name, #a, #entry, 1},
#define QZ_CAMERA_METHOD_2(name, entry, a, b) {#name, #a "," #b, #entry, 2},
#define QZ_CAMERA_METHOD_3(name, entry, a, b, c) {#name, #a "," #b "," #c, #entry, 3},
#define QZ_CAMERA_METHOD_4(name, entry, a, b, c, d) {#name, #a "," #b "," #c "," #d, #entry, 4},
#include "axcontrol/camera_methods.inc"
#undef QZ_CAMERA_METHOD_1
#undef QZ_CAMERA_METHOD_2
#undef QZ_CAMERA_METHOD_3
#undef QZ_CAMERA_METHOD_4
};
const size_t kCameraMethodCount = sizeof kCameraMethods / sizeof kCameraMethods[0];

namespace {

const char* const kSessionEntries[kFirstCameraEntry] = {
    "QzOpen",         "QzClose",     "QzGetLastError", "QzGetLastCmdstrVB",
    "QzPicLastCmdVB", "QzGetStatus", "QzGetMsgVB",     "QzPicMsgVB"};

}  // namespace

const char* EntryName(size_t entry) {
  if (entry < kFirstCameraEntry) {
    return kSessionEntries[entry];
  }
  return entry < EntryCount() ? kCameraMethods[entry - kFirstCameraEntry].exportName : "";
}

size_t EntryCount() {
  return kFirstCameraEntry + kCameraMethodCount;
}

const char* EntryDecoratedName(size_t entry) {
  switch (entry) {
    case kQzGetLastError:
      return "_QzGetLastError@4";
    case kQzGetStatus:
      return "_QzGetStatus@0";
    default:
      return nullptr;
  }
}

}  // namespace qzaxctrl
