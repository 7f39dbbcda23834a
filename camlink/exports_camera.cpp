// Exports: the command functions (status, command mode, cascade, camera, lens
// and pedestal), expanded from the export list. Each stores its value
// arguments as p1 to p3, chooses one command identifier (its own, or the one
// its selector picks) and sends that template.
#include "camlink/exports_common.h"
#include "camlink/qzlink.h"

using qzlink::Select;
using qzlink::Send;

extern "C" {

#define QZ_SESSION_EXPORT(name, windowsName, shape, returnType, params)
#define QZ_COMMAND_EXPORT(name, windowsName, params, choice, ...) \
  int32_t QZLINK_CALL name params {                               \
    return Send(choice, lUnit __VA_OPT__(, ) __VA_ARGS__);        \
  }
#include "camlink/qzlink_exports.inc"
#undef QZ_SESSION_EXPORT
#undef QZ_COMMAND_EXPORT

}  // extern "C"
