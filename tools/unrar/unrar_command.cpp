#include "unrar_command.h"

namespace ostrel::rar {

std::vector<std::string> SplitCommandLine(const std::string& strLine) {
    std::vector<std::string> words;
    std::string word;
    bool bQuoted = false, bInWord = false;
    for (char c : strLine) {
        if (c == '"') {
            bQuoted = !bQuoted;
            bInWord = true;
        } else if (!bQuoted && (c == ' ' || c == '\t')) {
            if (bInWord)
                words.push_back(word);
            word.clear();
            bInWord = false;
        } else {
            word += c;
            bInWord = true;
        }
    }
    if (bInWord)
        words.push_back(word);
    return words;
}

std::optional<SUnrarCommand> ParseUnrarCommand(const std::string& strLine) {
    const std::vector<std::string> words = SplitCommandLine(strLine);
    if (words.size() != 6 || words[1] != "e" || words[2] != "-y" || words[4] != "*.*" ||
        words[3].empty() || words[5].empty())
        return std::nullopt;
    SUnrarCommand command{words[3], words[5]};
    if (command.m_strDestination.back() != '\\' && command.m_strDestination.back() != '/')
        command.m_strDestination += '\\';
    return command;
}

} // namespace ostrel::rar
