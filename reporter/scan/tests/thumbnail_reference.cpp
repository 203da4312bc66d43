#include "thumbnail_reference.h"

namespace ostrel::reference {

bool BuildThumbnailsFromLog(const SThumbnailPorts& ports, const std::wstring& workDir, int lastYear,
                            const std::wstring& logPath, const std::wstring& imagesDir,
                            ThumbnailTable& table) {
    CThumbnailPage page(ports.m_steps, ports.m_files, ports.m_page, workDir);
    page.Begin();
    std::vector<std::wstring> log;
    if (!ports.m_text.ReadLines(logPath, log)) {
        page.Finish();
        return false;
    }
    bool found = false;
    for (const auto& line : log) {
        if (line.size() <= 16)
            continue;
        const std::wstring y = line.substr(0, 4);
        const std::wstring k =
            line.substr(5, 2) + line.substr(8, 2) + L"-" + line.substr(11, 2) + line.substr(14, 2);
        for (auto& entry : table)
            entry.clear();
        int p = 0;
        int a = 0;
        for (int year = 2000; year <= lastYear; ++year) {
            // Every index file again, for every log line.
            std::vector<std::wstring> index;
            if (!ReadIndexFile(ports, workDir, imagesDir, year, index))
                continue;
            const std::wstring yearText = std::to_wstring(year);
            for (const auto& indexLine : index) {
                if (indexLine.size() <= 9)
                    continue;
                const std::wstring t = indexLine.substr(0, 9);
                std::wstring image;
                const bool hasImage = IndexImageField(indexLine, image);
                if (yearText < y || (yearText == y && t <= k)) {
                    if (hasImage)
                        table[p] = image + L".SPV";
                    p = (p + 1) % 10;
                } else if (yearText == y && t > k && a == 0) {
                    a = 10;
                    p = 10;
                }
                if (a > 0) {
                    if (hasImage)
                        table[p] = image + L".SPV";
                    --a;
                    ++p;
                    if (a == 0)
                        break;
                }
            }
        }
        for (int i = 0; i < 20; ++i) {
            if (table[i].empty())
                continue;
            found = true;
            page.Add(table[i], imagesDir);
        }
    }
    page.Finish();
    return found;
}

} // namespace ostrel::reference
