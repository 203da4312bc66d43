#include "image_handover.h"

#include "image_record.h"

namespace torvex {

bool CImageHandOver::OnCopyData(uint32_t nIdentifier, const uint8_t* pData, size_t nSize) {
    if (nIdentifier != kCopyDataImage)
        return false;
    const std::optional<SImageRecord> record = ParseImageRecord(pData, nSize);
    if (!record)
        return false;
    m_view.m_nPixelCount = record->m_nWidth * record->m_nHeight;
    m_view.m_nEnergy = record->m_nEnergy;
    m_view.m_strLastImagePath = m_files.LastImagePath();
    const std::string strFolder = m_files.TempFolder();
    (void)m_files.WriteFile(strFolder + kRawFileName, RawFileBytes(*record));
    const std::string strOsc = OscillogramText(*record);
    (void)m_files.WriteFile(strFolder + kOscillogramFileName,
                            std::vector<uint8_t>(strOsc.begin(), strOsc.end()));
    (void)m_files.WriteFile(m_view.m_strLastImagePath, BitmapFileBytes(*record));
    return true;
}

} // namespace torvex
