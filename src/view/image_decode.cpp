// Background images: format by content, size from the header, decoding and conversion through
// FreeImage.
#include "view/image_decode.h"

#include <FreeImage.h>
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

void ignoreTiffMessage(const char* /*module*/, const char* /*format*/, va_list /*args*/) {}

// libtiff writes every error and warning to standard error unless given handlers, and FreeImage
// gives it none: one 16-bit TIFF printed 118 lines ("unknown tag", from FreeImage's look for
// EXIF tags the file does not have). The handlers are set in the libtiff FreeImage loaded, found
// by name; a FreeImage with its own libtiff built in keeps that one's. A TIFF FreeImage cannot
// decode is still refused with a reason of ours.
void silenceTiffMessages() {
    using Handler = void (*)(const char*, const char*, va_list);
    using SetHandler = Handler (*)(Handler);
    for (const char* name : {"TIFFSetErrorHandler", "TIFFSetWarningHandler"}) {
        if (void* found = dlsym(RTLD_DEFAULT, name))
            reinterpret_cast<SetHandler>(found)(ignoreTiffMessage);
    }
}

// The shared library registers its plugins when it is loaded; a static build does not.
void ensureFreeImageReady() {
    if (FreeImage_GetFIFCount() == 0) FreeImage_Initialise(FALSE);
    static const bool silenced = (silenceTiffMessages(), true);
    (void)silenced;
}

unsigned little16(const unsigned char* p) {
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

struct HeaderSize {
    long long width = 0;
    long long height = 0;
    int bitsPerPixel = 0;
};

// A GIF's logical screen and its first image, which FreeImage decodes into a bitmap of the
// larger of the two. FreeImage cannot read a GIF's header alone.
bool gifSize(const unsigned char* data, size_t size, HeaderSize& out) {
    if (size < 13) return false;
    long long width = little16(data + 6), height = little16(data + 8);
    size_t at = 13;
    if (data[10] & 0x80) at += size_t{3} << ((data[10] & 7) + 1);  // global colour table
    while (at < size) {
        if (data[at] == 0x21) {  // extension: label, then sub-blocks up to an empty one
            at += 2;
            while (at < size) {
                const size_t length = data[at];
                at += 1 + length;
                if (length == 0) break;
            }
        } else if (data[at] == 0x2c && at + 9 <= size) {  // the first image
            width = std::max(
                width, static_cast<long long>(little16(data + at + 1)) + little16(data + at + 5));
            height = std::max(
                height, static_cast<long long>(little16(data + at + 3)) + little16(data + at + 7));
            break;
        } else {
            break;
        }
    }
    out = HeaderSize{width, height, 8};
    return true;
}

// What the first directory of a TIFF says of its layout. A tag given more than once, or a list
// of per-sample values, counts with its largest value (size tags) or with any value (kinds),
// whichever one the reader keeps.
struct TiffLayout {
    long long width = 0, height = 0, rows = 0, tileWidth = 0, tileRows = 0;
    long long samples = 1, bits = 1;
    bool planesSeparate = false;  // PlanarConfiguration 2
    bool separated = false;       // Photometric 5 (CMYK and the like)
    bool floatSamples = false;    // SampleFormat 3
    bool readable = false;        // the directory was found
};

TiffLayout readTiffLayout(const unsigned char* data, size_t size) {
    TiffLayout layout;
    if (size < 8) return layout;
    const bool little = data[0] == 'I';
    auto u16 = [&](size_t at) -> unsigned {
        return little ? data[at] | data[at + 1] << 8 : data[at] << 8 | data[at + 1];
    };
    auto u32 = [&](size_t at) -> unsigned long {
        return little ? u16(at) | static_cast<unsigned long>(u16(at + 2)) << 16
                      : static_cast<unsigned long>(u16(at)) << 16 | u16(at + 2);
    };
    const unsigned long directory = u32(4);
    if (directory + 2 > size) return layout;
    layout.readable = true;
    const unsigned entries = u16(directory);
    for (unsigned e = 0; e < entries && directory + 2 + 12 * (e + 1) <= size; ++e) {
        const size_t at = directory + 2 + 12 * e;
        const unsigned tag = u16(at), type = u16(at + 2);
        const unsigned long count = u32(at + 4);
        // Short (type 3) or long (type 4) values: up to two shorts or one long sit in the entry,
        // a longer list at the offset it gives. The first 64 are looked at.
        std::vector<long long> values;
        const bool inside = (type == 3 && count <= 2) || (type == 4 && count <= 1);
        const unsigned long list = inside ? at + 8 : u32(at + 8);
        const unsigned long width = type == 3 ? 2 : 4;
        for (unsigned long k = 0; (type == 3 || type == 4) && k < std::min(count, 64UL); ++k) {
            const unsigned long where = list + k * width;
            if (where + width > size) break;
            values.push_back(type == 3 ? u16(where) : static_cast<long long>(u32(where)));
        }
        for (const long long value : values) {
            switch (tag) {
                case 0x100:
                    layout.width = std::max(layout.width, value);
                    break;
                case 0x101:
                    layout.height = std::max(layout.height, value);
                    break;
                case 0x102:
                    layout.bits = std::max(layout.bits, value);
                    break;
                case 0x106:
                    layout.separated = layout.separated || value == 5;
                    break;
                case 0x115:
                    layout.samples = std::max(layout.samples, value);
                    break;
                case 0x116:
                    layout.rows = std::max(layout.rows, value);
                    break;
                case 0x11c:
                    layout.planesSeparate = layout.planesSeparate || value == 2;
                    break;
                case 0x142:
                    layout.tileWidth = std::max(layout.tileWidth, value);
                    break;
                case 0x143:
                    layout.tileRows = std::max(layout.tileRows, value);
                    break;
                case 0x153:
                    layout.floatSamples = layout.floatSamples || value == 3;
                    break;
                default:
                    break;
            }
        }
    }
    if (layout.rows <= 0 || layout.rows > layout.height) layout.rows = layout.height;
    return layout;
}

// The largest buffer FreeImage's TIFF reader takes for one strip or tile: width x samples per
// pixel x bits per sample x rows per strip (or a tile's sides). A few hundred bytes claiming
// thousands of samples per pixel asked it for 17 GB, and one that gave the width three times,
// 65512 first, for 22 GB. Each value may be up to 2^32 - 1, so the product is taken in double,
// and capped.
long long tiffStripBytes(const TiffLayout& layout) {
    const double perPixelBits =
        static_cast<double>(layout.samples) * static_cast<double>(layout.bits);
    const double strip = static_cast<double>(layout.width) * static_cast<double>(layout.rows);
    const double tile =
        static_cast<double>(layout.tileWidth) * static_cast<double>(layout.tileRows);
    const double bytes = std::ceil(std::max(strip, tile) * perPixelBits / 8.0);
    constexpr double kCap = 1e18;
    return bytes < kCap ? static_cast<long long>(bytes) : static_cast<long long>(kCap);
}

// Why FreeImage's TIFF reader must not see this layout, or "" when it may. Only the layouts of
// ordinary scans and photos are read: 1 to 4 samples per pixel (grey, grey and alpha, RGB, RGBA
// or CMYK), of 8, 16 or 32 bits, or one sample of 1, 2 or 4 bits. Others stop the reader on an
// assertion or make it read past its buffers: eight samples of one bit, four-bit samples of a
// palette image, fewer than 8 bits in separate planes, CMYK in separate planes or as floats.
std::string tiffLayoutRefusal(const TiffLayout& layout) {
    if (!layout.readable) return "";  // FreeImage refuses it itself
    const std::string samples = std::to_string(layout.samples), bits = std::to_string(layout.bits);
    if (layout.samples < 1 || layout.samples > 4)
        return "its pixels have " + samples + " samples (1 to 4 are read)";
    if (layout.bits != 1 && layout.bits != 2 && layout.bits != 4 && layout.bits != 8 &&
        layout.bits != 16 && layout.bits != 32) {
        return "its samples have " + bits + " bits (1, 2, 4, 8, 16 or 32 are read)";
    }
    if (layout.bits < 8 && layout.samples > 1)
        return "its pixels have " + samples + " samples of " + bits +
               " bits (fewer than 8 only "
               "for a single sample)";
    if (layout.planesSeparate && (layout.bits < 8 || layout.separated))
        return "its samples lie in separate planes (read only for 8 bits or more, not CMYK)";
    if (layout.separated && layout.floatSamples) return "its CMYK samples are floating point";
    return "";
}

// True when every chunk of a PNG fits in the file: libpng allocates a chunk's claimed length
// before reading it, and a 223-byte file claiming a text chunk of 894 MB had it allocated.
bool pngChunksFit(const unsigned char* data, size_t size) {
    size_t at = 8;  // after the signature
    while (at + 8 <= size) {
        const unsigned long length = static_cast<unsigned long>(data[at]) << 24 |
                                     static_cast<unsigned long>(data[at + 1]) << 16 |
                                     static_cast<unsigned long>(data[at + 2]) << 8 | data[at + 3];
        // Length, type, data and CRC.
        if (at + 12 > size || length > size - at - 12) return false;
        if (memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at += 12 + length;
    }
    return true;  // ends between chunks: libpng reports what is missing itself
}

// What a JPEG's markers say of the work of decoding it: its frame, and each scan with the blocks
// of 8 x 8 samples it covers. libjpeg reads every scan over all the blocks of its components,
// however few bytes the scan holds, so a small file of many scans decodes for minutes.
struct JpegScans {
    long long width = 0, height = 0;  // from the first frame header
    bool progressive = false;
    long long scans = 0;
    double frameBlocks = 0.0;  // blocks of all components, padded to whole MCUs
    double blockReads = 0.0;   // blocks covered, summed over the scans
};

unsigned big16(const unsigned char* p) {
    return static_cast<unsigned>(p[0]) << 8 | p[1];
}

// The index just past the entropy-coded data that starts at `at`: the next marker, skipping
// stuffed zero bytes, restart markers and fill bytes.
size_t skipEntropyData(const unsigned char* data, size_t size, size_t at) {
    while (at < size) {
        const void* found = memchr(data + at, 0xff, size - at);
        if (found == nullptr) return size;
        at = static_cast<size_t>(static_cast<const unsigned char*>(found) - data);
        if (at + 1 >= size) return size;
        const unsigned next = data[at + 1];
        if (next != 0x00 && next != 0xff && (next < 0xd0 || next > 0xd7)) return at;
        at += next == 0xff ? 1 : 2;
    }
    return size;
}

// Walks the markers from the start of image to its end (or the first damaged segment, which
// libjpeg refuses itself, or one scan past the most decoded), counting the scans and the blocks
// each covers. Linear in the file.
JpegScans readJpegScans(const unsigned char* data, size_t size) {
    JpegScans out;
    struct Component {
        unsigned id = 0;
        double blocks = 0.0;
    };
    std::vector<Component> components;
    bool frameSeen = false;
    size_t at = 2;  // after the start of image
    while (at + 1 < size) {
        if (data[at] != 0xff || data[at + 1] == 0xff) {  // stray bytes, or fill before a marker
            ++at;
            continue;
        }
        const unsigned marker = data[at + 1];
        if (marker == 0xd9) break;  // end of image
        if (marker == 0x01 || marker == 0x00 || (marker >= 0xd0 && marker <= 0xd8)) {
            at += 2;  // markers without a segment
            continue;
        }
        if (at + 4 > size) break;
        const size_t length = big16(data + at + 2);
        if (length < 2 || length > size - at - 2) break;
        const unsigned char* body = data + at + 4;
        const size_t bodyLength = length - 2;
        const bool frame =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frame && !frameSeen && bodyLength >= 6) {
            frameSeen = true;
            out.progressive = marker == 0xc2 || marker == 0xc6 || marker == 0xca || marker == 0xce;
            out.height = big16(body + 1);
            out.width = big16(body + 3);
            const size_t count = std::min<size_t>(body[5], (bodyLength - 6) / 3);
            // Sampling factors outside 1 to 4 are refused by libjpeg; here they only bound.
            auto sampling = [&](size_t c) { return static_cast<unsigned>(body[7 + 3 * c]); };
            auto horizontal = [&](size_t c) { return std::clamp(sampling(c) >> 4, 1u, 4u); };
            auto vertical = [&](size_t c) { return std::clamp(sampling(c) & 15u, 1u, 4u); };
            unsigned mostH = 1, mostV = 1;
            for (size_t c = 0; c < count; ++c) {
                mostH = std::max(mostH, horizontal(c));
                mostV = std::max(mostV, vertical(c));
            }
            // MCUs of mostH x mostV blocks across the frame; each holds h x v of a component's.
            const double across = std::ceil(static_cast<double>(out.width) / (8.0 * mostH));
            const double down = std::ceil(static_cast<double>(out.height) / (8.0 * mostV));
            for (size_t c = 0; c < count; ++c) {
                const double blocks = across * horizontal(c) * down * vertical(c);
                components.push_back({body[6 + 3 * c], blocks});
                out.frameBlocks += blocks;
            }
        }
        at += 2 + length;
        if (marker == 0xda) {  // start of scan: its components, then its entropy-coded data
            ++out.scans;
            const size_t count = bodyLength >= 1 ? std::min<size_t>(body[0], bodyLength / 2) : 0;
            for (size_t k = 0; k < count; ++k) {
                for (const Component& component : components) {
                    if (component.id == body[1 + 2 * k]) out.blockReads += component.blocks;
                }
            }
            at = skipEntropyData(data, size, at);
            if (out.scans > kMostJpegScans) break;  // refused whatever follows
        }
    }
    return out;
}

// Why libjpeg must not decode this JPEG, or "" when it may: too many scans, too much reading
// over them, or too many coefficients held for a frame stored in several scans.
std::string jpegWorkRefusal(const JpegScans& jpeg) {
    const std::string frame = std::to_string(jpeg.width) + " x " + std::to_string(jpeg.height);
    if (jpeg.scans > kMostJpegScans) {
        return "the JPEG is stored in more than " + std::to_string(kMostJpegScans) +
               " scans, the most decoded";
    }
    const double coefficientBytes = jpeg.frameBlocks * 128.0;
    if ((jpeg.progressive || jpeg.scans > 1) &&
        coefficientBytes > static_cast<double>(kMostJpegCoefficientBytes)) {
        char text[200];
        snprintf(text, sizeof text,
                 "the JPEG of %s pixels in %lld scans needs %.0f MB to decode, more than the "
                 "%lld MB allowed",
                 frame.c_str(), jpeg.scans, coefficientBytes / (1 << 20),
                 kMostJpegCoefficientBytes >> 20);
        return text;
    }
    if (jpeg.blockReads > static_cast<double>(kMostJpegBlockReads)) {
        char text[200];
        snprintf(text, sizeof text,
                 "the JPEG's %lld scans over %s pixels take too long to decode (%.0f million "
                 "blocks to read, more than %lld million)",
                 jpeg.scans, frame.c_str(), jpeg.blockReads / 1e6, kMostJpegBlockReads / 1000000);
        return text;
    }
    return "";
}

FREE_IMAGE_FORMAT freeImageFormat(ImageFormat format) {
    switch (format) {
        case ImageFormat::Png:
            return FIF_PNG;
        case ImageFormat::Jpeg:
            return FIF_JPEG;
        case ImageFormat::Bmp:
            return FIF_BMP;
        case ImageFormat::Tiff:
            return FIF_TIFF;
        case ImageFormat::Gif:
            return FIF_GIF;
        case ImageFormat::Unknown:
            break;
    }
    return FIF_UNKNOWN;
}

// FreeImage's memory stream over the caller's bytes, closed on every path.
class MemoryStream {
public:
    MemoryStream(const unsigned char* data, size_t size)
        : memory_(FreeImage_OpenMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))) {}
    ~MemoryStream() {
        if (memory_ != nullptr) FreeImage_CloseMemory(memory_);
    }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    FIMEMORY* get() const { return memory_; }

private:
    FIMEMORY* memory_;
};

// The bitmap FreeImage decodes from the bytes with these flags; null when it cannot.
FIBITMAP* loadFrom(const unsigned char* data, size_t size, FREE_IMAGE_FORMAT format, int flags) {
    MemoryStream memory(data, size);
    if (memory.get() == nullptr) return nullptr;
    return FreeImage_LoadFromMemory(format, memory.get(), flags);
}

bool headerSize(const unsigned char* data, size_t size, ImageFormat format, HeaderSize& out) {
    if (format == ImageFormat::Gif) return gifSize(data, size, out);
    FIBITMAP* header = loadFrom(data, size, freeImageFormat(format), FIF_LOAD_NOPIXELS);
    if (header == nullptr) return false;
    out = HeaderSize{FreeImage_GetWidth(header), FreeImage_GetHeight(header),
                     static_cast<int>(FreeImage_GetBPP(header))};
    FreeImage_Unload(header);
    return true;
}

// A 16-bit greyscale bitmap as 8-bit greyscale, keeping each sample's high byte (FreeImage's own
// conversion stretches the image's range instead, which turns a uniform scan white).
FIBITMAP* greyTo8Bits(FIBITMAP* grey) {
    const unsigned width = FreeImage_GetWidth(grey), height = FreeImage_GetHeight(grey);
    FIBITMAP* out = FreeImage_ConvertToType(grey, FIT_BITMAP, FALSE);
    if (out == nullptr || FreeImage_GetBPP(out) != 8) {
        if (out != nullptr) FreeImage_Unload(out);
        return nullptr;
    }
    for (unsigned row = 0; row < height; ++row) {
        const auto* in = reinterpret_cast<const uint16_t*>(FreeImage_GetScanLine(grey, row));
        BYTE* line = FreeImage_GetScanLine(out, row);
        for (unsigned column = 0; column < width; ++column) line[column] = in[column] >> 8;
    }
    return out;
}

// Any bitmap FreeImage decodes (16-bit and floating-point greyscale or colour included) as a
// 32-bit one; the input is unloaded.
FIBITMAP* to32Bits(FIBITMAP* bitmap) {
    if (bitmap == nullptr) return nullptr;
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(bitmap);
    if (type == FIT_UINT16) {
        FIBITMAP* grey = greyTo8Bits(bitmap);
        FreeImage_Unload(bitmap);
        bitmap = grey;
    } else if (type != FIT_BITMAP && type != FIT_RGB16 && type != FIT_RGBA16) {
        FIBITMAP* standard = FreeImage_ConvertToStandardType(bitmap, TRUE);
        FreeImage_Unload(bitmap);
        bitmap = standard;
    }
    if (bitmap == nullptr) return nullptr;
    if (FreeImage_GetImageType(bitmap) == FIT_BITMAP && FreeImage_GetBPP(bitmap) == 32) {
        return bitmap;
    }
    FIBITMAP* converted = FreeImage_ConvertTo32Bits(bitmap);
    FreeImage_Unload(bitmap);
    return converted;
}

FIBITMAP* decodeChecked(const unsigned char* data, size_t size, int mostSide, std::string& error) {
    const ImageFormat format = sniffImageFormat(data, size);
    if (format == ImageFormat::Unknown) {
        error = "not a PNG, JPEG, BMP, TIFF or GIF image";
        return nullptr;
    }
    // A TIFF's layout is judged from its directory before FreeImage reads even its header, which
    // for some layouts already reads past its buffers.
    if (format == ImageFormat::Tiff) {
        const TiffLayout layout = readTiffLayout(data, size);
        if (tiffStripBytes(layout) > kMostDecodedBytes) {
            error = "the image's strips or tiles need more than " +
                    std::to_string(kMostDecodedBytes >> 20) + " MB each to decode";
            return nullptr;
        }
        const std::string refusal = tiffLayoutRefusal(layout);
        if (!refusal.empty()) {
            error = "the TIFF is not of a kind this editor reads: " + refusal;
            return nullptr;
        }
    }
    // A JPEG's scans are counted and weighed before libjpeg reads one.
    if (format == ImageFormat::Jpeg) {
        const std::string refusal = jpegWorkRefusal(readJpegScans(data, size));
        if (!refusal.empty()) {
            error = refusal;
            return nullptr;
        }
    }
    if (format == ImageFormat::Png && !pngChunksFit(data, size)) {
        error = "the PNG is cut short: a chunk claims more bytes than the file holds";
        return nullptr;
    }
    ensureFreeImageReady();
    HeaderSize header;
    if (!headerSize(data, size, format, header) || header.width < 1 || header.height < 1) {
        error = "the image's header gives no size";
        return nullptr;
    }
    const std::string tooLarge = "the image is " + std::to_string(header.width) + " x " +
                                 std::to_string(header.height) + " pixels, more than the " +
                                 std::to_string(kMostImagePixels >> 20) + " megapixels allowed";
    // Each side on its own first, so that the products below stay far inside 64 bits.
    if (header.width > kMostImagePixels || header.height > kMostImagePixels) {
        error = tooLarge;
        return nullptr;
    }
    // JPEG decodes at 1/2, 1/4 or 1/8 of its size directly: a large photo is shrunk, not refused.
    long long scale = 1;
    if (format == ImageFormat::Jpeg) {
        while (scale < 8 && (header.width / scale) * (header.height / scale) > kMostImagePixels)
            scale *= 2;
    }
    const long long pixels = (header.width / scale) * (header.height / scale);
    const long long bytes = pixels * std::max(header.bitsPerPixel, 8) / 8;
    if (pixels > kMostImagePixels || bytes > kMostDecodedBytes) {
        error = tooLarge;
        return nullptr;
    }
    // FreeImage's JPEG reader takes the side it should shrink to in the flags' high bits.
    const long long longest = std::max(header.width, header.height);
    const int flags = scale > 1 ? static_cast<int>((longest + scale - 1) / scale) << 16 : 0;
    FIBITMAP* bitmap = to32Bits(loadFrom(data, size, freeImageFormat(format), flags));
    if (bitmap == nullptr) {
        error = "the image cannot be decoded";
        return nullptr;
    }
    const long long width = FreeImage_GetWidth(bitmap), height = FreeImage_GetHeight(bitmap);
    if (width < 1 || height < 1 || width > header.width || height > header.height) {
        FreeImage_Unload(bitmap);
        error = "the image decodes to another size than its header gives";
        return nullptr;
    }
    if (width <= mostSide && height <= mostSide) return bitmap;
    // Larger than a texture can be: scaled down, keeping its proportions.
    const double shrink =
        static_cast<double>(mostSide) / static_cast<double>(std::max(width, height));
    const int newWidth = std::max(1, static_cast<int>(std::lround(width * shrink)));
    const int newHeight = std::max(1, static_cast<int>(std::lround(height * shrink)));
    FIBITMAP* scaled = FreeImage_Rescale(bitmap, std::min(newWidth, mostSide),
                                         std::min(newHeight, mostSide), FILTER_BILINEAR);
    FreeImage_Unload(bitmap);
    if (scaled == nullptr) error = "the image cannot be scaled down";
    return scaled;
}

}  // namespace

ImageFormat sniffImageFormat(const unsigned char* data, size_t size) {
    auto startsWith = [&](const char* magic, size_t length) {
        return size >= length && memcmp(data, magic, length) == 0;
    };
    if (startsWith("\x89PNG\r\n\x1a\n", 8)) return ImageFormat::Png;
    if (startsWith("\xff\xd8\xff", 3)) return ImageFormat::Jpeg;
    if (startsWith("BM", 2) && size >= 26) return ImageFormat::Bmp;
    if (startsWith("II*\0", 4) || startsWith("MM\0*", 4)) return ImageFormat::Tiff;
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6)) return ImageFormat::Gif;
    return ImageFormat::Unknown;
}

FIBITMAP* decodeImage(const unsigned char* data, size_t size, int mostSide, std::string& error) {
    if (data == nullptr || size == 0) {
        error = "the file is empty";
        return nullptr;
    }
    if (mostSide < 1) {
        error = "no texture size to fit the image to";
        return nullptr;
    }
    try {
        return decodeChecked(data, size, mostSide, error);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to decode the image";
        return nullptr;
    }
}
