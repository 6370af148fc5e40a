// Reading a whole file that must be an ordinary file of bounded size: never a directory, a
// device, a FIFO or a socket, never a read without end or a wait for a writer.
#pragma once

#include <cstddef>
#include <string>

// Largest surface file read: the largest net, 1,000,000 points written by the editor, takes
// about 64 MB.
constexpr size_t kMostSurfaceFileBytes = size_t{256} << 20;
// Largest configuration file read: it names one path.
constexpr size_t kMostConfigFileBytes = size_t{1} << 20;

// Reads the whole file at path into text. The file is opened without blocking (a FIFO with no
// writer does not stall the open) and checked to be a regular file before a byte is read; one
// larger than mostBytes is refused unread. Returns false with a one-line reason in error
// ("it is a directory", "it is larger than 256 MiB", ...); text is then empty.
bool readRegularFile(const char* path, size_t mostBytes, std::string& text, std::string& error);

// mostBytes as a short size for messages: "256 MiB", "1 MiB", "512 KiB", "100 bytes".
std::string byteSizeText(size_t bytes);
