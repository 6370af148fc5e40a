// Checking and decoding a background image held in memory, apart from any window or GL context:
// only PNG, JPEG, BMP, TIFF and GIF, recognised by their first bytes; the size read from the
// header before a pixel is decoded; every depth (16-bit, greyscale, palette) made 32-bit.
#pragma once

#include <cstddef>
#include <string>

struct FIBITMAP;

// Largest image file read.
constexpr size_t kMostImageFileBytes = size_t{64} << 20;
// Most pixels decoded: a 24-megapixel photo. A JPEG with more is decoded at a half, a quarter or
// an eighth of its size; any other image with more is refused.
constexpr long long kMostImagePixels = 24LL << 20;
// Most bytes one decoded image may take before its conversion to 32 bits.
constexpr long long kMostDecodedBytes = 128LL << 20;
// A JPEG stored in several scans (progressive ones are) is decoded by reading every scan over the
// blocks of 8 x 8 pixels it covers, into coefficients of 128 bytes a block held for the whole
// image. Ordinary progressive files have about ten scans; past these bounds one is refused.
constexpr long long kMostJpegScans = 100;
constexpr long long kMostJpegCoefficientBytes = 256LL << 20;
// Blocks read, summed over the scans: a few seconds of decoding on a slow machine.
constexpr long long kMostJpegBlockReads = 64000000;

enum class ImageFormat { Unknown, Png, Jpeg, Bmp, Tiff, Gif };

// The format the first bytes announce, or Unknown for anything else (PICT, XBM, text, ...).
ImageFormat sniffImageFormat(const unsigned char* data, size_t size);

// Decodes the image in data[0 .. size - 1] as a 32-bit FreeImage bitmap (FreeImage's byte order,
// bottom row first) no wider or taller than mostSide, scaled down to fit when it is larger.
// Returns null with a one-line reason in error for any other format, a header that gives no
// size or too large a one, or data FreeImage cannot decode. The caller unloads the bitmap.
FIBITMAP* decodeImage(const unsigned char* data, size_t size, int mostSide, std::string& error);
