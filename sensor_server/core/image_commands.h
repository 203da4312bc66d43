#pragma once
// The image commands of the box and wireless side: FilterImage (300) here,
// over bitmap files that clients name.
#include "image_files.h"
#include "server_state.h"
#include "shell_hooks.h"

#include <string>

namespace torvex {

// The image sizes FilterImage accepts, in either orientation.
struct SImageSize {
    int m_nWidth, m_nHeight;
};
constexpr SImageSize kFilterSizes[] = {{1000, 1496}, {1300, 1696}};
bool IsFilterSize(int nWidth, int nHeight);

// "varnikflt." plus the source's extension, in the source's folder.
std::string FilterTargetPath(const std::string& strSource);

class CFilterCommand {
public:
    CFilterCommand(IImageFiles& files, IShellHooks& hooks) : m_files(files), m_hooks(hooks) {}
    // RESULT = path of the written file, or empty on failure; ERROR 0, 2 or 11.
    SAnswer FilterImage(const std::string& strSource);

private:
    SAnswer Run(const std::string& strSource);

    IImageFiles& m_files;
    IShellHooks& m_hooks;
};

} // namespace torvex
