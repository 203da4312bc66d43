#pragma once
// The one command line the stand-in understands:
//   "<tool>" e -y "<archive>" *.* "<destination folder\>"
// Quotes only group; a backslash before a quote is a plain backslash, so a
// quoted folder may end in one.
#include <optional>
#include <string>
#include <vector>

namespace ostrel::rar {

struct SUnrarCommand {
    std::string m_strArchive;
    std::string m_strDestination; // ends in a backslash
};

// The words of a command line, the program's own first.
std::vector<std::string> SplitCommandLine(const std::string& strLine);

// Null unless the words after the program are e, -y, the archive, *.* and
// a destination (a backslash is added when it has none).
std::optional<SUnrarCommand> ParseUnrarCommand(const std::string& strLine);

} // namespace ostrel::rar
