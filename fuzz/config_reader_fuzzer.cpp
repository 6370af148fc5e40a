// libFuzzer target: any bytes as the start-up configuration file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/editor_state.h"
#include "support/loader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static testsupport::ByteFile file;
    // The "file" box the editor reads into, and buffers of a few bytes where a token of almost
    // any length is too long.
    const size_t sizes[] = {static_cast<size_t>(kTextFieldSize), 0, 1, 2 + size % 7};
    for (size_t outSize : sizes) {
        const std::string fault = testsupport::checkConfigBytes(file, data, size, outSize);
        if (!fault.empty()) {
            fprintf(stderr, "configuration reader (%zu bytes): %s\n", outSize, fault.c_str());
            abort();
        }
    }
    return 0;
}
