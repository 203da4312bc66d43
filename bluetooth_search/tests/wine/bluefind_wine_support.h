#pragma once
// Helpers of the Wine tests: a folder holding Bluefind.dll (and the stand-in
// control-panel module with its script), the library loaded from there, and
// the serial-port devices in the registry.
#include "server_client.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bluefind::wine {

// Short, so that "\\?\" file names of it fit the caller's 49 characters.
extern const wchar_t kPortFolder[];

using torvex::client::Narrow;
using torvex::client::OwnFolder; // with a trailing backslash
bool Contains(const std::vector<std::string>& lines, const std::string& line);
bool ContainsPrefix(const std::vector<std::string>& lines, const std::string& prefix);

class CStackFolder {
public:
    // <own folder>\<name>\ with a copy of Bluefind.dll, and of the stand-in
    // module when bStandIn. Any older content is replaced.
    void Prepare(const std::wstring& strName, bool bStandIn);
    // Copies a file of the own folder into this one.
    bool Add(const std::wstring& strFile);
    // Writes the stand-in's script and names it in BTHPROPS_SCRIPT; clears the log.
    void Script(const std::wstring& strText);
    std::vector<std::string> Log() const; // the stand-in's journal
    void ClearLog() const;
    const std::wstring& Folder() const { return m_strFolder; }

private:
    std::wstring m_strFolder;
    std::wstring m_strScript;
};

// The library loaded with its folder first on the search path of its imports.
class CLibrary {
public:
    ~CLibrary() { Unload(); }
    bool Load(const std::wstring& strPath);
    void Unload();
    FARPROC ByOrdinal(int nOrdinal) const;
    FARPROC ByName(const char* pName) const;
    // Folder (with backslash) of the bthprops.cpl the library got.
    std::wstring StackFolder() const;

    // FindTesselBth with a zeroed 50-character buffer and guard characters after it.
    uint32_t Find(std::wstring& strPort);
    // What the last Find left after the terminator: empty when nothing.
    const std::wstring& LastBufferTail() const { return m_strTail; }
    int Connected();
    uint32_t Delete();

private:
    HMODULE m_hModule = nullptr;
    std::wstring m_strTail;
};

struct SModem {
    std::wstring m_strAddress; // twelve hex digits
    std::wstring m_strPortName;
    bool m_bTerminated = true; // PortName stored with its terminator
};

// BTHMODEM\Enum with Count and one value per modem, and each modem's
// Device Parameters key, as the platform installs them.
void AddModems(const std::vector<SModem>& modems);
void SetModemCount(DWORD dwCount);
void RemoveModems();

} // namespace bluefind::wine
