// Background images by class of input: special files, image bombs whose header claims a huge
// size, large photos, formats outside the allowed five, and the depths of ordinary scans. Each
// is shown, scaled or refused with a message; none is decoded into gigabytes.
#include <FreeImage.h>
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "view/background_image.h"
#include "view/image_decode.h"

namespace {

using testsupport::scratchDirectory;
using Bytes = std::vector<unsigned char>;

std::string writeBytes(const std::string& name, const Bytes& bytes) {
    const std::string path = scratchDirectory() + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return path;
}

Bytes readBytes(const std::string& path) {
    Bytes bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    int c;
    while ((c = fgetc(file)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
    fclose(file);
    return bytes;
}

// An image made by ImageMagick: `convert <arguments> [format:]name`.
Bytes convertImage(const std::string& arguments, const std::string& name,
                   const std::string& format = "") {
    const std::string path = scratchDirectory() + "/" + name;
    const std::string prefix = format.empty() ? "" : format + ":";
    const std::string command = "convert " + arguments + " '" + prefix + path + "'";
    if (system(command.c_str()) != 0) return Bytes();
    return readBytes(path);
}

uint32_t crc32(const unsigned char* p, size_t n) {
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBig32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

// A small real PNG whose header then claims width x height (its checksum made right again).
Bytes pngClaiming(uint32_t width, uint32_t height) {
    Bytes png = convertImage("-size 1x1 xc:red", "one.png");
    if (png.size() < 33) return png;
    putBig32(png, 16, width);
    putBig32(png, 20, height);
    putBig32(png, 29, crc32(&png[12], 17));
    return png;
}

// 35 bytes of GIF whose screen and only image claim side x side pixels.
Bytes gifClaiming(unsigned side) {
    Bytes gif = {'G', 'I',  'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0,    0, 0, 255, 255,
                 255, 0x2c, 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 0x44, 1, 0, 0x3b};
    for (size_t at : {size_t{6}, size_t{8}, size_t{24}, size_t{26}}) {
        gif[at] = static_cast<unsigned char>(side & 0xff);
        gif[at + 1] = static_cast<unsigned char>(side >> 8);
    }
    return gif;
}

// A small BMP whose header claims width x height.
Bytes bmpClaiming(int32_t width, int32_t height) {
    Bytes bmp = convertImage("-size 1x1 xc:red", "one.bmp", "BMP3");
    if (bmp.size() < 26) return bmp;
    for (int i = 0; i < 4; ++i) {
        bmp[18 + i] = static_cast<unsigned char>(static_cast<uint32_t>(width) >> (8 * i));
        bmp[22 + i] = static_cast<unsigned char>(static_cast<uint32_t>(height) >> (8 * i));
    }
    return bmp;
}

// A small JPEG whose frame header claims width x height.
Bytes jpegClaiming(unsigned width, unsigned height) {
    Bytes jpeg = convertImage("-size 8x8 xc:red", "one.jpg");
    for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) {
            jpeg[i + 5] = static_cast<unsigned char>(height >> 8);
            jpeg[i + 6] = static_cast<unsigned char>(height);
            jpeg[i + 7] = static_cast<unsigned char>(width >> 8);
            jpeg[i + 8] = static_cast<unsigned char>(width);
            break;
        }
    }
    return jpeg;
}

// Peak kilobytes a child process adds while it decodes the bytes, and what it found.
struct ChildDecode {
    long addedKb = 0;
    int width = 0, height = 0;  // 0 x 0 when refused
};

long childPeakKb(const Bytes* bytes, int mostSide, int* size) {
    int channel[2];
    if (pipe(channel) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        int found[2] = {0, 0};
        if (bytes != nullptr) {
            std::string error;
            FIBITMAP* bitmap = decodeImage(bytes->data(), bytes->size(), mostSide, error);
            if (bitmap != nullptr) {
                found[0] = static_cast<int>(FreeImage_GetWidth(bitmap));
                found[1] = static_cast<int>(FreeImage_GetHeight(bitmap));
                FreeImage_Unload(bitmap);
            }
        }
        if (write(channel[1], found, sizeof found) != sizeof found) _exit(1);
        _exit(0);
    }
    close(channel[1]);
    if (read(channel[0], size, 2 * sizeof(int)) != 2 * sizeof(int)) size[0] = size[1] = -1;
    close(channel[0]);
    int status = 0;
    struct rusage usage = {};
    wait4(child, &status, 0, &usage);
    return usage.ru_maxrss;
}

ChildDecode decodeInChild(const Bytes& bytes, int mostSide) {
    int ignored[2];
    const long baseline = childPeakKb(nullptr, mostSide, ignored);
    ChildDecode result;
    int size[2] = {0, 0};
    result.addedKb = childPeakKb(&bytes, mostSide, size) - baseline;
    result.width = size[0];
    result.height = size[1];
    return result;
}

}  // namespace

// Bombs: a few bytes that claim billions of pixels, refused from the header (a 32 KB PNG or a
// 35-byte GIF claiming 16384 x 16384 took 3.3 GB), and photos larger than allowed, decoded
// smaller. All within 300 MB.
TEST(ImageBombs, AreRefusedOrScaledWithinTheMemoryLimit) {
    struct Case {
        const char* name;
        Bytes bytes;
        int width, height;  // 0 x 0: refused
    } cases[] = {
        {"PNG claiming 16384 x 16384", pngClaiming(16384, 16384), 0, 0},
        {"PNG claiming 2^31 - 1 a side", pngClaiming(0x7fffffff, 0x7fffffff), 0, 0},
        {"GIF claiming 16384 x 16384", gifClaiming(16384), 0, 0},
        {"GIF claiming 65535 x 65535", gifClaiming(65535), 0, 0},
        {"BMP claiming 30000 x 30000", bmpClaiming(30000, 30000), 0, 0},
        {"BMP claiming a negative width", bmpClaiming(-30000, 30000), 0, 0},
        // Found by fuzzing: width x height x bits passed the range of 64 bits.
        {"BMP claiming 2^31 - 1 a side", bmpClaiming(0x7fffffff, 0x7fffffff), 0, 0},
        {"JPEG claiming 65000 x 65000", jpegClaiming(65000, 65000), 0, 0},
        // Decoded at half size, then scaled to the largest texture.
        {"JPEG photo of 28 megapixels", convertImage("-size 7000x4000 xc:gray", "photo.jpg"), 2048,
         1170},
        {"PNG larger than a texture", convertImage("-size 3000x100 xc:red", "wide.png"), 2048, 68},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.bytes.empty()) << c.name << ": ImageMagick made no image";
        const ChildDecode got = decodeInChild(c.bytes, 2048);
        EXPECT_EQ(got.width, c.width) << c.name;
        EXPECT_EQ(got.height, c.height) << c.name;
        EXPECT_LT(got.addedKb, 300 * 1024) << c.name;
    }
}

// Found by fuzzing: TIFFs of a few hundred bytes that made FreeImage ask for gigabytes for one
// strip, one claiming thousands of samples per pixel (17 GB), one giving the width three times,
// 65512 first and 16 last (22 GB), and one whose strip size overflowed 64 bits in the check
// itself (the sanitized build reports that). The allocation fails or is never touched, so only
// the reason shows they were refused before FreeImage saw them.
TEST(ImageBombs, TiffsWhoseStripsNeedGigabytesAreRefusedFromTheirDirectory) {
    for (const char* name : {"tiff-strip-of-17-gigabytes.tif", "tiff-width-given-three-times.tif",
                             "tiff-strip-size-past-64-bits.tif"}) {
        const Bytes tiff = readBytes(std::string(LOFTWORK_SOURCE_DIR) + "/tests/data/" + name);
        ASSERT_FALSE(tiff.empty()) << name;
        std::string error;
        EXPECT_EQ(decodeImage(tiff.data(), tiff.size(), 2048, error), nullptr) << name;
        EXPECT_NE(error.find("strips or tiles"), std::string::npos) << name << ": " << error;
    }
}

// An uncompressed little-endian TIFF of 16 x 8 pixels with the given layout and mid-grey bytes.
Bytes rawTiff(int samples, int bits, int photometric, int planes, int sampleFormat) {
    const int rowBytes = (16 * samples * bits + 7) / 8;
    const Bytes pixels(static_cast<size_t>(rowBytes * 8), 0x80);
    const unsigned tags[][3] = {{256, 3, 16},
                                {257, 3, 8},
                                {258, 3, static_cast<unsigned>(bits)},
                                {259, 3, 1},
                                {262, 3, static_cast<unsigned>(photometric)},
                                {273, 4, 0},
                                {277, 3, static_cast<unsigned>(samples)},
                                {278, 3, 8},
                                {279, 4, static_cast<unsigned>(pixels.size())},
                                {284, 3, static_cast<unsigned>(planes)},
                                {339, 3, static_cast<unsigned>(sampleFormat)}};
    const unsigned count = sizeof tags / sizeof tags[0], start = 8 + 2 + 12 * count + 4;
    Bytes out = {'I', 'I', 42, 0, 8, 0, 0, 0, static_cast<unsigned char>(count), 0};
    auto put = [&out](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    for (const auto& tag : tags) {
        put(tag[0], 2);
        put(tag[1], 2);
        put(1, 4);
        put(tag[0] == 273 ? start : tag[2], 4);
    }
    put(0, 4);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// TIFF layouts beyond ordinary scans and photos stopped FreeImage on an assertion or made it
// read past its buffers (the first found by fuzzing); they are refused from the directory, and
// the ordinary ones still load.
TEST(ImageFormats, TiffLayoutsFreeImageCannotReadAreRefused) {
    const struct {
        const char* name;
        int samples, bits, photometric, planes, sampleFormat;
        bool loads;
    } cases[] = {
        {"eight samples of one bit", 8, 1, 1, 1, 1, false},
        {"palette of four 4-bit samples", 4, 4, 3, 1, 1, false},
        {"grey and alpha of 4 bits in planes", 2, 4, 1, 2, 1, false},
        {"CMYK in separate planes", 2, 8, 5, 2, 1, false},
        {"CMYK as floats", 4, 32, 5, 1, 3, false},
        {"RGB in separate planes", 3, 8, 2, 2, 1, true},
        {"CMYK", 4, 8, 5, 1, 1, true},
        {"bilevel", 1, 1, 0, 1, 1, true},
        {"16-bit RGB", 3, 16, 2, 1, 1, true},
    };
    for (const auto& c : cases) {
        const Bytes tiff = rawTiff(c.samples, c.bits, c.photometric, c.planes, c.sampleFormat);
        std::string error;
        FIBITMAP* bitmap = decodeImage(tiff.data(), tiff.size(), 2048, error);
        EXPECT_EQ(bitmap != nullptr, c.loads) << c.name << ": " << error;
        if (!c.loads) {
            EXPECT_NE(error.find("not of a kind"), std::string::npos) << c.name << ": " << error;
        }
        if (bitmap != nullptr) {
            EXPECT_EQ(FreeImage_GetWidth(bitmap), 16u) << c.name;
            FreeImage_Unload(bitmap);
        }
    }
    // The fuzzer's file: sixteen samples of one bit.
    const Bytes found = readBytes(std::string(LOFTWORK_SOURCE_DIR) +
                                  "/tests/data/tiff-sixteen-samples-of-one-bit.tif");
    std::string error;
    EXPECT_EQ(decodeImage(found.data(), found.size(), 2048, error), nullptr);
    EXPECT_NE(error.find("16 samples"), std::string::npos) << error;
}

// Found by fuzzing: a PNG of 223 bytes whose last text chunk claims 894 MB, which libpng
// allocates before reading it; a chunk that runs past the file's end is refused unread.
TEST(ImageBombs, APngChunkLongerThanTheFileIsRefused) {
    const Bytes png = readBytes(std::string(LOFTWORK_SOURCE_DIR) +
                                "/tests/data/png-text-chunk-of-894-megabytes.png");
    ASSERT_FALSE(png.empty());
    std::string error;
    EXPECT_EQ(decodeImage(png.data(), png.size(), 2048, error), nullptr);
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;
}

// A greyscale progressive JPEG of width x height whose scans hold nothing: a DC scan of zero
// differences (code "0" a block), then acScans scans of coefficients 1 to 63 made of end-of-band
// runs of 32767 blocks (code "0" for EOB14, then 14 one bits). Each Huffman table has one code.
Bytes emptyProgressiveJpeg(unsigned width, unsigned height, int acScans) {
    Bytes out = {0xff, 0xd8};
    auto add = [&out](const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); };
    auto segment = [&](unsigned char marker, Bytes body) {
        const size_t length = body.size() + 2;
        add({0xff, marker, static_cast<unsigned char>(length >> 8),
             static_cast<unsigned char>(length)});
        add(body);
    };
    auto coded = [](const std::vector<bool>& bits) {  // padded with ones, 0xff stuffed
        Bytes bytes;
        for (size_t i = 0; i < bits.size(); i += 8) {
            unsigned byte = 0;
            for (size_t k = i; k < i + 8; ++k) byte = byte << 1 | (k < bits.size() ? bits[k] : 1);
            bytes.push_back(static_cast<unsigned char>(byte));
            if (byte == 0xff) bytes.push_back(0);
        }
        return bytes;
    };
    Bytes quantisation(65, 1);
    quantisation[0] = 0;
    segment(0xdb, quantisation);
    segment(0xc2, {8, static_cast<unsigned char>(height >> 8), static_cast<unsigned char>(height),
                   static_cast<unsigned char>(width >> 8), static_cast<unsigned char>(width), 1, 1,
                   0x11, 0});
    for (const unsigned char kind : {0x00, 0x10}) {
        Bytes huffman(18, 0);
        huffman[0] = kind;
        huffman[1] = 1;
        huffman[17] = kind == 0 ? 0x00 : 0xe0;
        segment(0xc4, huffman);
    }
    const size_t blocks = size_t{(width + 7) / 8} * ((height + 7) / 8);
    segment(0xda, {1, 1, 0x00, 0, 0, 0});
    add(coded(std::vector<bool>(blocks, false)));
    std::vector<bool> runs;
    for (size_t left = 0; left < blocks; left += 32767) {
        runs.push_back(false);
        runs.insert(runs.end(), 14, true);
    }
    for (int scan = 0; scan < acScans; ++scan) {
        segment(0xda, {1, 1, 0x00, 1, 63, 0});
        add(coded(runs));
    }
    add({0xff, 0xd9});
    return out;
}

// A progressive JPEG of 206 KB with 1,000 scans froze the editor for 36 s: libjpeg reads every
// scan over the whole frame, and holds the coefficients of the whole frame meanwhile. JPEGs with
// too many scans, too many blocks to read over them, or too many coefficients to hold are refused
// from their markers at once; ordinary progressive ones, and many scans of a small frame, load.
TEST(ImageBombs, JpegsOfTooManyScansAreRefusedFromTheirMarkers) {
    const struct {
        const char* name;
        Bytes bytes;
        const char* reason;  // null: loads at its own size
        unsigned width, height;
    } cases[] = {
        {"1,000 scans over 2048 x 2048", emptyProgressiveJpeg(2048, 2048, 1000),
         "more than 100 scans", 0, 0},
        {"90 scans over 8192 x 8192", emptyProgressiveJpeg(8192, 8192, 90), "too long", 0, 0},
        {"one scan of 12000 x 12000 held as coefficients", emptyProgressiveJpeg(12000, 12000, 0),
         "MB to decode", 0, 0},
        {"60 scans over 256 x 256", emptyProgressiveJpeg(256, 256, 60), nullptr, 256, 256},
        {"progressive colour photo",
         convertImage("-size 640x480 plasma:fractal -interlace Plane", "progressive.jpg"), nullptr,
         640, 480},
        {"progressive grey", convertImage("-size 300x200 gradient: -interlace Plane", "grey.jpg"),
         nullptr, 300, 200},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.bytes.empty()) << c.name;
        std::string error;
        FIBITMAP* bitmap = decodeImage(c.bytes.data(), c.bytes.size(), 8192, error);
        EXPECT_EQ(bitmap != nullptr, c.reason == nullptr) << c.name << ": " << error;
        if (c.reason != nullptr) {
            EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        } else if (bitmap != nullptr) {
            EXPECT_EQ(FreeImage_GetWidth(bitmap), c.width) << c.name;
            EXPECT_EQ(FreeImage_GetHeight(bitmap), c.height) << c.name;
        }
        if (bitmap != nullptr) FreeImage_Unload(bitmap);
    }
}

// Only PNG, JPEG, BMP, TIFF and GIF reach FreeImage: a PICT file overflowed a heap buffer in its
// reader, and truncated PICT and XBM files read without end.
TEST(ImageFormats, OthersAreRefusedBeforeDecoding) {
    Bytes pict(512, 0);  // the 512-byte header, then a picture frame claiming 30000 x 30000
    const Bytes frame = {0x00, 0x40, 0, 0, 0, 0, 0x75, 0x30, 0x75, 0x30, 0x00, 0x11, 0x02, 0xff};
    pict.insert(pict.end(), frame.begin(), frame.end());
    const std::string xbm =
        "#define bomb_width 30000\n#define bomb_height 30000\n"
        "static char bomb_bits[] = {\n0x00, 0x";
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"PICT", pict},
        {"truncated XBM", Bytes(xbm.begin(), xbm.end())},
        {"ImageMagick's PICT", convertImage("-size 4x4 xc:red", "real.pict")},
        {"ImageMagick's XBM", convertImage("-size 4x4 xc:black", "real.xbm")},
        {"WBMP", convertImage("-size 4x4 xc:black", "real.wbmp")},
        {"PNG signature only", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.bytes.empty()) << c.name;
        const auto start = std::chrono::steady_clock::now();
        std::string error;
        FIBITMAP* bitmap = decodeImage(c.bytes.data(), c.bytes.size(), 2048, error);
        EXPECT_EQ(bitmap, nullptr) << c.name;
        if (bitmap != nullptr) FreeImage_Unload(bitmap);
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  1.0)
            << c.name;
    }
    EXPECT_EQ(sniffImageFormat(pict.data(), pict.size()), ImageFormat::Unknown);
}

// Every allowed format and the depths of ordinary scans (16-bit and greyscale PNG and TIFF were
// refused) load with their colour: a mid grey or pure red in 32 bits.
TEST(ImageFormats, EveryDepthLoadsWithItsColour) {
    const struct {
        const char* name;
        const char* arguments;
        const char* file;
        int red, green, blue;
        const char* format;
    } cases[] = {
        {"16-bit greyscale PNG", "-size 40x20 xc:gray50 -depth 16 -type Grayscale", "g16.png", 128,
         128, 128, ""},
        {"8-bit greyscale PNG", "-size 40x20 xc:gray50 -depth 8 -type Grayscale", "g8.png", 128,
         128, 128, ""},
        {"16-bit colour PNG", "-size 40x20 xc:red -depth 16", "c16.png", 255, 0, 0, ""},
        {"16-bit greyscale TIFF", "-size 40x20 xc:gray50 -depth 16 -type Grayscale", "g16.tif", 128,
         128, 128, ""},
        {"16-bit RGBA TIFF", "-size 40x20 xc:red -depth 16 -alpha on", "c16.tif", 255, 0, 0, ""},
        {"JPEG", "-size 40x20 xc:red", "red.jpg", 254, 0, 0, ""},
        {"BMP", "-size 40x20 xc:red", "red.bmp", 255, 0, 0, "BMP3"},
        {"palette GIF", "-size 40x20 xc:red", "red.gif", 255, 0, 0, ""},
    };
    for (const auto& c : cases) {
        const Bytes bytes = convertImage(c.arguments, c.file, c.format);
        ASSERT_FALSE(bytes.empty()) << c.name;
        std::string error;
        FIBITMAP* bitmap = decodeImage(bytes.data(), bytes.size(), 2048, error);
        ASSERT_NE(bitmap, nullptr) << c.name << ": " << error;
        EXPECT_EQ(FreeImage_GetBPP(bitmap), 32u) << c.name;
        EXPECT_EQ(FreeImage_GetWidth(bitmap), 40u) << c.name;
        EXPECT_EQ(FreeImage_GetHeight(bitmap), 20u) << c.name;
        const BYTE* pixel = FreeImage_GetScanLine(bitmap, 10) + 4 * 20;
        EXPECT_NEAR(pixel[FI_RGBA_RED], c.red, 2) << c.name;
        EXPECT_NEAR(pixel[FI_RGBA_GREEN], c.green, 2) << c.name;
        EXPECT_NEAR(pixel[FI_RGBA_BLUE], c.blue, 2) << c.name;
        FreeImage_Unload(bitmap);
    }
}

// The background box as the user fills it: a 16-bit greyscale scan becomes the texture; special
// files are refused at once with a message and the shown image stays.
TEST(BackgroundBox, ShowsA16BitGreyScanAndRefusesFilesThatAreNotRegular) {
    const Bytes grey = convertImage("-size 64x32 xc:gray50 -depth 16 -type Grayscale", "scan.png");
    ASSERT_FALSE(grey.empty());
    snprintf(editor.panel.backgroundFileName, sizeof editor.panel.backgroundFileName, "%s",
             (scratchDirectory() + "/scan.png").c_str());
    backgroundCallback(-1);
    ASSERT_NE(editor.panel.backgroundFileName[0], '\0') << editor.panel.statusLine;
    EXPECT_EQ(editor.view.backgroundWidth, 64);
    EXPECT_EQ(editor.view.backgroundHeight, 32);
    const unsigned shown = editor.view.backgroundTexture;
    EXPECT_NE(shown, 0u);

    const std::string fifo = scratchDirectory() + "/image-fifo";
    mkfifo(fifo.c_str(), 0600);
    const std::string big = writeBytes("huge.png", pngClaiming(1, 1));
    truncate(big.c_str(), 1LL << 30);
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {"/dev/zero", "character device"},
        {fifo, "FIFO"},
        {scratchDirectory(), "directory"},
        {big, "larger than the 64 MiB allowed"},
    };
    for (const auto& c : cases) {
        snprintf(editor.panel.backgroundFileName, sizeof editor.panel.backgroundFileName, "%s",
                 c.path.c_str());
        const auto start = std::chrono::steady_clock::now();
        backgroundCallback(-1);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  1.0)
            << c.path;
        EXPECT_EQ(editor.panel.backgroundFileName[0], '\0') << c.path;
        EXPECT_NE(std::string(editor.panel.statusLine).find(c.reason), std::string::npos)
            << editor.panel.statusLine;
        EXPECT_EQ(editor.view.backgroundTexture, shown) << c.path;
    }
}

// Lines written to standard error while f runs.
template <typename F>
int consoleLinesOf(F f) {
    const std::string path = scratchDirectory() + "/console.txt";
    fflush(stderr);
    const int saved = dup(2);
    FILE* capture = fopen(path.c_str(), "w");
    dup2(fileno(capture), 2);
    f();
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    fclose(capture);
    int lines = 0;
    for (const unsigned char c : readBytes(path)) lines += c == '\n';
    return lines;
}

// The background box as the user fills it: a 16-bit TIFF loads with the status line as its only
// console line (libtiff printed 118 of its own), and a JPEG of 1,000 scans is refused at once
// with the reason, the image shown before staying.
TEST(BackgroundBox, SaysOneLineForA16BitTiffAndRefusesAThousandScansAtOnce) {
    ASSERT_FALSE(
        convertImage("-size 64x32 xc:gray50 -depth 16 -type Grayscale", "scan16.tif").empty());
    snprintf(editor.panel.backgroundFileName, sizeof editor.panel.backgroundFileName, "%s",
             (scratchDirectory() + "/scan16.tif").c_str());
    EXPECT_EQ(consoleLinesOf([] { backgroundCallback(-1); }), 1) << editor.panel.statusLine;
    ASSERT_NE(editor.panel.backgroundFileName[0], '\0') << editor.panel.statusLine;
    EXPECT_EQ(editor.view.backgroundWidth, 64);
    const unsigned shown = editor.view.backgroundTexture;

    const std::string jpeg = writeBytes("scans.jpg", emptyProgressiveJpeg(2048, 2048, 1000));
    snprintf(editor.panel.backgroundFileName, sizeof editor.panel.backgroundFileName, "%s",
             jpeg.c_str());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(consoleLinesOf([] { backgroundCallback(-1); }), 1);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_NE(std::string(editor.panel.statusLine).find("more than 100 scans"), std::string::npos)
        << editor.panel.statusLine;
    EXPECT_EQ(editor.panel.backgroundFileName[0], '\0');
    EXPECT_EQ(editor.view.backgroundTexture, shown);
    EXPECT_EQ(editor.view.backgroundWidth, 64);
}
