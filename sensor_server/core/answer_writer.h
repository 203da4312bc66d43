#pragma once
// The order every answer keeps: RESULT, then ERROR, then READY "1" last, so
// a client that sees READY 1 reads final values.
#include "mailbox.h"
#include "server_state.h"

namespace torvex {

class CAnswerWriter {
public:
    explicit CAnswerWriter(CMailbox& mailbox) : m_mailbox(mailbox) {}
    // RESULT empty, ERROR 0, READY 0: the neutral answer while a command runs.
    void WriteNeutral();
    void WriteResultEmpty() { m_mailbox.WriteString("RESULT", std::string()); }
    void WriteFinal(const SAnswer& answer);

private:
    CMailbox& m_mailbox;
};

} // namespace torvex
