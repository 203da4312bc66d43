// The archive writer of the simulator and the reader of the UnRAR stand-in,
// against bytes written out by hand, against each other and against
// bsdtar as a peer reader.
#include "rar_format.h"
#include "rar_reader.h"
#include "rar_writer.h"
#include "unrar_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

using namespace ostrel::rar;
using torvex::sim::SRarFile;
using torvex::sim::WriteRar;

namespace {

// "A.TXT" holding "hi": marker, archive header (check CF 90), file header
// (check 56 02, file CRC D8932AAC), the two bytes, end block (check 3DC4).
const std::vector<uint8_t> kTiny = {
    0x52, 0x61, 0x72, 0x21, 0x1a, 0x07, 0x00,                                     // marker
    0xcf, 0x90, 0x73, 0x00, 0x00, 0x0d, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // archive
    0x02, 0x56, 0x74, 0x00, 0x80, 0x25, 0x00,                         // file: base header
    0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02,             // sizes, host
    0xac, 0x2a, 0x93, 0xd8, 0x00, 0x60, 0x8a, 0x5b, 0x14, 0x30,       // CRC, time, version, store
    0x05, 0x00, 0x20, 0x00, 0x00, 0x00, 0x41, 0x2e, 0x54, 0x58, 0x54, // name size, attributes, name
    0x68, 0x69,                                                       // "hi"
    0xc4, 0x3d, 0x7b, 0x00, 0x40, 0x07, 0x00};                        // end

std::string DataOf(const std::vector<uint8_t>& archive, const SRarEntry& entry) {
    return std::string(archive.begin() + static_cast<std::ptrdiff_t>(entry.m_nDataOffset),
                       archive.begin() +
                           static_cast<std::ptrdiff_t>(entry.m_nDataOffset + entry.m_nDataSize));
}

void SetU16(std::vector<uint8_t>& bytes, size_t nAt, uint16_t w) {
    bytes[nAt] = static_cast<uint8_t>(w);
    bytes[nAt + 1] = static_cast<uint8_t>(w >> 8);
}

// The file header of kTiny starts at 20; its check value is rewritten after a change.
constexpr size_t kTinyFileHeader = 20, kTinyFileHeaderSize = 0x25;
void ResealFileHeader(std::vector<uint8_t>& bytes) {
    SetU16(bytes, kTinyFileHeader, HeaderCrc(bytes.data() + kTinyFileHeader, kTinyFileHeaderSize));
}

} // namespace

TEST(Rar, WriterMatchesTheHandWrittenArchiveAndTheReaderReadsIt) {
    EXPECT_EQ(WriteRar({SRarFile{"A.TXT", {'h', 'i'}}}), kTiny);
    std::vector<SRarEntry> entries;
    ASSERT_EQ(ReadRar(kTiny.data(), kTiny.size(), entries), ERarError::None);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].m_strName, "A.TXT");
    EXPECT_EQ(DataOf(kTiny, entries[0]), "hi");
    EXPECT_EQ(entries[0].m_nDosTime, 0x5B8A6000u);
}

TEST(Rar, ReaderRoundTripsSeveralEntriesOfEverySize) {
    std::vector<SRarFile> files;
    for (size_t n : {0u, 1u, 255u, 70000u}) {
        SRarFile file{"dir\\F" + std::to_string(n) + ".FFC", {}};
        for (size_t i = 0; i < n; ++i)
            file.m_data.push_back(static_cast<uint8_t>(i * 31 + n));
        files.push_back(file);
    }
    const std::vector<uint8_t> archive = WriteRar(files);
    std::vector<SRarEntry> entries;
    ASSERT_EQ(ReadRar(archive.data(), archive.size(), entries), ERarError::None);
    ASSERT_EQ(entries.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(entries[i].m_strName, files[i].m_strName);
        EXPECT_EQ(DataOf(archive, entries[i]),
                  std::string(files[i].m_data.begin(), files[i].m_data.end()));
        EXPECT_EQ(PlainEntryName(entries[i].m_strName), files[i].m_strName.substr(4));
    }
}

TEST(Rar, BsdtarReadsWhatTheWriterWrites) {
    if (std::system("bsdtar --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "bsdtar not installed";
    std::vector<uint8_t> data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i ^ (i >> 8));
    const std::vector<uint8_t> archive =
        WriteRar({SRarFile{"TS2-1-00071.FFC", data}, SRarFile{"note.txt", {'o', 'k'}}});
    const std::string strPath = testing::TempDir() + "writer_peer.rar";
    std::ofstream(strPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(archive.data()),
               static_cast<std::streamsize>(archive.size()));
    const std::string strOut = testing::TempDir() + "writer_peer.out";
    ASSERT_EQ(std::system(("bsdtar -xOf " + strPath + " TS2-1-00071.FFC > " + strOut).c_str()), 0);
    std::ifstream in(strOut, std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), data);
    std::remove(strPath.c_str());
    std::remove(strOut.c_str());
}

TEST(Rar, ReaderRefusesDamagedAndUnsupportedArchives) {
    struct Case {
        const char* what;
        void (*change)(std::vector<uint8_t>&);
        ERarError expected;
    } cases[] = {
        {"no marker", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, ERarError::NotRar},
        {"archive header check", [](std::vector<uint8_t>& b) { b[7] ^= 1; }, ERarError::HeaderCrc},
        {"file header check", [](std::vector<uint8_t>& b) { b[kTinyFileHeader] ^= 1; },
         ERarError::HeaderCrc},
        {"file bytes", [](std::vector<uint8_t>& b) { b[57] = 'H'; }, ERarError::DataCrc},
        {"cut in the data", [](std::vector<uint8_t>& b) { b.resize(58); }, ERarError::Truncated},
        {"cut in a header", [](std::vector<uint8_t>& b) { b.resize(24); }, ERarError::Truncated},
        {"marker only", [](std::vector<uint8_t>& b) { b.resize(7); }, ERarError::Truncated},
        {"header size below 7",
         [](std::vector<uint8_t>& b) {
             SetU16(b, kTinyFileHeader + kAtHeadSize, 2);
             ResealFileHeader(b);
         },
         ERarError::Truncated},
        {"compressed entry",
         [](std::vector<uint8_t>& b) {
             b[kTinyFileHeader + kAtMethod] = 0x33;
             ResealFileHeader(b);
         },
         ERarError::Unsupported},
        {"encrypted entry",
         [](std::vector<uint8_t>& b) {
             b[kTinyFileHeader + kAtHeadFlags] |= kFileEncrypted;
             ResealFileHeader(b);
         },
         ERarError::Unsupported},
        {"split entry",
         [](std::vector<uint8_t>& b) {
             b[kTinyFileHeader + kAtHeadFlags] |= kFileSplitAfter;
             ResealFileHeader(b);
         },
         ERarError::Unsupported},
        {"name past the header",
         [](std::vector<uint8_t>& b) {
             SetU16(b, kTinyFileHeader + kAtNameSize, 6);
             ResealFileHeader(b);
         },
         ERarError::Truncated},
        {"volume",
         [](std::vector<uint8_t>& b) {
             b[10] |= kArchiveVolume;
             SetU16(b, 7, HeaderCrc(b.data() + 7, kArchiveHeaderSize));
         },
         ERarError::Unsupported},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = kTiny;
        c.change(bytes);
        std::vector<SRarEntry> entries;
        EXPECT_EQ(ReadRar(bytes.data(), bytes.size(), entries), c.expected) << c.what;
        EXPECT_TRUE(entries.empty()) << c.what;
    }
}

TEST(Rar, ReaderPassesOverOtherBlocksAndStopsAtTheEnd) {
    std::vector<uint8_t> bytes(kTiny.begin(), kTiny.begin() + 20);
    // A service block with 3 data bytes before the file.
    std::vector<uint8_t> service = {0, 0, 0x7A, 0x00, 0x80, 11, 0, 3, 0, 0, 0, 'x', 'y', 'z'};
    SetU16(service, 0, HeaderCrc(service.data(), 11));
    bytes.insert(bytes.end(), service.begin(), service.end());
    bytes.insert(bytes.end(), kTiny.begin() + 20, kTiny.end());
    bytes.push_back(0xEE); // after the end block: not read
    std::vector<SRarEntry> entries;
    ASSERT_EQ(ReadRar(bytes.data(), bytes.size(), entries), ERarError::None);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(DataOf(bytes, entries[0]), "hi");
}

TEST(Rar, PlainEntryNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"A.FFC", "A.FFC"}, {"x\\y\\A.FFC", "A.FFC"}, {"x/A.FFC", "A.FFC"}, {"..", ""},
        {"x\\..", ""},      {"C:A.FFC", ""},          {"a*.FFC", ""},       {"dir\\", ""},
        {"a\tb", ""},
    };
    for (const auto& [stored, plain] : cases)
        EXPECT_EQ(PlainEntryName(stored), plain) << stored;
}

TEST(UnrarCommand, TheServersCommandLineAndNothingElse) {
    const auto command = ParseUnrarCommand(
        "\"C:\\srv dir\\UnRAR.exe\" e -y \"C:\\srv dir\\S 1.FFC.RAR\" *.* \"C:\\srv dir\\x\\\"");
    ASSERT_TRUE(command);
    EXPECT_EQ(command->m_strArchive, "C:\\srv dir\\S 1.FFC.RAR");
    EXPECT_EQ(command->m_strDestination, "C:\\srv dir\\x\\")
        << "the backslash before the quote stays";
    EXPECT_EQ(ParseUnrarCommand("UnRAR e -y a.rar *.* C:\\out")->m_strDestination, "C:\\out\\");
    for (const char* bad : {"UnRAR x -y a.rar *.* C:\\out\\", "UnRAR e a.rar *.* C:\\out\\",
                            "UnRAR e -y a.rar *.FFC C:\\out\\", "UnRAR e -y a.rar *.*",
                            "UnRAR e -y a.rar *.* C:\\out\\ more", "UnRAR e -y \"\" *.* C:\\o\\"})
        EXPECT_FALSE(ParseUnrarCommand(bad)) << bad;
}
