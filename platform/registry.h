/* Per-user registry store: the registry functions that the application and
 * the control use, kept in one text file per user in the registry editor's
 * export format ("Windows Registry Editor Version 5.00").
 *
 * File: $QZLINK_REGISTRY when set, else
 * ${XDG_CONFIG_HOME:-$HOME/.config}/qzlink/registry.reg.
 *
 * Every change is a read-modify-write of the whole file under an advisory
 * lock (flock on "<file>.lock"), written to a temporary file in the same
 * folder, flushed, and renamed over the old file with mode 0600: a crash never
 * leaves half a file and two processes never lose each other's changes.
 * When the file is a symbolic link, all this happens at the file it points
 * to ("<target>.lock", the temporary file beside the target): the link stays.
 * A file with lines that cannot be read (or whose last line has no line
 * break: cut short) is read line by line, as a registry import reads it. Its
 * bytes are first copied to "<file>.corrupt-<time>", then it is replaced by
 * what could be read, the unreadable lines kept in it as comments
 * ("; unreadable, kept: ..."), so that none is lost and every program knows
 * that a key was not read in full (QzRegistryCheckValueRead) until someone
 * mends or removes them; setting or deleting the value a kept line names
 * drops that line. A file that is not a registry export at all is copied
 * aside whole and the store starts empty. One message goes to standard error;
 * a program learns of it through QzRegistryGetDamageReport (below), to tell
 * its user. A store path that is not a regular file (a folder, a named pipe,
 * a device) is never opened: reads fail with ERROR_BADDB, changes too, and
 * QzRegistryGetStoreProblem says why.
 *
 * A read-only store file (no write permission for its owner, as a site's
 * locked profile with mode 0444, or none for this process) is read but never
 * replaced: every change to it fails with ERROR_ACCESS_DENIED and the file
 * keeps its content and mode. Opening or creating a key that exists changes
 * nothing and succeeds. A damaged read-only file is left in place and reads
 * as what could be read.
 *
 * Only HKEY_CURRENT_USER is a root. Key names compare without regard to ASCII
 * letter case and keep the case they were created with, as in the registry.
 * Keys exist on their own: a key may have no values. Value types kept:
 * REG_SZ (text, stored with its terminating zero), REG_DWORD (4 bytes,
 * little-endian), REG_BINARY; any other type is kept as its bytes.
 *
 * The functions return ERROR_SUCCESS or a Win32 error code:
 *  - ERROR_INVALID_HANDLE for a null, closed or unknown handle;
 *  - ERROR_INVALID_PARAMETER for a null result pointer, a malformed key path
 *    (empty component, ']' or a line break in a name, a name over 255 bytes),
 *    or a value name or REG_SZ text holding a line break, which the file
 *    cannot represent;
 *  - ERROR_ACCESS_DENIED when the handle lacks the right: KEY_QUERY_VALUE to
 *    read or enumerate values, KEY_SET_VALUE to set or delete values and to
 *    delete a tree, KEY_ENUMERATE_SUB_KEYS to enumerate keys,
 *    KEY_CREATE_SUB_KEY to create a key below it; also for a store file that
 *    may not be read or written;
 *  - ERROR_KEY_DELETED when the handle's key has been deleted meanwhile (by
 *    this or another process);
 *  - ERROR_CANTWRITE when the file cannot be written, ERROR_BADDB when it
 *    cannot be read or no location is known (neither QZLINK_REGISTRY,
 *    XDG_CONFIG_HOME nor HOME is set). */
#ifndef QZ_PLATFORM_REGISTRY_H
#define QZ_PLATFORM_REGISTRY_H

#include "platform/win32_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifndef _WIN32
typedef struct QzRegKey* HKEY;

#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_BINARY 3
#define REG_DWORD 4

#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

/* Opens an existing key below hKey (a root or an open key); a missing key
 * gives ERROR_FILE_NOT_FOUND. A key opened without KEY_SET_VALUE refuses
 * changes with ERROR_ACCESS_DENIED. An empty or null subKey opens hKey's own
 * key again. */
LONG RegOpenKeyExA(HKEY hKey, const char* subKey, DWORD options, DWORD samDesired, HKEY* result);

/* Opens the key, creating it and every missing key along its path; subKey ""
 * opens hKey's own key again, a null subKey is refused.
 * securityAttributes and className are accepted and ignored. disposition, if
 * not null, receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. */
LONG RegCreateKeyExA(HKEY hKey, const char* subKey, DWORD reserved, char* className, DWORD options,
                     DWORD samDesired, void* securityAttributes, HKEY* result, DWORD* disposition);

/* Releases a handle from RegOpenKeyExA or RegCreateKeyExA. Closing
 * HKEY_CURRENT_USER succeeds and does nothing. */
LONG RegCloseKey(HKEY hKey);

/* Reads a value (valueName null or "" is the key's default value); reserved
 * must be null.
 * type, if not null, receives the type. With data null, cbData receives the
 * size needed. With a buffer smaller than the value, ERROR_MORE_DATA is
 * returned, cbData receives the size needed and nothing is written past
 * *cbData bytes. */
LONG RegQueryValueExA(HKEY hKey, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* cbData);

/* Writes a value: REG_DWORD needs cbData 4; REG_SZ takes the text up to its
 * terminating zero within cbData (all cbData bytes when there is none) and
 * stores it with one terminating zero. */
LONG RegSetValueExA(HKEY hKey, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD cbData);

/* Deletes one value of the key; a missing value gives ERROR_FILE_NOT_FOUND. */
LONG RegDeleteValueA(HKEY hKey, const char* valueName);

/* Deletes the sub-key and everything below it; subKey null or "" deletes
 * the sub-keys and values of hKey (the key itself stays). */
LONG RegDeleteTreeA(HKEY hKey, const char* subKey);

/* Enumerates direct sub-keys by index (ERROR_NO_MORE_ITEMS past the last),
 * in case-insensitive alphabetical order.
 * cchName is the buffer size in characters on entry and the name length
 * without terminator on return; a small buffer gives ERROR_MORE_DATA and
 * leaves the buffer and *cchName untouched.
 * The trailing parameters are accepted and ignored. */
LONG RegEnumKeyExA(HKEY hKey, DWORD index, char* name, DWORD* cchName, DWORD* reserved,
                   char* className, DWORD* cchClassName, void* lastWriteTime);

/* Enumerates values by index in the order they were first set, like
 * RegEnumKeyExA; type, data and cbData as in RegQueryValueExA (each may be
 * null). Nothing is written to valueName or data unless both fit. */
LONG RegEnumValueA(HKEY hKey, DWORD index, char* valueName, DWORD* cchValueName, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* cbData);
#endif /* !_WIN32 */

/* What the store found wrong with its file in this process, so that a
 * program can tell its user (the store itself only writes a line on standard
 * error).
 *
 * count, if not null, receives how many damaged store files this process has
 * found so far (moved aside or left in place); compare it with an earlier
 * value to see whether something new happened. The other outputs describe the
 * last one:
 *  - copyPath: the path the damaged file was moved to, "" when it was
 *    read-only and left in place;
 *  - message: the line written on standard error (without line break),
 *    naming the file, the line and the reason, and where the copy went.
 * cchCopyPath and cchMessage give the buffer sizes in characters, the
 * terminator included, and receive the length needed including the
 * terminator. A null buffer (with its size pointer set) only asks that size.
 *
 * Returns ERROR_SUCCESS; ERROR_FILE_NOT_FOUND when nothing has been found
 * (sizes set to 0, buffers untouched); ERROR_MORE_DATA when a given buffer is
 * too small (nothing is written to either buffer, the sizes say what is
 * needed); ERROR_INVALID_PARAMETER for a buffer without its size. Safe to
 * call from any thread. */
LONG QzRegistryGetDamageReport(DWORD* count, char* copyPath, DWORD* cchCopyPath, char* message,
                               DWORD* cchMessage);

/* Why the store cannot keep changes, so that a program can tell its user
 * once: the store's file is read-only (its mode named), is not a regular file
 * (a folder, a named pipe: never opened, neither read nor written), its folder
 * cannot be made, or a write failed. Looks at the store's file first, so that
 * a read-only file is found before any change was refused.
 *
 * count, if not null, receives how many different reasons this process has
 * found so far; reason receives the last one, naming the file ("/home/op/
 * .config/qzlink/registry.reg is read-only (mode 0444)"). cchReason as in
 * QzRegistryGetDamageReport. Returns ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when
 * nothing was found, ERROR_MORE_DATA or ERROR_INVALID_PARAMETER as there.
 * Safe to call from any thread. */
LONG QzRegistryGetStoreProblem(DWORD* count, char* reason, DWORD* cchReason);

/* Whether the store holds in full what its file says about a value of the
 * key subKey below hKey (null or "" for hKey's own key), so that a caller
 * never takes a value's absence (or an earlier line's value) for the truth
 * while the file could not be read in full. The value itself may exist or
 * not.
 *
 * Returns ERROR_SUCCESS when it does (no store file, or no location for one,
 * holds nothing); ERROR_BADDB when the store's file cannot be read (a folder,
 * a named pipe, no permission); ERROR_INVALID_DATA when the file holds a line
 * that could not be read and may have been this value (a line of that key
 * naming it or whose name cannot be read, or a line whose key is unknown);
 * ERROR_INVALID_HANDLE or ERROR_INVALID_PARAMETER for a bad handle or path.
 * why, if not null, receives a line that names the file and what is wrong,
 * as much as fits in cchWhy characters with its terminator ("" on success). */
LONG QzRegistryCheckValueRead(HKEY hKey, const char* subKey, const char* valueName, char* why,
                              DWORD cchWhy);

#ifdef __cplusplus
}
#endif

#endif /* QZ_PLATFORM_REGISTRY_H */
