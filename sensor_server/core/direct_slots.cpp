#include "direct_slots.h"

#include "protocol.h"
#include "status_codes.h"

namespace torvex {

namespace dp = proto::direct;

namespace {

constexpr uint32_t kRequestTimeoutMs = 2500;
constexpr uint32_t kWorkingPauseMs = 25;
// A sensor that keeps answering "working" would hold the server for good.
constexpr uint32_t kWorkingLimitMs = 10000;
constexpr uint32_t kCloseSettleMs = 100;

} // namespace

CDirectSlots::CDirectSlots(IUsbDeviceMaker& maker, IClock& clock)
    : m_maker(maker), m_clock(clock) {}

CDirectSlots::~CDirectSlots() {
    for (SSlot& slot : m_slots)
        if (slot.m_pDevice)
            slot.m_pDevice->Close();
}

bool CDirectSlots::HoldsSensor(int nSlot) const {
    return ValidSlot(nSlot) && m_slots[nSlot].m_pDevice != nullptr;
}

std::string CDirectSlots::DevicePath(int nSlot) const {
    if (!HoldsSensor(nSlot))
        return std::string();
    return m_slots[nSlot].m_pDevice->DevicePath();
}

int CDirectSlots::OpenSlot(int nSlot) {
    if (!ValidSlot(nSlot) || m_slots[nSlot].m_pDevice)
        return kNoSlotSensor;
    auto pLock = std::make_unique<std::recursive_mutex>();
    std::unique_lock<std::recursive_mutex> hold(*pLock);
    std::unique_ptr<IUsbDevice> pDevice = m_maker.MakeDevice();
    if (!pDevice)
        return kNoDeviceMemory;
    // The candidate is asked before it is published: a device that goes away
    // during the search takes nothing with it but its own object.
    // Counted anew each round: an interface that goes away shifts the later ones
    // down, so its index is tried once more.
    bool bRetried = false;
    for (int i = 0; i < pDevice->DeviceCount(); ++i) {
        if (!pDevice->Open(i))
            continue;
        if (pDevice->VendorId() == dp::kVendorId && pDevice->ProductId() == dp::kProductId) {
            uint8_t cpld[dp::kCpldSize + 1] = {};
            std::array<uint8_t, 2> reply{};
            const int nCode =
                RequestOn(*pDevice, *pLock, dp::kReqCpld, dp::kCpldSize, 0, cpld, false, reply);
            if (nCode == kOk && pDevice->IsOpen() && dp::SlotOfCpld(cpld[0]) == nSlot) {
                hold.unlock();
                m_slots[nSlot].m_pDevice = std::move(pDevice);
                m_slots[nSlot].m_pLock = std::move(pLock);
                return kOk;
            }
        }
        const bool bVanished = !pDevice->IsOpen();
        pDevice->Close();
        if (bVanished) {
            if (!bRetried)
                --i;
            bRetried = !bRetried;
            continue;
        }
        bRetried = false;
        // The device layer lets only one object hold an interface: give the
        // other slot's object its device back.
        SSlot& other = m_slots[1 - nSlot];
        if (other.m_pDevice) {
            std::lock_guard<std::recursive_mutex> otherHold(*other.m_pLock);
            other.m_pDevice->Open(i);
        }
    }
    return kNoSlotSensor;
}

void CDirectSlots::CloseSlot(int nSlot) {
    if (!HoldsSensor(nSlot))
        return;
    m_clock.SleepMs(kCloseSettleMs);
    SSlot& slot = m_slots[nSlot];
    {
        std::lock_guard<std::recursive_mutex> hold(*slot.m_pLock);
        slot.m_pDevice->Close();
    }
    slot.m_pDevice.reset();
    slot.m_pLock.reset();
}

int CDirectSlots::EnsureSlot(int nSlot) {
    if (!ValidSlot(nSlot))
        return kNoSlotSensor;
    if (!m_slots[nSlot].m_pDevice)
        return OpenSlot(nSlot);
    if (!m_slots[nSlot].m_pDevice->IsOpen()) {
        CloseSlot(nSlot);
        return kNoSlotSensor;
    }
    return kOk;
}

void CDirectSlots::DropVanished() {
    for (int nSlot = 0; nSlot < 2; ++nSlot)
        CloseIfGone(nSlot);
}

void CDirectSlots::CloseIfGone(int nSlot) {
    if (HoldsSensor(nSlot) && !m_slots[nSlot].m_pDevice->IsOpen())
        CloseSlot(nSlot);
}

int CDirectSlots::Request(uint8_t nCode, uint16_t nLength, uint32_t nValue, uint8_t* pData,
                          bool bOutgoing, int nSlot, std::array<uint8_t, 2>* pReply) {
    std::array<uint8_t, 2> reply{dp::kReplyPresetSequence, dp::kReplyPresetStatus};
    int nResult = EnsureSlot(nSlot);
    if (nResult == kOk) {
        SSlot& slot = m_slots[nSlot];
        nResult = RequestOn(*slot.m_pDevice, *slot.m_pLock, nCode, nLength, nValue, pData,
                            bOutgoing, reply);
        CloseIfGone(nSlot);
    }
    if (pReply)
        *pReply = reply;
    return nResult;
}

int CDirectSlots::RequestOn(IUsbDevice& device, std::recursive_mutex& lock, uint8_t nCode,
                            uint16_t nLength, uint32_t nValue, uint8_t* pData, bool bOutgoing,
                            std::array<uint8_t, 2>& reply) {
    reply = {dp::kReplyPresetSequence, dp::kReplyPresetStatus};
    {
        std::lock_guard<std::recursive_mutex> hold(lock);
        if (!device.HasEndpoint(dp::kEpRequest) || !device.HasEndpoint(dp::kEpReply))
            return kMissingEndpoint;
    }
    const uint8_t nSequence = ++m_nSequence;
    dp::CPacket packet = dp::Packet(nSequence, nCode, nLength, nValue);
    device.SetTimeout(dp::kEpRequest, kRequestTimeoutMs);
    device.SetTimeout(dp::kEpReply, kRequestTimeoutMs);

    auto transfer = [&](uint8_t nAddress, uint8_t* p, size_t nSize) {
        std::lock_guard<std::recursive_mutex> hold(lock);
        size_t n = nSize;
        return device.Transfer(nAddress, p, n);
    };
    auto readReply = [&] {
        std::lock_guard<std::recursive_mutex> hold(lock);
        size_t n = reply.size();
        return device.Transfer(dp::kEpReply, reply.data(), n) && n == reply.size();
    };

    if (!transfer(dp::kEpRequest, packet.data(), packet.size()))
        return kTimeout;
    if (pData && nLength > 0 && !(nLength & dp::kLengthNoData)) {
        if (!transfer(bOutgoing ? dp::kEpRequest : dp::kEpReply, pData, nLength))
            return kTimeout;
    }
    if (!readReply())
        return kTimeout;
    const uint64_t nStart = m_clock.NowMs();
    for (;;) {
        if (reply[dp::kAtReplySequence] != nSequence)
            return kSequenceMismatch;
        switch (reply[dp::kAtReplyStatus]) {
        case dp::kStatusDone:
            return kOk;
        case dp::kStatusWorking:
            break;
        case dp::kStatusNoEndpoint:
            return kMissingEndpoint;
        case dp::kStatusUnsupported:
            return kDeviceUnsupported;
        case dp::kStatusFailed:
            return kDeviceFailed;
        default:
            return kDeviceStatusOther;
        }
        if (m_clock.NowMs() - nStart > kWorkingLimitMs)
            return kTimeout;
        m_clock.SleepMs(kWorkingPauseMs);
        dp::CPacket poll = dp::Packet(nSequence, dp::kReqPoll, 0, 0);
        if (!transfer(dp::kEpRequest, poll.data(), poll.size()) || !readReply())
            return kTimeout;
    }
}

int CDirectSlots::ReadStatusPacket(SSlot& slot, SDeviceStatus& status) {
    std::lock_guard<std::recursive_mutex> hold(*slot.m_pLock);
    if (!slot.m_pDevice->HasEndpoint(dp::kEpStatus))
        return kNoStatusEndpoint;
    uint8_t packet[dp::kStatusPacketSize] = {};
    size_t n = sizeof packet;
    if (!slot.m_pDevice->Transfer(dp::kEpStatus, packet, n))
        return kStatusReadFailed;
    if (n < dp::kStatusPacketMin)
        return kStatusPacketShort;
    status.m_nFlags = packet[dp::kAtStatusFlags];
    status.m_nStateCode = packet[dp::kAtStateCode];
    status.m_nPhotodiode = packet[dp::kAtPhotodiode];
    for (size_t i = 0; i < status.m_samples.size(); ++i)
        status.m_samples[i] = packet[dp::kAtSamples + i];
    return kOk;
}

int CDirectSlots::StatusOf(int nSlot, SDeviceStatus& status) {
    const int nCode = EnsureSlot(nSlot);
    if (nCode != kOk)
        return nCode;
    const int nRead = ReadStatusPacket(m_slots[nSlot], status);
    if (nRead != kOk)
        status.m_nStateCode = nRead;
    CloseIfGone(nSlot);
    return kOk;
}

int CDirectSlots::WaitStatus(uint8_t nMask, uint32_t nTimeoutMs, int nSlot) {
    if (!HoldsSensor(nSlot))
        return kNoSlotSensor;
    SSlot& slot = m_slots[nSlot];
    SDeviceStatus status;
    (void)ReadStatusPacket(slot, status); // the first packet may be stale
    const uint64_t nStart = m_clock.NowMs();
    for (;;) {
        const int nCode = ReadStatusPacket(slot, status);
        if (nCode != kOk)
            return nCode;
        if ((status.m_nFlags & nMask) == nMask)
            return kOk;
        if (m_clock.NowMs() - nStart > nTimeoutMs)
            return kStatusWaitTimeout;
    }
}

// ---- image data ----

int CDirectSlots::ReadImageData(int nSlot, uint8_t* pBuffer, size_t& nLength,
                                uint32_t nTimeoutMs) {
    const size_t nRoom = nLength;
    nLength = 0;
    const int nCode = EnsureSlot(nSlot);
    if (nCode != kOk)
        return nCode;
    SSlot& slot = m_slots[nSlot];
    int nResult = kOk;
    {
        std::lock_guard<std::recursive_mutex> hold(*slot.m_pLock);
        if (!slot.m_pDevice->HasEndpoint(dp::kEpImage)) {
            nResult = kMissingEndpoint;
        } else {
            slot.m_pDevice->SetTimeout(dp::kEpImage, nTimeoutMs);
            size_t n = nRoom;
            if (slot.m_pDevice->Transfer(dp::kEpImage, pBuffer, n) && n <= nRoom)
                nLength = n;
            else
                nResult = kTimeout;
        }
    }
    CloseIfGone(nSlot);
    return nResult;
}

} // namespace torvex
