#pragma once
// The camera's microcontroller as a device on the bridge's I2C bus: it takes
// a message after the key, raises its ready signal on the bridge's port after
// a few port reads and serves the length-prefixed reply from the mailbox.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bridgesim {

struct SCameraSetup {
    uint8_t m_nDivisor = 0x2A;
    uint8_t m_nFwMajor = 1;
    uint8_t m_nFwMinor = 7;
    bool m_bPal = true;
    std::string m_strSerial = "AB123456";
    uint8_t m_nIdlePort = 0x00;  // port before any message
    uint8_t m_nBusyPort = 0x10;  // while a message is being worked on
    uint8_t m_nReadyPort = 0x01; // once the reply waits; a busy value never becomes ready
    int m_nBusyReads = 2;        // port reads before the reply is ready
    // Length byte sent instead of the true one, by command code.
    std::map<uint8_t, uint8_t> m_wrongLength;
};

class CCameraMcu {
public:
    explicit CCameraMcu(const SCameraSetup& setup) : m_setup(setup) {}

    // One bus write: the sub-address (when sent) then the data bytes.
    void Write(bool bSub, uint8_t nSub, const uint8_t* pData, size_t nCount);
    // An indexed read at the mailbox restarts the reply; plain reads go on.
    void Read(bool bSub, uint8_t nSub, uint8_t* pData, size_t nCount);
    // What the camera drives on the bridge's port, for one port read.
    uint8_t ReadPort();

    // Every complete message taken, as upper-case hex text.
    const std::vector<std::string>& Messages() const { return m_messages; }

private:
    void Take();

    SCameraSetup m_setup;
    bool m_bArmed = false;
    bool m_bPending = false; // a reply is on its way or waiting
    int m_nBusyLeft = 0;
    std::vector<uint8_t> m_message;
    std::vector<uint8_t> m_reply;
    size_t m_nCursor = 0;
    std::vector<std::string> m_messages;
};

} // namespace bridgesim
