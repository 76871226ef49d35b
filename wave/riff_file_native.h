// The program's own RIFF layer over plain POSIX file I/O, with the effects of riff_file.h.
// Linked by targets without the Windows multimedia functions; it also defines OpenRiffFile.
#ifndef VELMORIN_WAVE_RIFF_FILE_NATIVE_H
#define VELMORIN_WAVE_RIFF_FILE_NATIVE_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wave/riff_file.h"

// Size of the I/O buffer. Larger than mmio's 8 KiB default: the whole data chunk is read
// through it, and fewer refills bring that close to one plain read of the file.
constexpr size_t NATIVE_RIFF_BUFFER_SIZE = 65536;

// Opens a regular file; null for a missing path, a directory or any other failure.
std::unique_ptr<RiffFile> OpenNativeRiffFile(const char* path);

// Reads `size` bytes at `data` as if they were a file, through an I/O buffer of
// `bufferSize` bytes (at least 1; small ones make refills frequent, for testing). The bytes
// are not copied and must outlive the returned object.
std::unique_ptr<RiffFile> OpenMemoryRiffFile(const uint8_t* data, size_t size,
                                             size_t bufferSize = NATIVE_RIFF_BUFFER_SIZE);

#endif
