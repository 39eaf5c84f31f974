// A stream of one byte range of an open file, read in kMediaChunk pieces with positioned reads
// on a worker thread: the file is never held in memory whole, and the main thread never waits
// for the disk.
#pragma once

#include <gio/gio.h>

#include <cstdint>

// Takes over fd (closed with the stream) and yields length bytes from offset start. A file
// that ends early fails the read with EIO.
GInputStream* kelo_media_file_stream_new(int fd, int64_t start, int64_t length);
