#include "answer_writer.h"

namespace torvex {

void CAnswerWriter::WriteNeutral() {
    m_mailbox.WriteString("RESULT", std::string());
    m_mailbox.WriteString("ERROR", "0");
    m_mailbox.WriteString("READY", "0");
}

void CAnswerWriter::WriteFinal(const SAnswer& answer) {
    if (answer.m_result)
        m_mailbox.WriteString("RESULT", *answer.m_result);
    m_mailbox.WriteString("ERROR", std::to_string(answer.m_nCode));
    m_mailbox.WriteString("READY", "1");
}

} // namespace torvex
