#include "image_commands.h"

#include "image_file.h"
#include "image_filter.h"
#include "status_codes.h"

#include "guard.h"

#include <cctype>

namespace torvex {

namespace {

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == 0;
}

} // namespace

bool IsFilterSize(int nWidth, int nHeight) {
    for (const SImageSize& s : kFilterSizes) {
        if ((nWidth == s.m_nWidth && nHeight == s.m_nHeight) ||
            (nWidth == s.m_nHeight && nHeight == s.m_nWidth))
            return true;
    }
    return false;
}

std::string FilterTargetPath(const std::string& strSource) {
    std::string strExt = strSource.size() > 3 ? strSource.substr(strSource.size() - 3) : strSource;
    if (EqualsNoCase(strExt, "jpg"))
        strExt = "jpeg";
    else if (strExt == "tif")
        strExt = "tiff";
    const size_t nSlash = strSource.rfind('\\');
    const std::string strFolder =
        nSlash == std::string::npos ? "" : strSource.substr(0, nSlash + 1);
    return strFolder + "varnikflt." + strExt;
}

SAnswer CFilterCommand::FilterImage(const std::string& strSource) {
    // Tens of megabytes of working memory: running out answers 11, it never
    // throws through the window procedure.
    const SAnswer failed = AnswerText(kBadData, "");
    return ostrel::GuardCall("FilterImage", failed, [&] { return Run(strSource); });
}

SAnswer CFilterCommand::Run(const std::string& strSource) {
    if (!m_hooks.FileExists(strSource))
        return AnswerText(kFileMissing, "");
    CImageFile image;
    if (image.Read(m_files, strSource) != kOk || !IsFilterSize(image.Width(), image.Height()))
        return AnswerText(kBadData, "");

    SFilterParams params; // blur scale 10, weight 0.8, gamma 1, no final step
    CFilterWorkspace workspace;
    const SFilterScratch scratch = workspace.Prepare(image.Width(), image.Height(), params);
    if (Filter(image.View(), params, scratch) != kOk)
        return AnswerText(kBadData, "");

    // Written in the source's kind whatever the extension says.
    const std::string strTarget = FilterTargetPath(strSource);
    if (image.Write(m_files, strTarget) != kOk)
        return AnswerText(kBadData, "");
    return AnswerText(kOk, strTarget);
}

} // namespace torvex
