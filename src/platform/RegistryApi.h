#pragma once

#include <QtGlobal>

// Handles, result codes and value types of the registry, with the platform's values.
namespace Reg {
using Handle = quint32;

constexpr Handle HkeyCurrentUser = 0x80000001u;
constexpr Handle HkeyLocalMachine = 0x80000002u;

constexpr qint32 ErrorSuccess = 0;
constexpr qint32 ErrorFileNotFound = 2;
constexpr qint32 ErrorAccessDenied = 5;
constexpr qint32 ErrorInvalidHandle = 6;
constexpr qint32 ErrorInvalidData = 13;
constexpr qint32 ErrorLockViolation = 33;
constexpr qint32 ErrorInvalidParameter = 87;
constexpr qint32 ErrorBadPathname = 161;
constexpr qint32 ErrorMoreData = 234;
constexpr qint32 ErrorNoMoreItems = 259;
constexpr qint32 ErrorKeyDeleted = 1018;
constexpr qint32 ErrorRegistryCorrupt = 1015;

constexpr quint32 TypeNone = 0;
constexpr quint32 TypeSz = 1;
constexpr quint32 TypeExpandSz = 2;
constexpr quint32 TypeBinary = 3;
constexpr quint32 TypeDword = 4;
constexpr quint32 TypeDwordBigEndian = 5;
constexpr quint32 TypeLink = 6;
constexpr quint32 TypeMultiSz = 7;
} // namespace Reg

// The registry functions and the environment expansion, with the platform's ANSI
// calling conventions, so that a backend over the real registry is a thin pass-through.
// Names, paths and text are NUL-terminated code page 936 bytes; key paths use "\" between
// components. A null name pointer means the default (unnamed) value, as does "". Sizes
// are in bytes. Every function returns a result code of Reg (0 success) and writes its
// out-parameters only where the platform does: on success, and for the needed size on
// ErrorMoreData. The reserved parameters of the platform's functions are left out.
class RegistryApi {
public:
    virtual ~RegistryApi() = default;

    // Opens an existing key below hKey (null or "" opens hKey anew), with the greatest
    // access the user is granted.
    virtual qint32 RegOpenKeyA(Reg::Handle hKey, const char* lpSubKey, Reg::Handle* phkResult) = 0;
    // Opens lpSubKey, creating it and any missing keys on its path.
    virtual qint32 RegCreateKeyA(Reg::Handle hKey, const char* lpSubKey,
                                 Reg::Handle* phkResult) = 0;
    virtual qint32 RegCloseKey(Reg::Handle hKey) = 0;
    // The default value of lpSubKey (null or "": of hKey) as NUL-terminated text; an unset
    // default reads as "". *lpcbData: in, the buffer's size; out, the bytes with the NUL.
    // lpData null asks only for the size.
    virtual qint32 RegQueryValueA(Reg::Handle hKey, const char* lpSubKey, char* lpData,
                                  qint32* lpcbData) = 0;
    // Type, data and byte count of a value. lpData null asks only for type and size; a
    // buffer too small gives ErrorMoreData with the needed size in *lpcbData.
    virtual qint32 RegQueryValueExA(Reg::Handle hKey, const char* lpValueName, quint32* lpType,
                                    quint8* lpData, quint32* lpcbData) = 0;
    // The value at dwIndex. *lpcchValueName: in, the name buffer's size with room for the
    // NUL; out, the name's length without it. ErrorMoreData when the name or the data does
    // not fit (the needed data size is then in *lpcbData); ErrorNoMoreItems past the end.
    virtual qint32 RegEnumValueA(Reg::Handle hKey, quint32 dwIndex, char* lpValueName,
                                 quint32* lpcchValueName, quint32* lpType, quint8* lpData,
                                 quint32* lpcbData) = 0;
    // The name of the sub-key at dwIndex, NUL-terminated, into a buffer of cchName bytes.
    virtual qint32 RegEnumKeyA(Reg::Handle hKey, quint32 dwIndex, char* lpName,
                               quint32 cchName) = 0;
    // Writes the default value of lpSubKey (created when missing) as text; dwType must be
    // TypeSz. The size is taken from the text, as the platform does.
    virtual qint32 RegSetValueA(Reg::Handle hKey, const char* lpSubKey, quint32 dwType,
                                const char* lpData, quint32 cbData) = 0;
    // Writes a value with its type code and exactly cbData bytes.
    virtual qint32 RegSetValueExA(Reg::Handle hKey, const char* lpValueName, quint32 dwType,
                                  const quint8* lpData, quint32 cbData) = 0;
    virtual qint32 RegDeleteValueA(Reg::Handle hKey, const char* lpValueName) = 0;
    // Deletes lpSubKey ("": the key hKey refers to) and its values; fails while it still
    // has sub-keys.
    virtual qint32 RegDeleteKeyA(Reg::Handle hKey, const char* lpSubKey) = 0;
    // Replaces each %NAME% with the environment variable's value (an unknown name stays as
    // written). Returns the size the result needs with its NUL; writes it only when nSize
    // is enough. 0 on failure.
    virtual quint32 ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, quint32 nSize) = 0;
};
