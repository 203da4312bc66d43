#pragma once
// Commands on the interface box and the wireless sensor: acquisition set-up,
// identity, state, blemish table, battery and raw frames, with the timing
// rule, plus the pre-arm maintenance the transport runs before every arm.
#include "answer_writer.h"
#include "mailbox.h"
#include "server_state.h"
#include "transport.h"

#include <cstdint>

namespace torvex {

// An exchange that succeeds but returns later than this is a time-out.
constexpr uint32_t kTimingRuleMs = 5000;
constexpr uint32_t kTimingRuleStateMs = 10000;
// Exposures after which the sensor's memory is re-initialised before arming.
constexpr uint32_t kMaintenanceExposures = 32000;

class CSensorCommands final : public IPreArm {
public:
    CSensorCommands(CTransport& transport, CMailbox& mailbox, CAnswerWriter& answers,
                    SViewState& view);

    SAnswer StartAcquisition(uint8_t nMode); // 32 (mode 1) and 30 (mode 2)
    SAnswer StopAcquisition();               // 35
    SAnswer SetAcquisitionValue(uint8_t nValue);
    SAnswer SetControlMode(uint8_t nMode);
    SAnswer SetOptionBits(int nFirst, int nSecond);
    SAnswer ReadSensor();
    SAnswer ReadBox();
    SAnswer ReadState();
    SAnswer ReadBattery();
    SAnswer WriteBlemish(uint16_t wFirst, uint16_t wSecond);
    SAnswer SetBlemishMode(int nFirst, int nSecond);
    SAnswer ReadBlemish();
    SAnswer SendFrame(const CFrame& frame);

    int RunPreArmMaintenance() override;

private:
    // ExchangeFrame under the timing rule: late success becomes kTimeout.
    int TimedExchange(CFrame& frame, uint32_t nLimitMs = kTimingRuleMs);
    // Runs StopAcquisition with its own complete answer (used by ReadState).
    void StopAcquisitionAnswered();

    CTransport& m_transport;
    CMailbox& m_mailbox;
    CAnswerWriter& m_answers;
    SViewState& m_view;
};

} // namespace torvex
