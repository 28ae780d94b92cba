// A whole conversion run on arbitrary bytes, read as one input kind
// (WAYCONV_FUZZ_KIND, set per executable), through the real stream layer:
// the bytes become a file in the scratch folder and ConvertTrack turns it
// into a track file beside it. Output goes to a tmpfs file, so every run
// also goes through the temporary-file-and-rename commit at little cost.
//
// Besides the sanitizers, each run checks what the program promises: a
// known result code, both streams closed, a written file that is the 80008
// bytes of the TrackImage with a sane point count and empty slots after the
// last point, and an earlier track file left exactly as it was by a run that
// failed. Inputs of even length convert with track splitting on, odd ones
// with it off, so both paths are covered by the same corpus. As GPX, the
// bytes are also read point by point with the reader's fast path on and
// off, and every result and point must agree.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "conversion/track_file.h"
#include "fuzz_scratch.h"
#include "host/text.h"
#include "readers/gpx_reader.h"

#ifndef WAYCONV_FUZZ_KIND
#error "WAYCONV_FUZZ_KIND must be the input kind code, 1 (GPX) to 4 (NMEA) or 6 to 8 (TCX, KML, GeoJSON)"
#endif

namespace {

std::string g_input;
std::string g_output;
std::u16string g_input_wide;
std::u16string g_output_wide;
std::string g_last_output;  // the track file as the last successful run left it

unsigned char g_zeros[kTrackFileSize];

// The file's bytes (at most one more than a track file holds, enough to tell
// a wrong size), or an empty string when there is no file.
std::string ReadOutput(const std::string& path) {
  std::string bytes(kTrackFileSize + 1, '\0');
  size_t have = 0;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  while (have < bytes.size()) {
    ssize_t n = read(fd, bytes.data() + have, bytes.size() - have);
    if (n <= 0) break;
    have += static_cast<size_t>(n);
  }
  close(fd);
  bytes.resize(have);
  return bytes;
}

uint32_t Word(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;  // the build host is little-endian, as the file is
}

// Every result and point ReadGpxPoint gives on the input, with the fast
// path on or off, as bytes: result, latitude and longitude of each call.
std::string GpxSteps(size_t size, int fast) {
  std::string steps;
  InputStream = StreamOpen(g_input_wide.c_str(), "rb");
  FuzzCheck(InputStream != nullptr, "the scratch input does not open");
  GpxFastPath = fast;
  TrackPoint point{-1.0, -2.0};
  for (size_t i = 0; i <= size + 1; ++i) {
    int result = ReadGpxPoint(&point);
    steps.append(reinterpret_cast<const char*>(&result), sizeof result);
    steps.append(reinterpret_cast<const char*>(&point), sizeof point);
    if (result < 0) break;
  }
  StreamClose(InputStream);
  InputStream = nullptr;
  GpxFastPath = 1;
  return steps;
}

void ResetAll() {
  ResetGlobalsForTest();
  ResetTrackFileForTest();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& dir = FuzzScratchDir();
  g_input = dir + "/input";
  g_output = dir + "/Tracks.bin";
  g_input_wide = Utf8ToUtf16(g_input);
  g_output_wide = Utf8ToUtf16(g_output);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteScratchFile(g_input, data, size);
  ResetAll();
  CopyWide(InputPath, kInputPathSize, g_input_wide);
  CopyWide(OutputPath, kOutputPathSize, g_output_wide);
  static_assert(kInputGpx == 1 && kInputNmea == 4, "the kind codes the build uses");
  InputKind = WAYCONV_FUZZ_KIND;
  DoSplit = size % 2 == 0 ? 1 : 0;

  if (InputKind == kInputGpx) {
    FuzzCheck(GpxSteps(size, 1) == GpxSteps(size, 0),
              "the GPX fast path and the general path disagree");
  }

  int result = ConvertTrack();

  FuzzCheck(result == kConvertOk || result == kConvertOpenFailed ||
                result == kConvertWriteFailed || result == kConvertPassFailed,
            "ConvertTrack returned an unknown result");
  FuzzCheck(InputStream == nullptr && OutputStream == nullptr,
            "ConvertTrack left a stream open");
  FuzzCheck(LogLength() < kMessageLogSize, "the MessageLog overran its storage");
  std::string written = ReadOutput(g_output);
  if (result == kConvertOk) {
    FuzzCheck(written.size() == kTrackFileSize, "the track file is not 80008 bytes");
    FuzzCheck(std::memcmp(written.data(), TrackImage, kTrackFileSize) == 0,
              "the track file differs from the TrackImage");
    uint32_t count = Word(written, 0);
    FuzzCheck(count >= 2 && count <= kMaxStoredPoints, "the point count is out of range");
    FuzzCheck(Word(written, 4) == 0, "the reserved word is not zero");
    size_t used = 8 + 8 * size_t{count};
    FuzzCheck(std::memcmp(written.data() + used, g_zeros, kTrackFileSize - used) == 0,
              "a slot after the last point is not empty");
    g_last_output.swap(written);
  } else {
    FuzzCheck(written == g_last_output, "a failed run changed the earlier track file");
  }
  ResetAll();
  return 0;
}
