#include "readers/fit_reader.h"

#include <cstring>

#include "common/globals.h"
#include "common/message_log.h"

namespace {

constexpr int kLocalTypes = 16;
constexpr int kDefinitionFixedSize = 5;  // reserved, architecture, global number, field count
constexpr int kFieldDefinitionSize = 3;
constexpr int kCrcSize = 2;
constexpr int kHeaderCrcOffset = 12;
constexpr int kHeaderWithCrcSize = 14;
// The largest message: 255 fields and 255 developer fields of 255 bytes.
constexpr size_t kMaxMessageSize = 2 * 255 * 255;

constexpr int kBetweenFiles = 0;  // the next byte starts a file header
constexpr int kInData = 1;
constexpr int kDone = 2;  // the end was met; every further call ends at once

constexpr int kFitNoPoint = 1;  // a step that gave no point

struct LocalDefinition {
  uint32_t size = 0;  // bytes of a data message after its header byte
  int32_t latitude_offset = 0;
  int32_t longitude_offset = 0;
  bool defined = false;
  bool big_endian = false;
  bool point = false;  // a record message with both positions
};

struct FitState {
  LocalDefinition local[kLocalTypes];
  int64_t data_left = 0;  // bytes of the current file's data not yet read
  int phase = kBetweenFiles;
  int check = 0;
  uint16_t crc = 0;
  // Checking: the bytes of the read buffer from here to the read position
  // are still to be added to the CRC. They are added in one piece before the
  // buffer is refilled and at the end of each file, which costs far less than
  // adding each message on its own.
  const unsigned char* crc_from = nullptr;
};

FitState g_fit;
// A message that does not lie whole in the stream's buffer is copied here.
unsigned char g_message[kMaxMessageSize];

struct CrcTables {
  uint16_t t[16][256];
  CrcTables() {
    for (int b = 0; b < 256; ++b) {
      uint16_t crc = static_cast<uint16_t>(b);
      for (int bit = 0; bit < 8; ++bit) {
        crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
      }
      t[0][b] = crc;
    }
    for (int k = 1; k < 16; ++k) {
      for (int b = 0; b < 256; ++b) {
        t[k][b] = static_cast<uint16_t>((t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF]);
      }
    }
  }
};
const CrcTables kCrc;

uint32_t Load32(const unsigned char* p, bool big_endian) {
  if (big_endian) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
  }
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Load16(const unsigned char* p, bool big_endian) {
  return big_endian ? static_cast<uint16_t>(p[0] << 8 | p[1])
                    : static_cast<uint16_t>(p[0] | p[1] << 8);
}

int Broken() {
  g_fit.phase = kDone;
  AppendLog(u"Track read error!\r\n");
  return kFitBroken;
}

// Adds the bytes read since the last call to the CRC.
void CatchUpCrc(ByteStream* in) {
  if (g_fit.check && g_fit.crc_from != nullptr && g_fit.crc_from < in->next) {
    g_fit.crc = FitCrc(g_fit.crc, g_fit.crc_from, static_cast<size_t>(in->next - g_fit.crc_from));
  }
  g_fit.crc_from = in->next;
}

// The next `size` bytes of the input, in place when the buffer holds them,
// else copied; null when the input ends first. They count for the CRC.
const unsigned char* Take(ByteStream* in, size_t size) {
  if (static_cast<size_t>(in->end - in->next) >= size) {
    const unsigned char* bytes = in->next;
    in->next += size;
    return bytes;
  }
  CatchUpCrc(in);
  size_t got = StreamRead(g_message, 1, size, in);
  g_fit.crc_from = in->next;
  if (got < size) return nullptr;
  if (g_fit.check) g_fit.crc = FitCrc(g_fit.crc, g_message, size);
  return g_message;
}

// Like Take, for bytes of the current file's data: null as well when they
// would run past its end.
const unsigned char* TakeData(ByteStream* in, size_t size) {
  if (g_fit.data_left < static_cast<int64_t>(size)) return nullptr;
  g_fit.data_left -= static_cast<int64_t>(size);
  return Take(in, size);
}

// A file header, at a file boundary: kReadOk with the file's data next,
// kReadEnd at the end of the input, or kFitBroken.
int StartFile(ByteStream* in) {
  int first = StreamGetc(in);
  if (first < 0) {
    g_fit.phase = kDone;
    return in->failed ? Broken() : kReadEnd;
  }
  if (first < kFitMinHeaderSize) return Broken();
  unsigned char header[256];
  header[0] = static_cast<unsigned char>(first);
  if (StreamRead(header + 1, 1, first - 1, in) < static_cast<size_t>(first - 1)) return Broken();
  if (g_fit.check) {
    bool flawed = std::memcmp(header + 8, ".FIT", 4) != 0;
    if (first >= kHeaderWithCrcSize) {
      uint16_t stated = Load16(header + kHeaderCrcOffset, false);
      if (stated != 0 && stated != FitCrc(0, header, kHeaderCrcOffset)) flawed = true;
    }
    if (flawed) InputFlaws |= kFlawFitHeaderOrChecksum;
    g_fit.crc = FitCrc(0, header, static_cast<size_t>(first));
  }
  g_fit.crc_from = in->next;
  g_fit.data_left = Load32(header + 4, false);
  for (LocalDefinition& local : g_fit.local) local = LocalDefinition{};
  g_fit.phase = kInData;
  return kReadOk;
}

// The file CRC after the data; then the next file may follow.
int EndFile(ByteStream* in) {
  CatchUpCrc(in);
  unsigned char crc[kCrcSize];
  if (StreamRead(crc, 1, kCrcSize, in) < kCrcSize) return Broken();
  if (g_fit.check && Load16(crc, false) != g_fit.crc) InputFlaws |= kFlawFitHeaderOrChecksum;
  g_fit.phase = kBetweenFiles;
  return kReadOk;
}

// A definition message after its header byte `header`.
int Define(ByteStream* in, int header) {
  const unsigned char* fixed = TakeData(in, kDefinitionFixedSize);
  if (fixed == nullptr) return Broken();
  int architecture = fixed[1];
  if (architecture > 1) return Broken();
  LocalDefinition local;
  local.defined = true;
  local.big_endian = architecture == 1;
  int global = Load16(fixed + 2, local.big_endian);
  int fields = fixed[4];
  const unsigned char* field = TakeData(in, static_cast<size_t>(fields) * kFieldDefinitionSize);
  if (field == nullptr) return Broken();
  int32_t latitude = -1;
  int32_t longitude = -1;
  for (int i = 0; i < fields; ++i, field += kFieldDefinitionSize) {
    int number = field[0];
    int size = field[1];
    if (global == kFitRecordMessage && size == 4) {
      int32_t offset = static_cast<int32_t>(local.size);
      if (number == kFitLatitudeField && latitude < 0) latitude = offset;
      if (number == kFitLongitudeField && longitude < 0) longitude = offset;
    }
    local.size += static_cast<uint32_t>(size);
  }
  if ((header & 0x20) != 0) {
    const unsigned char* count = TakeData(in, 1);
    if (count == nullptr) return Broken();
    int developer_fields = count[0];
    field = TakeData(in, static_cast<size_t>(developer_fields) * kFieldDefinitionSize);
    if (field == nullptr) return Broken();
    for (int i = 0; i < developer_fields; ++i, field += kFieldDefinitionSize) {
      local.size += field[1];
    }
  }
  local.point = latitude >= 0 && longitude >= 0;
  local.latitude_offset = latitude;
  local.longitude_offset = longitude;
  g_fit.local[header & 0x0F] = local;
  return kReadOk;
}

// The point of a data message of `local` at `message`, or kFitNoPoint.
inline int Position(const LocalDefinition& local, const unsigned char* message, TrackPoint* point) {
  int32_t latitude = static_cast<int32_t>(Load32(message + local.latitude_offset, local.big_endian));
  int32_t longitude = static_cast<int32_t>(Load32(message + local.longitude_offset, local.big_endian));
  if (latitude == kFitInvalidPosition || longitude == kFitInvalidPosition) return kFitNoPoint;
  point->latitude = latitude * (180.0 / 2147483648.0);
  point->longitude = longitude * (180.0 / 2147483648.0);
  return kReadOk;
}

// One step of the reading, whatever comes: a file header, a file's end, a
// definition, or a data message. kReadOk with a point, kFitNoPoint, or the
// end.
[[gnu::noinline]] int ReadFitStep(ByteStream* in, TrackPoint* point) {
  if (g_fit.phase != kInData) {
    if (g_fit.phase == kDone) return kReadEnd;
    int started = StartFile(in);
    return started == kReadOk ? kFitNoPoint : started;
  }
  if (g_fit.data_left == 0) return EndFile(in) == kReadOk ? kFitNoPoint : kFitBroken;
  const unsigned char* header_byte = TakeData(in, 1);
  if (header_byte == nullptr) return Broken();
  int header = *header_byte;
  int type;
  if ((header & 0x80) != 0) {
    type = (header >> 5) & 0x03;  // compressed timestamp
  } else if ((header & 0x40) != 0) {
    return Define(in, header) == kReadOk ? kFitNoPoint : kFitBroken;
  } else {
    type = header & 0x0F;
  }
  const LocalDefinition& local = g_fit.local[type];
  if (!local.defined) return Broken();
  const unsigned char* message = TakeData(in, local.size);
  if (message == nullptr) return Broken();
  if (!local.point) return kFitNoPoint;
  return Position(local, message, point);
}

}  // namespace

// Sixteen bytes a step (slicing by 16): table k holds the CRC of a byte
// followed by k zero bytes.
uint16_t FitCrc(uint16_t crc, const unsigned char* data, size_t size) {
  const auto& t = kCrc.t;
  while (size >= 16) {
    uint32_t first = (static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8) ^ crc;
    crc = static_cast<uint16_t>(t[15][first & 0xFF] ^ t[14][first >> 8] ^ t[13][data[2]] ^
                                t[12][data[3]] ^ t[11][data[4]] ^ t[10][data[5]] ^ t[9][data[6]] ^
                                t[8][data[7]] ^ t[7][data[8]] ^ t[6][data[9]] ^ t[5][data[10]] ^
                                t[4][data[11]] ^ t[3][data[12]] ^ t[2][data[13]] ^ t[1][data[14]] ^
                                t[0][data[15]]);
    data += 16;
    size -= 16;
  }
  while (size-- > 0) crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ *data++) & 0xFF]);
  return crc;
}

void StartFitPass(int check) {
  g_fit = FitState{};
  g_fit.check = check;
}

int ReadFitPoint(TrackPoint* point) {
  ByteStream* in = InputStream;
  for (;;) {
    // The common case, inline: a data message that lies whole in the read
    // buffer and in its file's data.
    unsigned char* p = in->next;
    int64_t available = in->end - p;
    if (g_fit.phase == kInData && available > 0 && (*p & 0xC0) != 0x40) {
      int type = (*p & 0x80) != 0 ? (*p >> 5) & 0x03 : *p & 0x0F;
      const LocalDefinition& local = g_fit.local[type];
      int64_t total = int64_t{local.size} + 1;
      if (local.defined && total <= available && total <= g_fit.data_left) {
        in->next = p + total;
        g_fit.data_left -= total;
        if (!local.point) continue;
        int result = Position(local, p + 1, point);
        if (result == kReadOk) return result;
        continue;
      }
    }
    int result = ReadFitStep(in, point);
    if (result != kFitNoPoint) return result;
  }
}
