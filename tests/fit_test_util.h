// FIT files made in memory for the tests.
#pragma once

#include <cstdint>
#include <string>

#include "readers/fit_reader.h"

/// `value` in `size` bytes, little-endian unless `big`.
inline std::string FitInt(uint32_t value, int size, bool big = false) {
  std::string bytes;
  for (int i = 0; i < size; ++i) bytes += static_cast<char>(value >> (8 * (big ? size - 1 - i : i)));
  return bytes;
}

inline std::string FitCrcBytes(const std::string& bytes) {
  return FitInt(FitCrc(0, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), 2);
}

/// A whole FIT file around `data`: a header of `header_size` bytes (12, 14
/// or more; from 14 on with the header CRC), the data, the file CRC.
inline std::string FitFileAround(const std::string& data, int header_size = 14) {
  std::string header = std::string(1, static_cast<char>(header_size)) + "\x20" + FitInt(2132, 2) +
                       FitInt(static_cast<uint32_t>(data.size()), 4) + ".FIT";
  if (header_size >= 14) header += FitCrcBytes(header);
  header.resize(static_cast<size_t>(header_size), '\0');
  std::string file = header + data;
  return file + FitCrcBytes(file);
}

/// A FIT file of `count` record messages holding the position alone:
/// latitude `latitude + i * step` semicircles, longitude `longitude`.
inline std::string FitWalk(int count, int32_t latitude, int32_t longitude, int32_t step) {
  std::string data = std::string("\x40\0\0", 3) + FitInt(kFitRecordMessage, 2) + "\x02" +
                     std::string("\0\x04\x85\x01\x04\x85", 6);
  for (int i = 0; i < count; ++i) {
    data += '\0' + FitInt(static_cast<uint32_t>(latitude + i * step), 4) +
            FitInt(static_cast<uint32_t>(longitude), 4);
  }
  return FitFileAround(data);
}
