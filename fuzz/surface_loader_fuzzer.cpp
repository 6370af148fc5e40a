// libFuzzer target: any bytes as a surface file, loaded the way the "load points" button does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/loader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static testsupport::ByteFile file;
    // Odd sizes load with skinning on, so the loader's reskinning of the new net runs too.
    const std::string fault = testsupport::checkSurfaceBytes(file, data, size, (size & 1) != 0);
    if (!fault.empty()) {
        fprintf(stderr, "surface loader: %s\n", fault.c_str());
        abort();
    }
    return 0;
}
