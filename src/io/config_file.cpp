// Reading the start-up configuration file.
#include "io/config_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool isBlank(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

bool readConfiguredSurfacePath(const char* configPath, char* out, size_t outSize,
                               std::string& error) {
    if (outSize > 0) out[0] = '\0';
    const std::string name = configPath;
    FILE* file = fopen(configPath, "r");
    if (file == nullptr) {
        error = "no start-up surface: cannot open " + name + ": " + strerror(errno);
        return false;
    }
    int c;
    do {
        c = fgetc(file);
    } while (c != EOF && isBlank(c));
    size_t length = 0;
    bool tooLong = false;
    while (c != EOF && !isBlank(c)) {
        if (length + 1 < outSize) {
            out[length++] = static_cast<char>(c);
        } else {
            tooLong = true;
            break;
        }
        c = fgetc(file);
    }
    const bool readFailed = ferror(file) != 0;
    fclose(file);
    if (readFailed) {
        error = "no start-up surface: cannot read " + name;
    } else if (tooLong) {
        error = "no start-up surface: the path in " + name + " is longer than " +
                std::to_string(outSize - 1) + " characters";
    } else if (length == 0) {
        error = "no start-up surface: " + name + " names no file";
    } else {
        out[length] = '\0';
        return true;
    }
    if (outSize > 0) out[0] = '\0';
    return false;
}
