/* Basic Win32 type names used by the platform layer's C API.
 * On Windows these come from <windows.h>; elsewhere they are defined here
 * with the same meaning (LONG and DWORD are 32-bit, the *_PTR types and
 * WPARAM/LPARAM/LRESULT are pointer-sized). */
#ifndef QZ_PLATFORM_WIN32_TYPES_H
#define QZ_PLATFORM_WIN32_TYPES_H

#ifdef _WIN32
#include <windows.h>
#else
#include <stdint.h>

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define WINAPI
#define CALLBACK

#define WM_USER 0x0400
#define WM_APP 0x8000

/* Error codes returned by the registry functions and kept by the library. */
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_DATA 13L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_BADDB 1009L
#define ERROR_BADKEY 1010L
#define ERROR_CANTWRITE 1013L
#define ERROR_KEY_DELETED 1018L

#endif /* _WIN32 */
#endif /* QZ_PLATFORM_WIN32_TYPES_H */
