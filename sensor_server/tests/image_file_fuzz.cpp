// libFuzzer target of the bitmap reader: any bytes either parse into rows
// that fit the data or are refused; ASan and UBSan watch every read.
#include "image_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    torvex::CImageFile image;
    if (image.Parse(pData, nSize) == 0) {
        const size_t nRows = image.RowSize() * static_cast<size_t>(image.Height());
        if (image.Pixels().size() != nRows || nRows > nSize)
            std::abort();
        (void)image.Serialize();
    }
    return 0;
}
