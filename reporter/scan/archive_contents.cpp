#include "archive_contents.h"

#include "utf16.h"

#include <algorithm>
#include <set>

namespace ostrel {
namespace {

constexpr wchar_t kPageHead[] = L"<html><head><title>Thumbnails</title></head>\r\n"
                                L"<body bgcolor=\"#A0C0F0\"><font face=\"Arial\" size=\"1\">\r\n"
                                L"<table><tr>\r\n";
constexpr wchar_t kPageFooter[] =
    L"</tr></table>\r\n<br><br>\r\n"
    L"<i>Previews of the acquisitions around the sensor's logged events</i>\r\n</html>";
constexpr int kCellsPerRow = 6;
constexpr int kRingSize = 10;   // acquisitions kept up to an event
constexpr int kAfterCount = 10; // acquisitions taken after it
constexpr int kLogSlots = kRingSize + kAfterCount;
constexpr size_t kMinLogLine = 17;   // "YYYY-MM-DD HH:MM" and more
constexpr size_t kMinIndexLine = 10; // "MMDD-HHMM" and more
constexpr size_t kStampLength = 9;

std::wstring Lower(std::wstring text) {
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z')
            c = c - L'A' + L'a';
    return text;
}

bool IsAbsolutePath(const std::wstring& path) {
    return (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) ||
           (path.size() >= 2 && path[1] == L':');
}

std::wstring IndexFileName(int year) {
    return L"ACQ" + std::to_wstring(year) + L".idx";
}

// Year text and "MMDD-HHMM" key of a usable sensor-log line.
struct SLogEvent {
    std::wstring m_strYear, m_strKey;
};

SLogEvent LogEvent(const std::wstring& line) {
    return {line.substr(0, 4),
            line.substr(5, 2) + line.substr(8, 2) + L"-" + line.substr(11, 2) + line.substr(14, 2)};
}

std::wstring Trim(const std::wstring& text) {
    const wchar_t* blanks = L" \t\r\n\f\v";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// One usable line of a yearly index, as the log builder needs it.
struct SIndexLine {
    std::wstring m_strStamp;
    std::wstring m_strPreview; // empty without image field
};

struct SIndexYear {
    std::wstring m_strYear;
    std::vector<SIndexLine> m_lines;
    // Largest stamp of lines 0..i: the first line past an event is the first
    // whose running maximum passes it, found by bisection.
    std::vector<std::wstring> m_runningMax;
    size_t m_nFirst = 0; // position of its first line in the whole sequence
};

// The log builder's index files, read once, and every ring state they lead
// to: m_latest[n][s] is the line that last filled slot s after the first n
// lines of the whole sequence, -1 for none.
class CIndexHistory {
public:
    void Load(const SThumbnailPorts& ports, const std::wstring& workDir, int lastYear,
              const std::wstring& imagesDir) {
        for (int year = kFirstIndexYear; year <= lastYear; ++year) {
            std::vector<std::wstring> raw;
            if (!ReadIndexFile(ports, workDir, imagesDir, year, raw))
                continue;
            SIndexYear y;
            y.m_strYear = std::to_wstring(year);
            y.m_nFirst = m_nLines;
            for (const auto& line : raw) {
                if (line.size() < kMinIndexLine)
                    continue;
                SIndexLine entry{line.substr(0, kStampLength), L""};
                std::wstring image;
                if (IndexImageField(line, image))
                    entry.m_strPreview = image + L".SPV";
                y.m_runningMax.push_back(y.m_runningMax.empty() ||
                                                 entry.m_strStamp > y.m_runningMax.back()
                                             ? entry.m_strStamp
                                             : y.m_runningMax.back());
                y.m_lines.push_back(entry);
            }
            m_nLines += y.m_lines.size();
            m_years.push_back(std::move(y));
        }
        // Pointers into the years are stable only now.
        m_all.clear();
        for (auto& y : m_years)
            for (auto& line : y.m_lines)
                m_all.push_back(&line);
        m_latest.assign(m_all.size() + 1, {});
        m_latest[0].fill(-1);
        for (size_t n = 0; n < m_all.size(); ++n) {
            m_latest[n + 1] = m_latest[n];
            if (!m_all[n]->m_strPreview.empty())
                m_latest[n + 1][n % kRingSize] = static_cast<int>(n);
        }
    }

    // The twenty log slots of one event, as the full re-reading gives them.
    void Fill(const SLogEvent& event, std::array<std::wstring, kLogSlots>& slots) const {
        // Lines of earlier years all lie before the event; in its own year,
        // those before the first later stamp do.
        size_t before = 0;
        const SIndexYear* own = nullptr;
        for (const auto& y : m_years) {
            if (y.m_strYear < event.m_strYear) {
                before = y.m_nFirst + y.m_lines.size();
            } else {
                if (y.m_strYear == event.m_strYear)
                    own = &y;
                break;
            }
        }
        size_t after = m_all.size(); // first line of the after-part
        if (own) {
            const auto it = std::upper_bound(own->m_runningMax.begin(), own->m_runningMax.end(),
                                             event.m_strKey);
            const size_t inYear = static_cast<size_t>(it - own->m_runningMax.begin());
            before = own->m_nFirst + inYear;
            if (inYear < own->m_lines.size())
                after = before;
        }
        for (auto& s : slots)
            s.clear();
        for (int s = 0; s < kRingSize; ++s)
            if (const int line = m_latest[before][s]; line >= 0)
                slots[s] = m_all[line]->m_strPreview;
        if (after == m_all.size())
            return;
        // The after-part: the next ten lines, the one past the event first,
        // running on into later years when its own year ends.
        size_t p = kRingSize;
        int a = kAfterCount;
        for (size_t n = after; n < m_all.size() && a > 0; ++n) {
            const SIndexLine& line = *m_all[n];
            const std::wstring& year = YearOf(n);
            if (year < event.m_strYear ||
                (year == event.m_strYear && line.m_strStamp <= event.m_strKey)) {
                if (!line.m_strPreview.empty())
                    slots[p] = line.m_strPreview;
                p = (p + 1) % kRingSize;
            }
            if (!line.m_strPreview.empty())
                slots[p] = line.m_strPreview;
            --a;
            ++p;
            if (a == 0)
                break;
        }
    }

    bool Empty() const { return m_years.empty(); }

private:
    const std::wstring& YearOf(size_t n) const {
        for (const auto& y : m_years)
            if (n < y.m_nFirst + y.m_lines.size())
                return y.m_strYear;
        return m_years.back().m_strYear;
    }

    std::vector<SIndexYear> m_years;
    size_t m_nLines = 0;
    std::vector<const SIndexLine*> m_all;
    std::vector<std::array<int, kRingSize>> m_latest;
};

} // namespace

bool ReadIndexFile(const SThumbnailPorts& ports, const std::wstring& workDir,
                   const std::wstring& imagesDir, int year, std::vector<std::wstring>& lines) {
    lines.clear();
    const std::wstring name = IndexFileName(year);
    const std::wstring path = imagesDir + name;
    if (!ports.m_files.CanOpenForReadShareRead(path))
        return false;
    ports.m_files.CopyNoOverwrite(path, workDir + L"\\" + name);
    ports.m_text.ReadLines(path, lines);
    return true;
}

bool IndexImageField(const std::wstring& line, std::wstring& image) {
    image.clear();
    int nonEmpty = 0;
    size_t lastStart = std::wstring::npos;
    size_t start = 0;
    while (true) {
        const size_t end = line.find(L';', start);
        const size_t stop = end == std::wstring::npos ? line.size() : end;
        if (stop > start) {
            ++nonEmpty;
            lastStart = start;
        }
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    if (nonEmpty < 2)
        return false;
    image = line.substr(lastStart);
    return true;
}

std::wstring SafeFileNamePart(const std::wstring& text) {
    std::wstring safe = text;
    for (auto& c : safe)
        if (c < 0x20 || c == 0x7F || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos)
            c = L'_';
    while (!safe.empty() && (safe.back() == L'.' || safe.back() == L' '))
        safe.pop_back();
    return safe;
}

bool ThumbnailName(const std::wstring& preview, std::wstring& name) {
    name.clear();
    const size_t last = preview.rfind(L'\\');
    if (last == std::wstring::npos)
        return false;
    const size_t before = last == 0 ? std::wstring::npos : preview.rfind(L'\\', last - 1);
    const size_t from = before == std::wstring::npos ? 0 : before + 1;
    std::wstring joined = preview.substr(from, last - from) + L"_" + preview.substr(last + 1);
    // Only the text between backslashes is kept; what else could name a
    // folder (a slash, a drive colon) is replaced, so ".." stays inert text.
    name = L"Patient_No" + SafeFileNamePart(joined);
    return true;
}

CThumbnailPage::CThumbnailPage(IScanSteps& steps, ICollectionFiles& files, IReportFileOps& out,
                               std::wstring workDir)
    : m_steps(steps), m_files(files), m_out(out), m_strWorkDir(std::move(workDir)) {}

void CThumbnailPage::Begin() {
    m_steps.ExecuteStep(SStepRow().Command(L"mkdir \"" + Folder() + L"\"").Icon(kIconFile));
    m_strText = kPageHead;
    m_nCells = 0;
}

bool CThumbnailPage::Add(const std::wstring& preview, const std::wstring& imagesDir) {
    std::wstring name;
    if (!ThumbnailName(preview, name))
        return false;
    const std::wstring source = IsAbsolutePath(preview) ? preview : imagesDir + preview;
    if (!m_files.CopyNoOverwrite(source, Folder() + L"\\" + name))
        return false;
    m_strText += L"<td><img src=\"./" + name + L"\"><br>" + name + L"</td>\r\n";
    if (++m_nCells % kCellsPerRow == 0)
        m_strText += L"</tr><tr>\r\n";
    return true;
}

void CThumbnailPage::Finish() {
    m_strText += kPageFooter;
    const std::wstring path = Folder() + L"\\List.html";
    std::string bytes;
    AppendUtf16Le(bytes, m_strText);
    if (m_out.CreateTruncate(path))
        m_out.AppendExisting(path, bytes);
}

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
    bool loaded = false;
    CIndexHistory history;
    // Every copy of a preview after its first attempt fails the same way
    // (the name is taken, or the source is missing), so it is tried once.
    std::set<std::wstring> tried;
    std::array<std::wstring, kLogSlots> slots;
    for (const auto& line : log) {
        if (line.size() < kMinLogLine)
            continue;
        if (!loaded) {
            history.Load(ports, workDir, lastYear, imagesDir);
            loaded = true;
        }
        history.Fill(LogEvent(line), slots);
        for (auto& entry : table)
            entry.clear();
        for (int s = 0; s < kLogSlots; ++s) {
            table[s] = slots[s];
            if (slots[s].empty())
                continue;
            found = true;
            if (tried.insert(slots[s]).second)
                page.Add(slots[s], imagesDir);
        }
    }
    page.Finish();
    return found;
}

void BuildThumbnailsFromIndex(const SThumbnailPorts& ports, const std::wstring& workDir,
                              int lastYear, const std::wstring& imagesDir, ThumbnailTable& table) {
    for (auto& entry : table)
        entry.clear();
    size_t p = 0;
    for (int year = kFirstIndexYear; year <= lastYear; ++year) {
        std::vector<std::wstring> lines;
        if (!ReadIndexFile(ports, workDir, imagesDir, year, lines))
            continue;
        for (const auto& raw : lines) {
            const std::wstring line = Trim(raw);
            if (line.empty())
                continue;
            std::wstring image;
            table[p] = IndexImageField(line, image) ? image + L".SPV" : line;
            p = (p + 1) % kThumbnailSlots;
        }
    }
    CThumbnailPage page(ports.m_steps, ports.m_files, ports.m_page, workDir);
    page.Begin();
    for (const auto& entry : table)
        if (!entry.empty())
            page.Add(entry, imagesDir);
    page.Finish();
}

bool FindOscilloscopeFiles(ICollectionFiles& files, const std::wstring& folder, FileQueue& list) {
    bool found = false;
    for (const auto& entry : files.FindEntries(folder + L"*")) {
        if (entry.m_strName == L"." || entry.m_strName == L"..")
            continue;
        const std::wstring path = folder + entry.m_strName;
        if (entry.m_bDirectory) {
            // A junction may lead back up the tree: never followed.
            if (entry.m_bReparsePoint)
                continue;
            if (FindOscilloscopeFiles(files, path + L"\\", list)) {
                list.push_back(path);
                found = true;
            }
        } else if (Lower(entry.m_strName) == L"image osc.dat") {
            list.push_back(path);
            return true;
        }
    }
    return found;
}

CArchiveSteps::CArchiveSteps(IScanSteps& steps, ICollectionFiles& files, IArchiveFactory& factory,
                             std::wstring workDir)
    : m_steps(steps), m_files(files), m_factory(factory), m_strWorkDir(std::move(workDir)) {}

bool CArchiveSteps::Start(const std::wstring& action, const std::wstring& comment, bool ok) {
    m_steps.ExecuteStep(SStepRow()
                            .Action(action)
                            .Status(L"Processing")
                            .Comment(comment)
                            .Icon(kIconArchive)
                            .Advance());
    if (!ok)
        Finish(false);
    return ok;
}

void CArchiveSteps::Finish(bool ok) {
    m_steps.ExecuteStep(SStepRow().Status(ok ? L"OK" : L"Failed !").Icon(kIconArchive).Advance());
}

std::unique_ptr<IArchive> CArchiveSteps::CompressFiles(const std::wstring& zipPath) {
    Start(L"Compressing files", L"Creating: " + zipPath, true);
    std::unique_ptr<IArchive> archive = m_factory.Create(zipPath);
    if (!archive) {
        Finish(false);
        return nullptr;
    }
    FileQueue queue;
    // Without a working folder the search would list the drive's root.
    if (!m_strWorkDir.empty())
        ListFolderFiles(m_files, m_strWorkDir, L"\\*.*", queue);
    for (; !queue.empty(); queue.pop_back()) {
        const std::wstring& path = queue.back();
        (void)archive->AddFile(path.substr(path.rfind(L'\\') + 1), path);
    }
    Finish(true);
    return archive;
}

void CArchiveSteps::CompressPatientOscilloscopes(IArchive* archive, const std::wstring& imagesDir) {
    if (!Start(L"Compressing patients oscilloscopes", L"", archive != nullptr))
        return;
    FileQueue list;
    if (!imagesDir.empty())
        FindOscilloscopeFiles(m_files, imagesDir, list);
    for (; !list.empty(); list.pop_back()) {
        const std::wstring& path = list.back();
        if (path.size() <= imagesDir.size())
            continue;
        const std::wstring name = path.substr(imagesDir.size());
        if (name.size() >= 4 && Lower(name.substr(name.size() - 4)) == L".dat")
            (void)archive->AddFile(name, path);
        else
            (void)archive->AddFolder(name);
    }
    Finish(true);
}

void CArchiveSteps::CompressOscilloscopes(IArchive* archive, const std::wstring& imagesDir) {
    if (!Start(L"Compressing oscilloscopes", L"", archive != nullptr))
        return;
    FileQueue folders;
    if (!imagesDir.empty())
        ListSubfolders(m_files, imagesDir + L"Oscillos\\", L"*", folders);
    for (; !folders.empty(); folders.pop_back()) {
        const std::wstring& folder = folders.back();
        const std::wstring entry = L"Oscillos\\" + folder.substr(folder.rfind(L'\\') + 1);
        (void)archive->AddFolder(entry);
        FileQueue files;
        ListFolderFiles(m_files, folder + L"\\", L"*", files);
        for (; !files.empty(); files.pop_back()) {
            const std::wstring& path = files.back();
            (void)archive->AddFile(entry + path.substr(path.rfind(L'\\')), path);
        }
    }
    Finish(true);
}

void CArchiveSteps::CompressThumbnails(IArchive* archive) {
    if (!Start(L"Compressing thumbnails", L"", archive != nullptr))
        return;
    (void)archive->AddFolder(L"Thumbnails");
    FileQueue files;
    if (!m_strWorkDir.empty())
        ListFolderFiles(m_files, m_strWorkDir + L"\\Thumbnails\\", L"*", files);
    for (; !files.empty(); files.pop_back()) {
        const std::wstring& path = files.back();
        (void)archive->AddFile(L"Thumbnails" + path.substr(path.rfind(L'\\')), path);
    }
    Finish(true);
}

} // namespace ostrel
