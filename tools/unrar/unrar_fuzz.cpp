// libFuzzer target of the stand-in's archive reader and command line: any
// file may be handed to it as an archive.
#include "rar_reader.h"
#include "unrar_command.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    using namespace ostrel::rar;
    std::vector<SRarEntry> entries;
    if (ReadRar(pData, nSize, entries) == ERarError::None) {
        for (const SRarEntry& entry : entries) {
            if (entry.m_nDataOffset > nSize || entry.m_nDataSize > nSize - entry.m_nDataOffset)
                std::abort(); // an entry's bytes must lie inside the archive
            (void)PlainEntryName(entry.m_strName);
        }
    } else if (!entries.empty()) {
        std::abort();
    }
    (void)ParseUnrarCommand(std::string(reinterpret_cast<const char*>(pData), nSize));
    return 0;
}
