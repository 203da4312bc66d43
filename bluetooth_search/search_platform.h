#pragma once
// Registry, serial-port and sleep services the sensor search needs besides
// the Bluetooth stack. Portable; the Win32 adapter is search_platform_win32.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace bluefind {

// An open key of HKEY_LOCAL_MACHINE; closed when destroyed.
class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;
    // A 32-bit value. A value of another type or size fails with 13
    // (invalid data); value is then unchanged.
    [[nodiscard]] virtual uint32_t ReadDword(const std::wstring& strName, uint32_t& nValue) = 0;
    // A text value of at most nMaxBytes bytes (terminator included). The text
    // ends at its first terminator or at the end of the data, so it is
    // always terminated; a longer value fails with 234 (more data), a value
    // of another type with 13. On failure strText is empty.
    [[nodiscard]] virtual uint32_t ReadText(const std::wstring& strName, size_t nMaxBytes,
                                            std::wstring& strText) = 0;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // Opens HKEY_LOCAL_MACHINE\strPath for reading. On failure key is null.
    [[nodiscard]] virtual uint32_t OpenKey(const std::wstring& strPath,
                                           std::unique_ptr<IRegistryKey>& key) = 0;
};

class IPortProbe {
public:
    virtual ~IPortProbe() = default;
    // Opens the port for reading and writing, without sharing, as an
    // existing file, and closes it again. 0 when it opened; otherwise the
    // platform's error (missing, in use).
    [[nodiscard]] virtual uint32_t TryOpen(const std::wstring& strPort) = 0;
};

class ISleeper {
public:
    virtual ~ISleeper() = default;
    virtual void SleepMs(uint32_t nMs) = 0;
};

} // namespace bluefind
