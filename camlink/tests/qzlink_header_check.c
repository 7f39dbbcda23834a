/* Compiled as C99 with warnings as errors: the public header is a C header,
 * and it declares every export of the export list with the list's signature. */
#include "camlink/qzlink.h"

#define QZ_SESSION_EXPORT(name, windowsName, shape, returnType, params) \
  returnType(QZLINK_CALL* const name##Pointer) params = &name;
/* C before C2x wants at least one argument for "...": the values are
 * swallowed together with a trailing one. */
#define QZ_COMMAND_EXPORT(...) QZ_COMMAND_POINTER(__VA_ARGS__, unused)
#define QZ_COMMAND_POINTER(name, windowsName, params, ...) \
  int32_t(QZLINK_CALL* const name##Pointer) params = &name;
#include "camlink/qzlink_exports.inc"
