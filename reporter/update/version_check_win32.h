#pragma once
// The version-file fetch on a worker thread: connection, login and transfer
// run off the dialog's thread, so a server that stops answering after its
// greeting cannot hold the dialog; the dialog may abandon a fetch that takes
// too long.
#include "update_config.h"

#include <windows.h>

#include <memory>
#include <string>

namespace ostrel {

class CVersionFetch {
public:
    // Starts fetching "Ostrel Install.txt" into localFile; posts nMsg to
    // hNotify when done (wParam TRUE when the file arrived), unless the fetch
    // was abandoned first. False when no thread could start.
    [[nodiscard]] bool Start(const SUpdateConfig& config, const std::wstring& localFile,
                             HWND hNotify, UINT nMsg);
    // Stops listening: a fetch that ends later posts nothing and deletes the
    // file it wrote.
    void Abandon();

    ~CVersionFetch() { Abandon(); }

private:
    struct SShared;
    std::shared_ptr<SShared> m_pShared;
};

} // namespace ostrel
