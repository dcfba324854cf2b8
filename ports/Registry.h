#pragma once
// The system registry, read only, with the Win32 calls' semantics: result codes instead of
// exceptions, 32-bit key handles, predefined root keys, and values as typed bytes.
#include <cstdint>
#include <string>

#include "folioray2/core_export.h"

namespace folioray {

using HKEY = uint32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

// Result codes.
inline constexpr int32_t ERROR_SUCCESS = 0;
inline constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr int32_t ERROR_MORE_DATA = 234;

// Value types.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;

inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;
inline constexpr uint32_t KEY_READ = 0x20019;

class FOLIORAY_CORE_EXPORT Registry {
  public:
    virtual ~Registry() = default;

    // Opens `subKey` (backslash separated, any case) under an open key or a root. An empty
    // subKey opens the key itself again.
    virtual int32_t RegOpenKeyExA(HKEY hKey, const std::string& subKey, uint32_t ulOptions,
                                  uint32_t samDesired, HKEY& phkResult) = 0;
    // Reads value `valueName` ("" for the key's default value). `cbData` gives the buffer's
    // size and receives the value's size in bytes (strings with their terminating 0). A
    // null `lpData` asks for type and size only. A buffer that is too small gives
    // ERROR_MORE_DATA with the needed size in cbData.
    virtual int32_t RegQueryValueExA(HKEY hKey, const std::string& valueName, uint32_t& lpType,
                                     uint8_t* lpData, uint32_t& cbData) = 0;
    virtual int32_t RegCloseKey(HKEY hKey) = 0;
};

}  // namespace folioray
