// Parsing and formatting of the surface text file, and the safe replacement of a file on disk.
#include "io/surface_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "io/file_size_signal.h"
#include "io/regular_file.h"
#include "io/temporary_files.h"
#include "model/knots.h"

namespace {

// Orders above the number of points give no drawable surface; such a file still loads (the
// editor itself can reach that state), but only up to this order, so that a tiny file cannot
// ask for a giant generated knot vector.
constexpr long long kMaxOrderBeyondCount = 64;

// The white space of fscanf: space, tab, newline, vertical tab, form feed, carriage return.
inline bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string quoted(const char* token, size_t length) {
    constexpr size_t kShown = 24;
    std::string text = "\"";
    for (size_t i = 0; i < length && i < kShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        text += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    if (length > kShown) text += "...";
    return text + "\"";
}

// Splits the text into whitespace-delimited tokens and converts them with full-token checks.
class TokenReader {
public:
    TokenReader(const char* begin, const char* end) : p_(begin), end_(end) {}

    // The next token, or false when only white space is left.
    bool next(const char*& token, size_t& length) {
        while (p_ < end_ && isBlank(*p_)) ++p_;
        if (p_ == end_) return false;
        token = p_;
        while (p_ < end_ && !isBlank(*p_)) ++p_;
        length = static_cast<size_t>(p_ - token);
        return true;
    }

    // Bytes not yet consumed.
    size_t remaining() const { return static_cast<size_t>(end_ - p_); }

    // True when the token ends where the text does (nothing stops a conversion after it).
    bool endsText(const char* token, size_t length) const { return token + length == end_; }

private:
    const char* p_;
    const char* end_;
};

// Converts a whole token to a float; false when any part of it is not a finite number.
bool tokenToFloat(const TokenReader& reader, const char* token, size_t length, float& value) {
    // strtof stops at the white space after a token; only a token that ends the text needs a
    // terminated copy.
    std::string copy;
    const char* start = token;
    if (reader.endsText(token, length)) {
        copy.assign(token, length);
        start = copy.c_str();
    }
    char* stop = nullptr;
    const float parsed = strtof(start, &stop);
    if (stop != start + length || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

// Converts a whole token to an int; false for anything but a whole number in int range.
bool tokenToInt(const TokenReader& reader, const char* token, size_t length, int& value) {
    std::string copy;
    const char* start = token;
    if (reader.endsText(token, length)) {
        copy.assign(token, length);
        start = copy.c_str();
    }
    errno = 0;
    char* stop = nullptr;
    const long parsed = strtol(start, &stop, 10);
    if (stop != start + length || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool tokenIs(const char* token, size_t length, const char* word) {
    return length == strlen(word) && memcmp(token, word, length) == 0;
}

// One pass over the text. With filenameIsFirstLine the FILENAME item is the whole first line,
// which reads files whose recorded path holds white space.
bool parseSurface(const char* text, size_t size, bool filenameIsFirstLine, SurfaceModel& out,
                  std::string& error) {
    const char* end = text + size;
    const char* start = text;
    if (filenameIsFirstLine) {
        const char* newline = static_cast<const char*>(memchr(text, '\n', size));
        start = newline ? newline + 1 : end;
    }
    TokenReader reader(start, end);
    const char* token = nullptr;
    size_t length = 0;

    if (!filenameIsFirstLine && !reader.next(token, length)) {
        error = "the file is empty";
        return false;
    }
    // Header: a word, then two whole numbers, three times over.
    int header[6];
    const char* pairNames[3] = {"degrees", "point counts", "knot counts"};
    const char* valueNames[6] = {"U degree",      "V degree",     "U point count",
                                 "V point count", "U knot count", "V knot count"};
    for (int pair = 0; pair < 3; ++pair) {
        if (!reader.next(token, length)) {
            error = std::string("the file ends before the ") + pairNames[pair];
            return false;
        }
        for (int k = 0; k < 2; ++k) {
            const int item = 2 * pair + k;
            if (!reader.next(token, length)) {
                error = std::string("the file ends before the ") + valueNames[item];
                return false;
            }
            if (!tokenToInt(reader, token, length, header[item])) {
                error = std::string("the ") + valueNames[item] +
                        " is not a valid whole number: " + quoted(token, length);
                return false;
            }
        }
    }
    const int dU = header[0], dV = header[1], nU = header[2], nV = header[3];
    const int kU = header[4], kV = header[5];
    char line[256];
    if (dU < 0 || dV < 0) {
        snprintf(line, sizeof line, "the degrees must be 0 or more, not %d and %d", dU, dV);
        error = line;
        return false;
    }
    if (nU < 1 || nV < 1) {
        snprintf(line, sizeof line, "the point counts must be 1 or more, not %d x %d", nU, nV);
        error = line;
        return false;
    }
    const long long orderU = static_cast<long long>(dU) + 1;
    const long long orderV = static_cast<long long>(dV) + 1;
    if ((orderU > nU && orderU > kMaxOrderBeyondCount) ||
        (orderV > nV && orderV > kMaxOrderBeyondCount)) {
        snprintf(line, sizeof line, "degrees %d x %d are far beyond what %d x %d points can carry",
                 dU, dV, nU, nV);
        error = line;
        return false;
    }
    const long long expectedKU = nU + orderU;
    const long long expectedKV = nV + orderV;
    if (kU != expectedKU || kV != expectedKV) {
        snprintf(line, sizeof line,
                 "the knot counts %d x %d do not match %d x %d points of degrees %d x %d "
                 "(%lld x %lld expected)",
                 kU, kV, nU, nV, dU, dV, expectedKU, expectedKV);
        error = line;
        return false;
    }
    // Every point takes four numbers of at least one character, each followed by white space
    // but the last; a count the file cannot hold is refused before anything is allocated.
    const long long pointCount = static_cast<long long>(nU) * nV;
    const long long fits = (static_cast<long long>(reader.remaining()) + 1) / 8;
    if (pointCount > fits || pointCount > INT_MAX) {
        snprintf(line, sizeof line, "the file is too short to hold %d x %d points", nU, nV);
        error = line;
        return false;
    }
    if (!reader.next(token, length)) {
        error = "the file ends before the COORD.C.P.(X,Y,Z,W) line";
        return false;
    }

    out.orderU = dU + 1;
    out.orderV = dV + 1;
    out.countU = nU;
    out.countV = nV;
    out.knotCountU = kU;
    out.knotCountV = kV;
    out.controlNet.resize(static_cast<size_t>(pointCount));
    for (long long i = 0; i < pointCount; ++i) {
        float* values = &out.controlNet[static_cast<size_t>(i)].x;
        for (int c = 0; c < 4; ++c) {
            if (!reader.next(token, length)) {
                snprintf(line, sizeof line,
                         "the file ends inside the control points (after %lld of %lld)", i,
                         pointCount);
                error = line;
                return false;
            }
            if (!tokenToFloat(reader, token, length, values[c])) {
                snprintf(line, sizeof line, "point %lld of section %lld: ", i % nU, i / nU);
                error = std::string(line) + quoted(token, length) + " is not a finite number";
                return false;
            }
        }
    }

    // Optional knot lists: "KNOTS_U" and its knots, then "KNOTS_V" and its knots. A token that
    // is neither header means the remaining knots are generated; what follows is not read.
    auto readKnots = [&](const char* name, int count, std::vector<float>& knots) {
        if (static_cast<long long>(count) > (static_cast<long long>(reader.remaining()) + 1) / 2) {
            error = std::string("the file ends inside the ") + name + " list";
            return false;
        }
        knots.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            if (!reader.next(token, length)) {
                snprintf(line, sizeof line, "the file ends inside the %s list (after %d of %d)",
                         name, i, count);
                error = line;
                return false;
            }
            if (!tokenToFloat(reader, token, length, knots[static_cast<size_t>(i)])) {
                snprintf(line, sizeof line, "knot %d of %s: ", i, name);
                error = std::string(line) + quoted(token, length) + " is not a finite number";
                return false;
            }
        }
        return true;
    };
    bool hasKnotsU = false;
    bool hasKnotsV = false;
    bool haveToken = reader.next(token, length);
    if (haveToken && tokenIs(token, length, "KNOTS_U")) {
        if (!readKnots("KNOTS_U", kU, out.knotsU)) return false;
        hasKnotsU = true;
        haveToken = reader.next(token, length);
    }
    if (haveToken && tokenIs(token, length, "KNOTS_V")) {
        if (!readKnots("KNOTS_V", kV, out.knotsV)) return false;
        hasKnotsV = true;
    }
    // A direction the file gives no knots for gets clamped uniform ones.
    if (!hasKnotsU) {
        out.knotsU.resize(static_cast<size_t>(kU));
        fillUniformKnots(out.knotsU.data(), kU, out.orderU);
    }
    if (!hasKnotsV) {
        out.knotsV.resize(static_cast<size_t>(kV));
        fillUniformKnots(out.knotsV.data(), kV, out.orderV);
    }
    return true;
}

// True when the first line starts with "FILENAME:" and holds more than one token.
bool firstLineIsSpacedFileName(const char* text, size_t size) {
    static const char kPrefix[] = "FILENAME:";
    const size_t prefixLength = sizeof kPrefix - 1;
    if (size < prefixLength || memcmp(text, kPrefix, prefixLength) != 0) return false;
    const char* newline = static_cast<const char*>(memchr(text, '\n', size));
    const char* lineEnd = newline ? newline : text + size;
    const char* p = text;
    while (p < lineEnd && !isBlank(*p)) ++p;
    while (p < lineEnd && isBlank(*p)) ++p;
    return p < lineEnd;
}

}  // namespace

bool parseSurfaceText(const char* text, size_t size, SurfaceModel& out, std::string& error) {
    if (parseSurface(text, size, false, out, error)) return true;
    // A path with white space on the FILENAME line shifts every later item by some tokens.
    // Such a file reads correctly when its whole first line is taken as the FILENAME item.
    if (firstLineIsSpacedFileName(text, size)) {
        std::string ignored;
        if (parseSurface(text, size, true, out, ignored)) return true;
    }
    return false;
}

bool readSurfaceFile(const char* path, SurfaceModel& out, std::string& error) {
    std::string text;
    if (!readRegularFile(path, kMostSurfaceFileBytes, text, error)) return false;
    try {
        return parseSurfaceText(text.data(), text.size(), out, error);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to read its points";
        return false;
    }
}

void appendFixed6(std::string& out, float value) {
    // A float has 24 significant bits and 10^6 = 15625 * 2^6 adds 14, so the product is exact
    // in a double; rounding it to an integer under the default rounding mode (nearest, ties to
    // even) gives the six decimals printf writes.
    const double scaled = static_cast<double>(value) * 1e6;
    if (!(std::fabs(scaled) < 1e18)) {
        char buffer[64];
        const int n = snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
        out.append(buffer, static_cast<size_t>(n < 64 ? n : 63));
        return;
    }
    const long long units = std::llrint(scaled);
    unsigned long long magnitude = units < 0 ? 0ULL - static_cast<unsigned long long>(units)
                                             : static_cast<unsigned long long>(units);
    char buffer[32];
    char* const end = buffer + sizeof buffer;
    char* p = end;
    for (int i = 0; i < 6; ++i) {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    *--p = '.';
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (std::signbit(value)) *--p = '-';
    out.append(p, static_cast<size_t>(end - p));
}

void formatSurfaceText(const SurfaceModel& s, const char* fileName, std::string& out) {
    const size_t pointCount = static_cast<size_t>(s.countU) * static_cast<size_t>(s.countV);
    out.reserve(out.size() + 400 + pointCount * 64 +
                static_cast<size_t>(s.knotCountU + s.knotCountV) * 12);
    out += "FILENAME:";
    for (const char* c = fileName; *c != '\0'; ++c) out += isBlank(*c) ? '_' : *c;
    out += '\n';
    char line[256];  // six counts of up to 11 characters and the header words
    snprintf(line, sizeof line,
             "DEGREE_U_V\n     %d     %d\nN.C.P._U_V\n     %d     %d\n"
             "N.KNOTS_U_V\n     %d     %d\nCOORD.C.P.(X,Y,Z,W)\n",
             s.orderU - 1, s.orderV - 1, s.countU, s.countV, s.knotCountU, s.knotCountV);
    out += line;
    for (size_t i = 0; i < pointCount; ++i) {
        const PointH& P = s.controlNet[i];
        appendFixed6(out, P.x);
        out += "      ";
        appendFixed6(out, P.y);
        out += "      ";
        appendFixed6(out, P.z);
        out += "      ";
        appendFixed6(out, P.w);
        out += '\n';
        if (i % static_cast<size_t>(s.countU) == static_cast<size_t>(s.countU) - 1) out += "\n\n\n";
    }
    out += "\n\n\nKNOTS_U\n";
    for (int i = 0; i < s.knotCountU; ++i) {
        appendFixed6(out, s.knotsU[i]);
        out += '\n';
    }
    out += "\n\n\nKNOTS_V\n";
    for (int i = 0; i < s.knotCountV; ++i) {
        appendFixed6(out, s.knotsV[i]);
        out += '\n';
    }
}

namespace {

bool writeAll(int fd, const std::string& data, std::string& error) {
    const FileSizeSignalHeld held;
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t written = write(fd, p, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = std::string("writing failed: ") +
                    (errno == EFBIG ? "the file size limit was reached" : strerror(errno));
            return false;
        }
        p += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

// A character device (such as /dev/null) cannot be replaced; it is written in place.
bool writeDevice(const char* path, const std::string& data, std::string& error) {
    const int fd = open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot open it for writing: ") + strerror(errno);
        return false;
    }
    bool ok = writeAll(fd, data, error);
    if (close(fd) != 0 && ok) {
        error = std::string("closing it failed: ") + strerror(errno);
        ok = false;
    }
    return ok;
}

}  // namespace

namespace {

// Creates the temporary file and writes data to it with the mode (and, where permitted, owner
// and group) given, flushed to disk. On failure the temporary's destructor removes it.
bool writeTemporary(TemporaryFile& temporary, const std::string& data, mode_t mode, uid_t owner,
                    gid_t group, std::string& error) {
    const int fd = temporary.create();
    if (fd < 0) {
        error = std::string("cannot create a file in its folder: ") + strerror(errno);
        return false;
    }
    bool ok = writeAll(fd, data, error);
    // The replacement keeps the file's owner and group where this user may give them.
    if (ok && owner != static_cast<uid_t>(-1) && fchown(fd, owner, group) != 0) {
        // Not permitted to give the owner: the group alone, else the saver's own.
        const int groupOnly = fchown(fd, static_cast<uid_t>(-1), group);
        (void)groupOnly;
    }
    if (ok && fchmod(fd, mode) != 0) {
        error = std::string("cannot set the file's permissions: ") + strerror(errno);
        ok = false;
    }
    if (ok && fsync(fd) != 0) {
        error = std::string("flushing to disk failed: ") + strerror(errno);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        error = std::string("closing the file failed: ") + strerror(errno);
        ok = false;
    }
    return ok;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool writeFileReplacing(const char* path, const std::string& data, std::string& error,
                        LinkHandling links) {
    if (path == nullptr || path[0] == '\0') {
        error = "no file name given";
        return false;
    }
    std::string target = path;
    struct stat info;
    const bool isLink = lstat(path, &info) == 0 && S_ISLNK(info.st_mode);
    if (isLink && links == LinkHandling::followLink) {
        // Replace the file a symbolic link points to, not the link.
        char* resolved = realpath(path, nullptr);
        if (resolved == nullptr) {
            error = std::string("cannot follow the link: ") + strerror(errno);
            return false;
        }
        target = resolved;
        free(resolved);
    }
    mode_t mode;
    uid_t owner = static_cast<uid_t>(-1);
    gid_t group = static_cast<gid_t>(-1);
    if (isLink && links == LinkHandling::replaceLink) {
        // The link itself is replaced by a new file of this user's; what it points to is
        // neither read nor written.
        mode = newFileMode();
    } else if (stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error = "it is a directory";
            return false;
        }
        if (S_ISCHR(info.st_mode)) return writeDevice(target.c_str(), data, error);
        if (!S_ISREG(info.st_mode)) {
            error = "it is not a regular file";
            return false;
        }
        // The rename below would replace a file whatever its permissions: one nobody may write
        // (even where the superuser could) or this user may not is kept.
        if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            char line[96];
            snprintf(line, sizeof line, "it is read-only (permissions %04o): it was kept as it was",
                     static_cast<unsigned>(info.st_mode & 07777));
            error = line;
            return false;
        }
        if (access(target.c_str(), W_OK) != 0) {
            error = std::string("it may not be written: ") + strerror(errno) +
                    ": it was kept as it was";
            return false;
        }
        mode = info.st_mode & 07777;
        owner = info.st_uid;
        group = info.st_gid;
    } else if (errno == ENOENT) {
        mode = newFileMode();
    } else {
        error = strerror(errno);
        return false;
    }

    // Removed when this function returns without renaming it, and by a signal that ends the
    // process while it exists.
    TemporaryFile temporary(folderOf(target) + "/.loftwork-save-XXXXXX");
    if (!writeTemporary(temporary, data, mode, owner, group, error)) return false;
    if (rename(temporary.path(), target.c_str()) != 0) {
        error = std::string("cannot replace the file: ") + strerror(errno);
        return false;
    }
    temporary.release();
    return true;
}

NewFile writeNewFile(const char* path, const std::string& data, std::string& error) {
    if (path == nullptr || path[0] == '\0') {
        error = "no file name given";
        return NewFile::failed;
    }
    struct stat info;
    if (lstat(path, &info) == 0) return NewFile::taken;
    // Removed on return: the link below gives the file its own name.
    TemporaryFile temporary(folderOf(path) + "/.loftwork-save-XXXXXX");
    if (!writeTemporary(temporary, data, newFileMode(), static_cast<uid_t>(-1),
                        static_cast<gid_t>(-1), error)) {
        return NewFile::failed;
    }
    // A hard link is made only where nothing of that name is, not even a dangling symbolic
    // link, and never replaces what another program put there in the meantime.
    if (link(temporary.path(), path) == 0) return NewFile::written;
    if (errno == EEXIST) return NewFile::taken;
    error = std::string("cannot create the file: ") + strerror(errno);
    return NewFile::failed;
}
