#pragma once
// How a service's image path becomes the driver file whose version is shown.
#include <string>

namespace ostrel {

// "system32..." (any case) lies below the Windows folder; "\SystemRoot..."
// (any case) has its root replaced by the Windows folder from the next "\"
// on; any other path is used unchanged.
std::wstring DriverFileFromImagePath(const std::wstring& imagePath,
                                     const std::wstring& windowsFolder);

// Upper case of the letters a-z and of the Latin-1 letters.
std::wstring UpperText(std::wstring text);

} // namespace ostrel
