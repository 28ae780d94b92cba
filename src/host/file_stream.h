// Byte streams with the semantics of the C runtime's fopen family, opened by a
// wide (UTF-16) path: modes "rb" and "wb", a byte get that returns -1 at the end,
// block read and write, seek from the start or the current position, tell, close.
//
// Paths: one that starts with a backslash is a device path. It lives under the
// device root (environment WAYCONV_ROOT, else the user's home), its backslashes
// become slashes, and the folders on the way to a file opened for writing are
// created on demand. Any other path is a host path, used as it is.
//
// Reading is buffered in large blocks; StreamGetc is inline and touches no lock,
// because every input is read twice, byte by byte, by the conversion.
//
// Writing ("wb") never damages an existing file: it goes through the atomic
// writer (host/atomic_file.h), and StreamClose commits it (write, flush, sync,
// rename, sync of the folder). If anything failed, the temporary is removed and
// the old file stays as it was. A device or a FIFO is written in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct GzipInput;  // host/gzip_stream.h

struct ByteStream {
  int fd = -1;
  bool writing = false;
  bool failed = false;              // a read or write error happened
  unsigned char* buffer = nullptr;  // kStreamBufferSize bytes
  unsigned char* next = nullptr;    // reading: next byte to hand out
  unsigned char* end = nullptr;     // reading: end of valid bytes; writing: end of pending bytes
  int64_t buffer_pos = 0;           // file offset of buffer[0]
  std::string target_path;          // writing: the file the stream replaces on close
  std::string temp_path;            // writing: the temporary, empty when written in place
  GzipInput* gzip = nullptr;        // reading: decompresses the file when set
  bool damaged = false;             // reading: the compressed data was damaged or cut short
  // Reading UTF-16 text as UTF-8 (StreamReadUtf16AsUtf8): positions count
  // the UTF-8 bytes handed out, the file is read through `raw`.
  int utf16 = 0;                 // 0 bytes as they are, kUtf16Le or kUtf16Be
  unsigned char* raw = nullptr;  // kStreamBufferSize / 2 bytes of the file
  int carry_byte = -1;           // the first byte of a unit cut by a block's end
  int carry_high = -1;           // a high surrogate waiting for its low one
};

constexpr size_t kStreamBufferSize = 256 * 1024;
constexpr int kStreamSeekSet = 0;
constexpr int kStreamSeekCur = 1;

/// Opens `path` with mode "rb" or "wb". Returns null on failure. For reading,
/// only a regular file opens (no directory, FIFO or device), and the open never
/// blocks.
ByteStream* StreamOpen(const char16_t* path, const char* mode);

constexpr int kUtf16Le = 1;
constexpr int kUtf16Be = 2;

/// The byte order a UTF-16 byte order mark at the start of `bytes` names
/// (kUtf16Le, kUtf16Be), or 0.
int Utf16ByteOrder(const unsigned char* bytes, size_t length);

/// From now on `stream` (opened "rb") hands out the file's text, UTF-16 in
/// `order` after its two-byte mark, as UTF-8, starting again at position 0;
/// unpaired surrogates and a cut last unit read as U+FFFD. Only positions in
/// the buffer and position 0 can be sought. False when the file cannot be
/// rewound.
bool StreamReadUtf16AsUtf8(ByteStream* stream, int order);

/// Refills the read buffer and returns its first byte, or -1 at the end.
int StreamRefillGetc(ByteStream* stream);

/// Makes sure the read buffer holds at least one unread byte, refilling it
/// when it is empty. Returns the bytes now available in [next, end), 0 at the
/// end of the file or on an error. Lets a reader scan the buffer in place.
size_t StreamFill(ByteStream* stream);

/// Returns the next byte (0-255), or -1 at the end of the file or on an error.
inline int StreamGetc(ByteStream* stream) {
  if (stream->next < stream->end) return *stream->next++;
  return StreamRefillGetc(stream);
}

/// Reads up to size*count bytes; returns the number of whole items read.
size_t StreamRead(void* data, size_t size, size_t count, ByteStream* stream);

/// Writes size*count bytes; returns the number of whole items written.
size_t StreamWrite(const void* data, size_t size, size_t count, ByteStream* stream);

/// Moves the position to `offset` from the start (kStreamSeekSet) or from the
/// current position (kStreamSeekCur). 0 on success, -1 on failure (a negative
/// target, an unseekable stream). Seeking past the end succeeds, as fseek does.
int StreamSeek(ByteStream* stream, int64_t offset, int origin);

/// The current position, or -1 on failure.
int64_t StreamTell(ByteStream* stream);

/// The size of a stream opened for reading, or -1 on failure.
int64_t StreamSize(ByteStream* stream);

/// Closes the stream and frees it. For a written stream this is where the file
/// is committed; 0 when everything was written, -1 otherwise (then the previous
/// file is untouched). Accepts null and returns 0.
int StreamClose(ByteStream* stream);

/// The host path a wide path stands for (device paths mapped under the root).
std::string HostPath(const char16_t* path);

/// The device root: WAYCONV_ROOT, else HOME, else the current folder.
std::string DeviceRoot();
