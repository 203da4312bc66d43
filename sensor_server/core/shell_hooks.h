#pragma once
// What the command handlers ask of the shell around them.
#include <string>

namespace torvex {

class IShellHooks {
public:
    virtual ~IShellHooks() = default;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // The default system beep, for frames of an unknown class.
    virtual void DefaultBeep() = 0;
    virtual bool FileExists(const std::string& strPath) = 0;
};

} // namespace torvex
