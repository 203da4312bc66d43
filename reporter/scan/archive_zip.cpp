// The archive steps' port over the ZIP writer; the writer reaches files
// through its own platform adapter, so this serves both builds.
#include "archive_contents.h"
#include "zip_writer.h"

#include <functional>
#include <utility>

namespace ostrel {
namespace {

void CallProgress(void* pContext, uint64_t, uint64_t) {
    (*static_cast<const std::function<void()>*>(pContext))();
}

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
    explicit CZipArchiveFactory(std::function<void()> onProgress = {})
        : m_onProgress(std::move(onProgress)) {}
    std::unique_ptr<IArchive> Create(const std::wstring& path) override {
        HZIP hZip = ZipWriterCreate(path.c_str());
        if (!hZip)
            return nullptr;
        if (m_onProgress)
            ZipWriterSetProgress(hZip, &CallProgress, &m_onProgress);
        return std::make_unique<CZipArchive>(hZip);
    }

private:
    std::function<void()> m_onProgress;
};

} // namespace

IArchiveFactory& SystemArchiveFactory() {
    static CZipArchiveFactory s_factory;
    return s_factory;
}

std::unique_ptr<IArchiveFactory> MakeZipArchiveFactory(std::function<void()> onProgress) {
    return std::make_unique<CZipArchiveFactory>(std::move(onProgress));
}

} // namespace ostrel
