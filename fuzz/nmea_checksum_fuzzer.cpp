// CheckNmeaChecksum on arbitrary NUL-terminated text. The fuzzer's bytes are
// copied into a buffer of exactly their length plus the terminator, so ASan
// catches any read past the end of the line; an embedded NUL ends the text
// early, as it would for the reader. The result is checked against a
// straightforward reference for the parts that do not depend on the hex scan.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_scratch.h"
#include "readers/nmea_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> line(new char[size + 1]);
  if (size > 0) std::memcpy(line.get(), data, size);
  line[size] = 0;

  int result = CheckNmeaChecksum(line.get());
  FuzzCheck(result >= kChecksumOk && result <= kChecksumMismatch,
            "CheckNmeaChecksum returned an unknown result");

  const char* text = line.get();
  const char* star = std::strchr(text, '*');
  if (text[0] != '$') {
    FuzzCheck(result == kChecksumNoDollar, "a line without \"$\" was not refused as such");
  } else if (star == nullptr) {
    FuzzCheck(result == kChecksumNoStar, "a line without \"*\" was not refused as such");
  } else if (result == kChecksumOk) {
    // Accepted: the XOR of the bytes between "$" and "*" must be what the
    // text after the "*" says, read the way %x reads it.
    unsigned sum = 0;
    for (const char* p = text + 1; p < star; ++p) sum ^= static_cast<unsigned char>(*p);
    unsigned stated = 0;
    bool read = ScanHex(star + 1, -1, &stated);
    FuzzCheck((read && stated == sum) || (!read && star[1] == '0' && sum == 0),
              "a checksum was accepted that does not match");
  }
  return 0;
}
