// Reading and writing the calibration file beside a background image.
#include "io/calibration_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "io/regular_file.h"
#include "io/surface_file.h"

namespace {

constexpr const char* kFirstLine = "loftwork background calibration 1";
constexpr long kMostImageSide = 1L << 20;

// The words of one line, split at blanks and tabs (a carriage return before the newline is a
// blank too).
std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

bool parseFloat(const std::string& word, float& out) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(value) ||
        std::fabs(value) > 3.0e38) {
        return false;
    }
    out = static_cast<float>(value);
    return true;
}

bool parseSide(const std::string& word, long& out) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || errno == ERANGE || value < 1 ||
        value > kMostImageSide) {
        return false;
    }
    out = value;
    return true;
}

void appendFloat(std::string& out, float value) {
    char text[32];
    snprintf(text, sizeof text, " %.9g", static_cast<double>(value));
    out += text;
}

}  // namespace

std::string calibrationPathFor(const std::string& imagePath) {
    return imagePath + ".calibration";
}

std::string formatCalibration(const BackgroundPlacement& p, int width, int height) {
    std::string out = std::string(kFirstLine) + "\n";
    out += "image " + std::to_string(width) + " " + std::to_string(height) + "\n";
    out += "scale";
    appendFloat(out, p.scale);
    out += "\norigin";
    appendFloat(out, p.originZ);
    appendFloat(out, p.originY);
    out += "\nopacity";
    appendFloat(out, p.opacity);
    out += "\n";
    return out;
}

bool parseCalibration(const std::string& text, int width, int height,
                      BackgroundPlacement& placement, std::string& error) {
    if (text.find('\0') != std::string::npos) {
        error = "it is not text";
        return false;
    }
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || wordsOf(line) != wordsOf(kFirstLine)) {
        error = std::string("its first line is not \"") + kFirstLine + "\"";
        return false;
    }
    BackgroundPlacement next;
    long sides[2] = {0, 0};
    bool seen[4] = {false, false, false, false};  // image, scale, origin, opacity
    const char* const names[4] = {"image", "scale", "origin", "opacity"};
    const size_t counts[4] = {3, 2, 3, 2};
    int number = 1;
    while (std::getline(lines, line)) {
        ++number;
        const std::vector<std::string> words = wordsOf(line);
        if (words.empty()) continue;
        int k = 0;
        while (k < 4 && words[0] != names[k]) ++k;
        const std::string where = "line " + std::to_string(number);
        if (k == 4) {
            error = where + ": unknown word \"" + words[0].substr(0, 40) + "\"";
            return false;
        }
        if (seen[k]) {
            error = where + ": \"" + names[k] + "\" given twice";
            return false;
        }
        seen[k] = true;
        bool ok = words.size() == counts[k];
        if (ok && k == 0) ok = parseSide(words[1], sides[0]) && parseSide(words[2], sides[1]);
        if (ok && k == 1) ok = parseFloat(words[1], next.scale);
        if (ok && k == 2)
            ok = parseFloat(words[1], next.originZ) && parseFloat(words[2], next.originY);
        if (ok && k == 3) ok = parseFloat(words[1], next.opacity);
        if (!ok) {
            error = where + ": \"" + names[k] + "\" takes " + std::to_string(counts[k] - 1) +
                    (k == 0 ? " pixel counts" : " finite numbers");
            return false;
        }
    }
    for (int k = 0; k < 4; ++k) {
        if (!seen[k]) {
            error = std::string("no \"") + names[k] + "\" line";
            return false;
        }
    }
    if (sides[0] != width || sides[1] != height) {
        char text[160];
        snprintf(text, sizeof text,
                 "it was made for an image of %ld x %ld pixels, this one has %d x %d", sides[0],
                 sides[1], width, height);
        error = text;
        return false;
    }
    if (!placementIsSound(next, width, height, error)) return false;
    placement = next;
    return true;
}

CalibrationRead readCalibrationFile(const std::string& imagePath, int width, int height,
                                    BackgroundPlacement& placement, std::string& error) {
    const std::string path = calibrationPathFor(imagePath);
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 && errno == ENOENT) return CalibrationRead::missing;
    std::string text;
    if (!readRegularFile(path.c_str(), kMostCalibrationFileBytes, text, error)) {
        return CalibrationRead::refused;
    }
    return parseCalibration(text, width, height, placement, error) ? CalibrationRead::applied
                                                                   : CalibrationRead::refused;
}

bool writeCalibrationFile(const std::string& imagePath, const BackgroundPlacement& placement,
                          int width, int height, std::string& error) {
    if (!placementIsSound(placement, width, height, error)) return false;
    // A file that is not a calibration of this image (another file, or one linked there) is
    // never written over.
    BackgroundPlacement existing;
    std::string why;
    if (readCalibrationFile(imagePath, width, height, existing, why) == CalibrationRead::refused) {
        error = "the file there was refused when read (" + why +
                "), so it is kept as it is; remove it to save calibrations of this image";
        return false;
    }
    // A link of that name is replaced itself, never written through.
    const std::string path = calibrationPathFor(imagePath);
    return writeFileReplacing(path.c_str(), formatCalibration(placement, width, height), error,
                              LinkHandling::replaceLink);
}
