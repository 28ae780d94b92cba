#include "readers/mps_reader.h"

#include "common/globals.h"
#include "common/message_log.h"

namespace {

// A little-endian 32-bit value from four bytes in memory.
int32_t LoadInt32(const unsigned char* p) {
  uint32_t bits = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                  static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  return static_cast<int32_t>(bits);
}

// Reads a little-endian 32-bit value. False when the file ends first; the
// bytes that were there are consumed all the same, as a short fread does.
bool ReadInt32(ByteStream* in, int32_t* value) {
  uint32_t bits = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int c = StreamGetc(in);
    if (c < 0) return false;
    bits |= static_cast<uint32_t>(c) << shift;
  }
  *value = static_cast<int32_t>(bits);
  return true;
}

// Track name and the bytes after it, into the shared line buffer, where they
// are overwritten unread.
int ReadTrackHeader() {
  ByteStream* in = InputStream;
  int length = 0;
  for (;;) {
    int c = StreamGetc(in);
    if (c < 0) return kMpsNameCut;
    if (c == 0) break;
    if (length == kMpsMaxNameLength) return kMpsNameTooLong;
    LineBuffer[length++] = static_cast<char>(c);
  }
  LineBuffer[length] = 0;
  if (StreamRead(LineBuffer, 1, kMpsTrackSkipSize, in) < kMpsTrackSkipSize) return kMpsShortSkip;
  int32_t count;
  if (!ReadInt32(in, &count)) return kMpsShortCount;
  if (count < 0) return kMpsNegativeCount;
  MpsRemainingPoints = count;
  MpsReaderState = kMpsInPoints;
  return kReadOk;
}

}  // namespace

int FindMpsTrack() {
  ByteStream* in = InputStream;
  for (;;) {
    if (StreamSeek(in, MpsNextRecordPos, kStreamSeekSet) != 0) return kMpsSeekFailed;
    int32_t length;
    if (!ReadInt32(in, &length)) return kMpsNoLength;
    // The position must move forward and stay a 32-bit offset; anything else
    // would walk back over the records for ever.
    int64_t next = int64_t{MpsNextRecordPos} + length + kMpsRecordHeaderSize;
    if (next <= MpsNextRecordPos || next > INT32_MAX) return kMpsBadLength;
    MpsNextRecordPos = static_cast<int32_t>(next);
    if (length == 0) continue;
    int type = StreamGetc(in);
    if (type < 0) return kMpsNoType;
    if (type == kMpsTrackType) return kMpsFound;
  }
}

int ReadMpsPoint(TrackPoint* point) {
  if (MpsReaderState == kMpsNoTrack) return kMpsNotInTrack;
  if (MpsReaderState == kMpsAtTrackHeader) {
    int header = ReadTrackHeader();
    if (header != kReadOk) return header;
  }
  int32_t before = MpsRemainingPoints--;
  if (before == 0) {
    MpsReaderState = kMpsNoTrack;
    return kMpsEmptyTrack;
  }

  ByteStream* in = InputStream;
  int32_t latitude, longitude;
  if (in->end - in->next >= kMpsPointSize) {
    // The whole point record is in the read window: take it from there.
    latitude = LoadInt32(in->next);
    longitude = LoadInt32(in->next + kMpsCoordinateSize);
    in->next += kMpsPointSize;
    point->latitude = latitude * kMpsDegreesPerSemicircle;
    point->longitude = longitude * kMpsDegreesPerSemicircle;
    if (MpsRemainingPoints <= 0) MpsReaderState = kMpsNoTrack;
    return kReadOk;
  }
  if (!ReadInt32(in, &latitude)) return kMpsShortLatitude;
  if (!ReadInt32(in, &longitude)) return kMpsShortLongitude;
  point->latitude = latitude * kMpsDegreesPerSemicircle;
  point->longitude = longitude * kMpsDegreesPerSemicircle;
  if (StreamSeek(in, kMpsPointTrailerSize, kStreamSeekCur) != 0) return kMpsTrailerSeekFailed;
  if (MpsRemainingPoints <= 0) MpsReaderState = kMpsNoTrack;
  return kReadOk;
}

int ReadMpsTrackPoint(TrackPoint* point) {
  for (;;) {
    if (MpsReaderState == kMpsNoTrack) {
      if (FindMpsTrack() < 0) return kReadEnd;
      MpsReaderState = kMpsAtTrackHeader;
    }
    int result = ReadMpsPoint(point);
    if (result == kReadOk) return kReadOk;
    if (result < 0) {
      AppendLog(u"Track read error!\r\n");
      return kReadEnd;
    }
    // An empty track: look for the next track record.
  }
}
