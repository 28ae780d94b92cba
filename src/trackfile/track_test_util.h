// Helpers for the track-file tests: track files built slot by slot, and the
// program run on them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "conversion/track_file.h"
#include "test_util.h"

struct Slot {
  double latitude, longitude;
  bool start;
};

inline void PutWordAt(std::string* bytes, size_t offset, uint32_t word) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<char>(word >> (8 * i));
}

/// An 80008-byte track file holding `slots`, with `count` at offset 0
/// (default: the number of slots).
inline std::string TrackFileBytes(const std::vector<Slot>& slots, int64_t count = -1) {
  std::string bytes(kTrackFileSize, '\0');
  PutWordAt(&bytes, 0, static_cast<uint32_t>(count >= 0 ? count : static_cast<int64_t>(slots.size())));
  for (size_t i = 0; i < slots.size(); ++i) {
    uint32_t latitude = LatitudeWord(slots[i].latitude) | (slots[i].start ? kTrackStartFlag : 0u);
    PutWordAt(&bytes, 8 + 8 * i, LongitudeWord(slots[i].longitude));
    PutWordAt(&bytes, 12 + 8 * i, latitude);
  }
  return bytes;
}

/// Runs the program with `args` (already quoted for the shell).
inline int RunWayconv(const std::string& args, std::string* out, std::string* err = nullptr) {
  return RunCommand(std::string(WAYCONV_BINARY) + " " + args, out, err);
}

/// `path` quoted for the shell.
inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }
