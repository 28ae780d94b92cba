#include "conversion/input_survey.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/globals.h"
#include "common/input_kind.h"
#include "common/types.h"
#include "conversion/conversion_run.h"
#include "host/gzip_stream.h"
#include "readers/fit_reader.h"
#include "readers/geojson_reader.h"
#include "readers/gpx_reader.h"
#include "readers/mps_reader.h"
#include "readers/nmea_reader.h"
#include "readers/text_line.h"
#include "readers/xml_track_reader.h"

namespace {

constexpr char kPltFirstLine[] = "OziExplorer Track Point File";
constexpr size_t kSniffSize = 512;  // room for an XML declaration and a comment
constexpr int kMpsWaypointType = 'W';
constexpr int kMpsRouteType = 'R';

const char* KindName(int kind) {
  switch (kind) {
    case kInputGpx:
      return "gpx";
    case kInputMps:
      return "mps";
    case kInputPlt:
      return "plt";
    case kInputFit:
      return "fit";
    case kInputIgc:
      return "igc";
    case kInputTcx:
      return "tcx";
    case kInputKml:
      return "kml";
    case kInputGeoJson:
      return "geojson";
    default:
      return "nmea";
  }
}

const char* KindTitle(int kind) {
  switch (kind) {
    case kInputGpx:
      return "GPX";
    case kInputMps:
      return "MapSource";
    case kInputPlt:
      return "PLT";
    case kInputFit:
      return "a FIT file";
    case kInputIgc:
      return "an IGC file";
    case kInputTcx:
      return "TCX";
    case kInputKml:
      return "KML";
    case kInputGeoJson:
      return "GeoJSON";
    default:
      return "NMEA";
  }
}

bool StartsWith(const char* bytes, size_t length, const char* prefix, size_t prefix_length) {
  return length >= prefix_length && std::memcmp(bytes, prefix, prefix_length) == 0;
}

// "1 line", "2 lines".
std::string Count(int n, const char* singular, const char* plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

struct NmeaCounts {
  int gprmc = 0, other_rmc = 0, void_rmc = 0, gga_fixes = 0, bad_checksums = 0;
};

// RMC status: the field after the time field.
bool IsVoidRmc(const char* line) {
  const char* comma = std::strchr(line + 7, ',');
  return comma != nullptr && comma[1] == 'V' && (comma[2] == ',' || comma[2] == '*');
}

void CountNmeaLines(ByteStream* in, NmeaCounts* counts) {
  char line[kLineBufferSize];
  while (ReadTextLine(in, line, kLineLimit) >= 0) {
    if (line[0] != '$') continue;
    bool checksum_ok = CheckNmeaChecksum(line) == kChecksumOk;
    if (!checksum_ok) ++counts->bad_checksums;
    if (IsTalkerSentence(line, "RMC,")) {
      ++(std::strncmp(line, "$GPRMC,", 7) == 0 ? counts->gprmc : counts->other_rmc);
      if (IsVoidRmc(line)) ++counts->void_rmc;
    } else if (checksum_ok && IsTalkerSentence(line, "GGA,")) {
      const char* quality = GgaQualityField(line);
      if (quality != nullptr && IsGgaFixQuality(quality)) ++counts->gga_fixes;
    }
  }
}

std::string DescribeNmea(ByteStream* in) {
  NmeaCounts c;
  CountNmeaLines(in, &c);
  return Count(c.gprmc, "$GPRMC line", "$GPRMC lines") + ", " +
         Count(c.other_rmc, "other RMC line", "other RMC lines") + ", " +
         Count(c.void_rmc, "RMC line", "RMC lines") + " with status V, " +
         Count(c.gga_fixes, "GGA line", "GGA lines") + " with a fix, " +
         Count(c.bad_checksums, "line", "lines") + " with a bad checksum; " +
         (StrictInput != 0 ? "--strict (or StrictInput) reads $GPRMC only"
                           : "a track needs at least two fixes");
}

// Counts the tags that open or are an element named `name`: the tag text
// holds it and not "/" + name, as the reader tests it.
void CountGpxTags(ByteStream* in, int* trkpt, int* rtept, int* wpt) {
  std::string tag;
  for (;;) {
    int c;
    while ((c = StreamGetc(in)) >= 0 && c != '<') {
    }
    if (c < 0) return;
    tag.clear();
    // Cut where the reader cuts a tag; the rest is passed over.
    while ((c = StreamGetc(in)) >= 0 && c != '>' && tag.size() < kGpxTagReadSize - 2) {
      tag += static_cast<char>(c);
    }
    auto names = [&tag](const char* name, const char* closing) {
      return tag.find(name) != std::string::npos && tag.find(closing) == std::string::npos;
    };
    if (names("trkpt", "/trkpt")) ++*trkpt;
    if (names("rtept", "/rtept")) ++*rtept;
    if (names("wpt", "/wpt")) ++*wpt;
    if (c < 0) return;
  }
}

std::string DescribeGpx(ByteStream* in) {
  int trkpt = 0, rtept = 0, wpt = 0;
  CountGpxTags(in, &trkpt, &rtept, &wpt);
  return std::to_string(trkpt) + " trkpt, " + std::to_string(rtept) + " rtept and " +
         Count(wpt, "wpt tag", "wpt tags") + "; " +
         (StrictInput != 0 && rtept >= 2 ? "--strict (or StrictInput) reads trkpt only"
                                         : "a track needs at least two points, and waypoints "
                                           "are not read as one");
}

struct MpsCounts {
  int tracks = 0, waypoints = 0, routes = 0;
};

// Counts the records by type, walking them as the reader does (the header
// check has passed: the signature is there).
void CountMpsRecords(ByteStream* in, MpsCounts* counts) {
  int64_t position = kMpsSignatureSize;
  for (;;) {
    if (StreamSeek(in, position, kStreamSeekSet) != 0) return;
    unsigned char bytes[kMpsRecordHeaderSize];
    if (StreamRead(bytes, 1, kMpsLengthSize, in) < static_cast<size_t>(kMpsLengthSize)) return;
    uint32_t bits = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                    static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    int64_t next = position + static_cast<int32_t>(bits) + kMpsRecordHeaderSize;
    if (next <= position || next > INT32_MAX) return;
    if (bits != 0) {
      int type = StreamGetc(in);
      if (type < 0) return;
      if (type == kMpsTrackType) ++counts->tracks;
      if (type == kMpsWaypointType) ++counts->waypoints;
      if (type == kMpsRouteType) ++counts->routes;
    }
    position = next;
  }
}

std::string DescribeMps(ByteStream* in) {
  MpsCounts c;
  CountMpsRecords(in, &c);
  return Count(c.tracks, "track", "tracks") + " with " +
         Count(CountedPoints, "usable point", "usable points") + ", " +
         Count(c.waypoints, "waypoint", "waypoints") + " and " +
         Count(c.routes, "route", "routes") +
         "; a track needs at least two points, and waypoints and routes are not read as one";
}

std::string DescribeHeader(const std::string& name, const char* bytes, size_t length) {
  if (InputKind == kInputMps) {
    return name + " is not a MapSource file: it does not start with \"MsRcd\"; check the file";
  }
  if (!StartsWith(bytes, length, kPltFirstLine, sizeof kPltFirstLine - 1)) {
    return name + " is not a PLT track file: its first line is not \"" + kPltFirstLine +
           "\"; check the file";
  }
  return name + " ends inside its six-line PLT header; check the file";
}

// Text in UTF-16 without a byte order mark: its first characters are ASCII
// with a zero byte after (little endian) or before (big endian) each.
bool LooksLikeUtf16(const char* bytes, size_t length) {
  size_t pairs = (length < 64 ? length : 64) / 2;  // the first 32 characters
  if (pairs < 4) return false;
  bool le = true, be = true;
  for (size_t i = 0; i < pairs; ++i) {
    char a = bytes[2 * i], b = bytes[2 * i + 1];
    le = le && a != 0 && b == 0;
    be = be && a == 0 && b != 0;
  }
  return le || be;
}

// TCX, KML and GeoJSON: what the run's last pass met.
std::string DescribeStructured(const std::string& name) {
  if (InputKind == kInputKml && XmlReaderEnding() == kXmlKmzNoKml) {
    return name + " is a KMZ without a .kml entry; check the file";
  }
  if (InputKind == kInputKml && XmlReaderEnding() == kXmlKmzBroken) {
    return name + " is a KMZ whose .kml entry cannot be read; check the file";
  }
  std::string text = "no track in " + name + ": " +
                     Count(CountedPoints, "usable point", "usable points");
  bool malformed = InputKind == kInputGeoJson ? GeoJsonMalformed()
                                              : XmlReaderEnding() == kXmlMalformed;
  if (malformed) {
    return text + " before the " + (InputKind == kInputGeoJson ? "JSON" : "XML") +
           " stops being well formed; check the file";
  }
  if (InputKind == kInputTcx) {
    return text + " (Trackpoints with a Position); a track needs at least two";
  }
  if (InputKind == kInputKml) {
    return text + " in LineString coordinates and gx:Track; Points and Polygons are not tracks";
  }
  if (GeoJsonSawOtherGeometry()) {
    return text + " in LineString and MultiLineString geometries; Points and Polygons are not "
                  "tracks";
  }
  return text + " in LineString and MultiLineString geometries; a track needs at least two";
}

}  // namespace

int GuessInputKind(const char* bytes, size_t length) {
  if (StartsWith(bytes, length, kMpsSignature, kMpsSignatureSize)) return kInputMps;
  // A FIT header: its size, then ".FIT" at offset 8.
  if (length >= kFitMinHeaderSize && static_cast<unsigned char>(bytes[0]) >= kFitMinHeaderSize &&
      std::memcmp(bytes + 8, ".FIT", 4) == 0) {
    return kInputFit;
  }
  // An IGC log opens with its A record (the logger's maker), then H records.
  if (length >= 4 && bytes[0] == 'A' && std::memchr(bytes, '\n', length) != nullptr) {
    const char* line_end = static_cast<const char*>(std::memchr(bytes, '\n', length));
    size_t rest = length - static_cast<size_t>(line_end + 1 - bytes);
    if (rest == 0 || line_end[1] == 'H' || line_end[1] == 'B') return kInputIgc;
  }
  if (StartsWith(bytes, length, "PK\3\4", 4)) return kInputKml;
  if (StartsWith(bytes, length, "\xEF\xBB\xBF", 3)) {
    bytes += 3;
    length -= 3;
  }
  if (StartsWith(bytes, length, kPltFirstLine, sizeof kPltFirstLine - 1)) return kInputPlt;
  while (length > 0 && (*bytes == ' ' || *bytes == '\t' || *bytes == '\r' || *bytes == '\n')) {
    ++bytes;
    --length;
  }
  if (length > 0 && *bytes == '<') {
    // The root element names the XML kind; a declaration alone means GPX,
    // as before.
    std::string_view text(bytes, length);
    if (text.find("<TrainingCenterDatabase") != std::string_view::npos) return kInputTcx;
    if (text.find("<kml") != std::string_view::npos) return kInputKml;
    if (text.find("<gpx") != std::string_view::npos || text.starts_with("<?xml")) return kInputGpx;
  }
  if (length > 0 && *bytes == '{') return kInputGeoJson;
  if (length > 0 && *bytes == '$') return kInputNmea;
  return 0;
}

int InputKindOfFile(const char16_t* path) {
  ByteStream* in = StreamOpen(path, "rb");
  int guess = 0;
  if (in != nullptr) {
    char bytes[kSniffSize];
    size_t length = StreamRead(bytes, 1, sizeof bytes, in);
    StreamClose(in);
    guess = GuessInputKind(bytes, length);
  }
  return guess != 0 ? guess : InputKindFromExtension(path);
}

std::string DescribeRejectedInput(const std::string& name, int result) {
  ByteStream* in = StreamOpen(InputPath, "rb");
  if (in == nullptr) return std::string();
  if (StreamAttachGzip(in) == kGzipFailed) {
    StreamClose(in);
    return std::string();
  }
  char bytes[kSniffSize];
  size_t length = StreamRead(bytes, 1, sizeof bytes, in);
  std::string text;
  int guess = GuessInputKind(bytes, length);
  if (LooksLikeUtf16(bytes, length)) {
    text = name + " looks like UTF-16 text without a byte order mark; save it as UTF-8";
  } else if (guess != 0 && guess != InputKind) {
    text = name + " looks like " + KindTitle(guess) + ": try --kind " + KindName(guess);
  } else if (result == kConvertOpenFailed) {
    text = DescribeHeader(name, bytes, length);
  } else if (CountedPoints >= 2) {
    text = name + " changed while it was read; convert it again";
  } else if (StreamSeek(in, 0, kStreamSeekSet) != 0) {
    text = std::string();
  } else if (InputKind == kInputNmea) {
    text = "no track in " + name + ": " + DescribeNmea(in);
  } else if (InputKind == kInputGpx) {
    text = "no track in " + name + ": " + DescribeGpx(in);
  } else if (InputKind == kInputMps) {
    text = "no track in " + name + ": " + DescribeMps(in);
  } else if (InputKind == kInputTcx || InputKind == kInputKml || InputKind == kInputGeoJson) {
    text = DescribeStructured(name);
  } else {
    text = "no track in " + name + ": " + Count(CountedPoints, "usable point", "usable points") +
           "; a track needs at least two";
  }
  StreamClose(in);
  return text;
}
