// libFuzzer target: any bytes as a background image, through the editor's checks and decoding.
#include <FreeImage.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "view/image_decode.h"

namespace {

// The largest side the fuzzed images are scaled to: small, so that scaling is exercised often.
constexpr int kMostSide = 512;

[[noreturn]] void fault(const char* what) {
    fprintf(stderr, "image decoder: %s\n", what);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    FIBITMAP* bitmap = decodeImage(data, size, kMostSide, error);
    if (bitmap == nullptr) {
        if (error.empty()) fault("refused without a reason");
        return 0;
    }
    if (sniffImageFormat(data, size) == ImageFormat::Unknown) fault("decoded an unlisted format");
    const unsigned width = FreeImage_GetWidth(bitmap), height = FreeImage_GetHeight(bitmap);
    if (FreeImage_GetBPP(bitmap) != 32 || FreeImage_GetImageType(bitmap) != FIT_BITMAP) {
        fault("the bitmap is not 32-bit");
    }
    if (width < 1 || height < 1 || width > kMostSide || height > kMostSide) {
        fault("the bitmap's size is out of bounds");
    }
    // Every pixel is readable: the texture upload reads them all.
    unsigned sum = 0;
    for (unsigned row = 0; row < height; ++row) {
        const BYTE* line = FreeImage_GetScanLine(bitmap, static_cast<int>(row));
        for (unsigned i = 0; i < 4 * width; ++i) sum += line[i];
    }
    FreeImage_Unload(bitmap);
    return sum == 0xffffffffu ? 1 : 0;
}
