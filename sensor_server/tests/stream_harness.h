#pragma once
// ReadImage's serial packet parser fed with arbitrary bytes: a serial port
// that serves a fixed byte string (and then reports the device gone), files
// and shell that only count. Shared by the bounded random test and the
// libFuzzer target.
#include "image_readout.h"
#include "status_codes.h"
#include "virtual_clock.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace torvex::harness {

class CNoBox final : public IBoxPort {
public:
    int FindBox(std::string&) override { return kNoMoreDevices; }
    int Open(const std::string&) override { return 2; }
    int WriteFrame(const uint8_t*) override { return 2; }
    int ReadFrame(uint8_t*) override { return 2; }
    int ReadStream(uint8_t*, size_t, size_t& nDone) override {
        nDone = 0;
        return 2;
    }
    int Close() override { return 0; }
    bool IsOpen() const override { return false; }
};

class CBytesPort final : public ISerialPort {
public:
    explicit CBytesPort(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    int Open(const std::string&) override {
        m_bOpen = true;
        return 0;
    }
    bool IsOpen() const override { return m_bOpen; }
    void Close() override { m_bOpen = false; }
    int Purge() override { return 0; }
    int StartWrite(const uint8_t*, size_t n, size_t& nDone) override {
        nDone = n;
        return 0;
    }
    int StartRead(uint8_t* p, size_t n, size_t& nDone) override {
        if (m_nAt >= m_bytes.size())
            return kGone;
        nDone = std::min(n, m_bytes.size() - m_nAt);
        std::copy_n(m_bytes.begin() + m_nAt, nDone, p);
        m_nAt += nDone;
        return 0;
    }
    int QueryRequest(size_t&) override { return 0; }
    void EndRequest() override {}
    void CancelIo() override {}
    static constexpr int kGone = 1167;

private:
    std::vector<uint8_t> m_bytes;
    size_t m_nAt = 0;
    bool m_bOpen = false;
};

class CHooks final : public IShellHooks {
public:
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void DefaultBeep() override {}
    bool FileExists(const std::string&) override { return false; }
};

class CFiles final : public IImageFiles {
public:
    int ReadAll(const std::string&, std::vector<uint8_t>&) override { return 2; }
    int WriteAll(const std::string&, const uint8_t* p, size_t n) override {
        m_written.assign(p, p + n);
        return 0;
    }
    int TempFileName(const std::string&, unsigned, std::string& strPath) override {
        strPath = "BMP1.tmp";
        return 0;
    }
    std::vector<uint8_t> m_written;
};

class CShell final : public IImageShell {
public:
    void ErrorBeep() override {}
    void DrawPreview(const SPreview&, const uint8_t*, const uint8_t*, int, int, size_t) override {}
    void EndPreview(const SPreview&, int, int) override {}
    bool Decompress(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, int) override {
        return false;
    }
};

// Runs one ReadImage in nMode over the bytes; the answer, and the file
// written (empty when none).
struct SStreamRun {
    SAnswer m_answer;
    std::vector<uint8_t> m_file;
};

inline SStreamRun RunStream(const std::vector<uint8_t>& bytes, uint8_t nMode) {
    SLinkState link;
    link.m_nKind = kLinkSerial;
    link.m_strDevicePath = "\\\\.\\COM7";
    CNoBox box;
    CBytesPort port(bytes);
    sim::CVirtualClock clock;
    CHooks hooks;
    CFiles files;
    CShell shell;
    SViewState view;
    CTransport transport(link, box, port, clock, hooks);
    CImageReadout readout(transport, files, shell, view);
    SStreamRun run;
    run.m_answer = readout.ReadImage(nMode, SPreview{10, 10});
    run.m_file = files.m_written;
    return run;
}

} // namespace torvex::harness
