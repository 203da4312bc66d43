// The archive steps' port over the ZIP writer; the writer reaches files
// through its own platform adapter, so this serves both builds.
#include "archive_contents.h"
#include "zip_writer.h"

namespace ostrel {
namespace {

class CZipArchive : public IArchive {
public:
    explicit CZipArchive(HZIP hZip) : m_hZip(hZip) {}
    ~CZipArchive() override {
        if (m_hZip)
            ZipWriterClose(m_hZip);
    }
    int AddFile(const std::wstring& name, const std::wstring& sourcePath) override {
        return ZipWriterAddFile(m_hZip, name.c_str(), sourcePath.c_str());
    }
    int AddFolder(const std::wstring& name) override {
        return ZipWriterAddFolder(m_hZip, name.c_str());
    }
    int Close() override {
        const int result = ZipWriterClose(m_hZip);
        m_hZip = nullptr;
        return result;
    }

private:
    HZIP m_hZip;
};

class CZipArchiveFactory : public IArchiveFactory {
public:
    std::unique_ptr<IArchive> Create(const std::wstring& path) override {
        HZIP hZip = ZipWriterCreate(path.c_str());
        if (!hZip)
            return nullptr;
        return std::make_unique<CZipArchive>(hZip);
    }
};

} // namespace

IArchiveFactory& SystemArchiveFactory() {
    static CZipArchiveFactory s_factory;
    return s_factory;
}

} // namespace ostrel
