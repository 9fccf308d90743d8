// Shared by the platform's image sources, and the fuzz target: what the decoders share, and
// the parts they do themselves rather than through a system codec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <memory>
#include <system_error>

#include "image/image.h"

namespace kal2map::image {

enum class Format { kUnknown, kJpeg, kPng, kBmp, kGif, kTiff };

// The format by its signature; `head` needs 8 bytes at most, fewer only when the file is
// shorter. The name of a file is no evidence: scans are often renamed.
Format DetectFormat(const std::uint8_t* head, std::size_t size);

// kUnsupported, with a message naming `format`.
std::error_code Unsupported(Format format);
// kTooLarge, with a message saying that `format`'s codec would hold more than kDecoderBytes.
std::error_code OverBudget(Format format);

// Wider rows than this are not map scans but damage or an attack on the row buffer.
inline constexpr std::uint64_t kMaxWidth = std::uint64_t{1} << 20;

// kDamaged for an empty image, kTooLarge for one too wide.
std::error_code CheckSize(std::uint64_t width, std::uint64_t height);
// OverBudget(format) where a codec would hold more than kDecoderBytes: `factors` multiplied,
// e.g. width, height and bytes a pixel of an image held whole.
std::error_code CheckHeld(Format format, std::initializer_list<std::uint64_t> factors);

// A sample with opacity `alpha` laid over white paper, which is what a map's empty parts are.
inline std::uint8_t OverWhite(unsigned sample, unsigned alpha) {
  return static_cast<std::uint8_t>((sample * alpha + 255 * (255 - alpha) + 127) / 255);
}

// Exactly `size` bytes from `offset`: kDamaged where the data ends before, else the system's
// reason for not reading them.
using ReadAt =
    std::function<std::error_code(std::uint64_t offset, std::uint8_t* out, std::size_t size)>;

// A BMP read with `read`: uncompressed rows of 1, 4, 8, 16, 24 and 32 bits, also bit fields
// of 16 and 32 bits; Windows and OS/2 headers; bottom-up and top-down.
std::unique_ptr<ImageRows> OpenBmpRows(ReadAt read, std::error_code& ec);

// What a codec that holds some kinds of image whole (the Windows Imaging Component) would hold
// of the file `read` gives, as far as its headers tell: 4 bytes a pixel for a progressive JPEG,
// an interlaced PNG, or a GIF; 0 for kinds read by rows or headers it cannot follow.
std::uint64_t HeldWholeBytes(Format format, const ReadAt& read);

#ifndef _WIN32
// The system libraries' decoders, each given a file whose signature is theirs, at its start.
// They own the file from then on, and close it even when they fail.
std::unique_ptr<ImageRows> OpenJpegRows(std::FILE* file, std::error_code& ec);
std::unique_ptr<ImageRows> OpenPngRows(std::FILE* file, std::error_code& ec);
std::unique_ptr<ImageRows> OpenGifRows(std::FILE* file, std::error_code& ec);
std::unique_ptr<ImageRows> OpenTiffRows(std::FILE* file, std::error_code& ec);
#endif

}  // namespace kal2map::image
