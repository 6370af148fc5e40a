// Reading the start-up configuration file.
#include "io/config_file.h"

#include <cstring>

#include "io/regular_file.h"

namespace {

bool isBlank(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

bool readConfiguredSurfacePath(const char* configPath, char* out, size_t outSize,
                               std::string& error) {
    if (outSize > 0) out[0] = '\0';
    const std::string name = configPath;
    std::string text;
    std::string why;
    if (!readRegularFile(configPath, kMostConfigFileBytes, text, why)) {
        error = "no start-up surface: cannot read " + name + ": " + why;
        return false;
    }
    size_t start = 0;
    while (start < text.size() && isBlank(text[start])) ++start;
    size_t end = start;
    while (end < text.size() && !isBlank(text[end])) ++end;
    const size_t length = end - start;
    if (length == 0) {
        error = "no start-up surface: " + name + " names no file";
        return false;
    }
    if (length + 1 > outSize) {
        error = "no start-up surface: the path in " + name + " is longer than " +
                std::to_string(outSize > 0 ? outSize - 1 : 0) + " characters";
        return false;
    }
    memcpy(out, text.data() + start, length);
    out[length] = '\0';
    return true;
}
