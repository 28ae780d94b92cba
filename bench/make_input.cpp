// Writes a large deterministic recording for the benchmarks:
//   wayconv_make_input FORMAT MEGABYTES PATH
// FORMAT: gpx, nmea, plt, mps, fit, igc, tcx, kml, geojson, or any of them
// with ".gz" (the recording of that size, compressed with gzip).
// Points wander in small realistic steps, with a jump of a few kilometres now
// and then so that the track-break rule has work to do. The same arguments
// always give the same bytes.
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include <zlib.h>

namespace {

struct Walker {
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  double lat = 47.3769;
  double lon = 8.5417;
  int64_t index = 0;

  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint32_t>(state >> 11);
  }
  double Uniform() { return Next() / 4294967296.0; }  // [0, 1)
  void Step() {
    lat += (Uniform() - 0.5) * 0.0004;
    lon += (Uniform() - 0.5) * 0.0006;
    if (Next() % 2000 == 0) lat += 0.03;  // a gap of about 3 km
    // The walk stays in a plausible region however long it runs.
    if (lat > 60.0) lat = 40.0;
    if (lon > 30.0 || lon < -10.0) lon = 8.5417;
    ++index;
  }
};

std::string NmeaSentence(const char* body) {
  unsigned char sum = 0;
  for (const char* c = body; *c != 0; ++c) sum ^= static_cast<unsigned char>(*c);
  char line[200];
  std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, sum);
  return line;
}

void Minutes(double degrees, int width, char* out, size_t size, char positive, char negative) {
  char hemisphere = degrees < 0 ? negative : positive;
  degrees = std::fabs(degrees);
  int whole = static_cast<int>(degrees);
  double minutes = (degrees - whole) * 60.0;
  std::snprintf(out, size, "%0*d%07.4f,%c", width, whole, minutes, hemisphere);
}

std::string NmeaRecord(Walker& w) {
  char lat[32], lon[32], body[160];
  int s = static_cast<int>(w.index % 86400);
  int hh = s / 3600, mm = s / 60 % 60, ss = s % 60;
  Minutes(w.lat, 2, lat, sizeof lat, 'N', 'S');
  Minutes(w.lon, 3, lon, sizeof lon, 'E', 'W');
  std::string out;
  std::snprintf(body, sizeof body, "GPGGA,%02d%02d%02d.000,%s,%s,1,08,0.9,%.1f,M,47.0,M,,", hh, mm,
                ss, lat, lon, 400.0 + w.Uniform() * 100);
  out += NmeaSentence(body);
  out += NmeaSentence("GPGSA,A,3,04,05,09,12,17,24,25,,,,,,1.8,0.9,1.5");
  if (w.index % 5 == 0) {
    out += NmeaSentence("GPGSV,3,1,11,04,69,270,44,05,12,041,37,09,47,093,42,12,22,314,38");
    out += NmeaSentence("GPGSV,3,2,11,17,31,161,40,24,53,224,45,25,10,340,33,29,06,117,30");
    out += NmeaSentence("GPGSV,3,3,11,31,05,012,28,32,16,283,35,33,,,36");
  }
  char status = w.Next() % 100 == 0 ? 'V' : 'A';  // a fix lost now and then
  std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.000,%c,%s,%s,0.4,77.5,071226,,,A", hh, mm, ss,
                status, lat, lon);
  out += NmeaSentence(body);
  return out;
}

std::string GpxRecord(Walker& w) {
  char line[200];
  int s = static_cast<int>(w.index % 86400);
  std::snprintf(line, sizeof line,
                "   <trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.1f</ele>"
                "<time>2026-12-07T%02d:%02d:%02dZ</time></trkpt>\n",
                w.lat, w.lon, 400.0 + w.Uniform() * 100, s / 3600, s / 60 % 60, s % 60);
  return line;
}

std::string TcxRecord(Walker& w) {
  char line[400];
  int s = static_cast<int>(w.index % 86400);
  std::snprintf(line, sizeof line,
                "     <Trackpoint>\n      <Time>2026-12-07T%02d:%02d:%02dZ</Time>\n"
                "      <Position>\n       <LatitudeDegrees>%.7f</LatitudeDegrees>\n"
                "       <LongitudeDegrees>%.7f</LongitudeDegrees>\n      </Position>\n"
                "      <AltitudeMeters>%.1f</AltitudeMeters>\n"
                "      <HeartRateBpm><Value>%d</Value></HeartRateBpm>\n     </Trackpoint>\n",
                s / 3600, s / 60 % 60, s % 60, w.lat, w.lon, 400.0 + w.Uniform() * 100,
                static_cast<int>(100 + w.Uniform() * 60));
  return line;
}

// KML as map sites write it: one LineString per placemark of a few
// thousand tuples, and now and then a gx:Track.
std::string KmlRecord(Walker& w, int64_t* points) {
  std::string out;
  char tuple[100];
  if (w.Next() % 4 == 0) {
    // As Google Earth writes it: the times first, then the positions.
    out += "  <Placemark><gx:Track>\n";
    for (int i = 0; i < 1000; ++i) {
      int s = static_cast<int>((w.index + i) % 86400);
      std::snprintf(tuple, sizeof tuple, "   <when>2026-12-07T%02d:%02d:%02dZ</when>\n", s / 3600,
                    s / 60 % 60, s % 60);
      out += tuple;
    }
    for (int i = 0; i < 1000; ++i, w.Step(), ++*points) {
      std::snprintf(tuple, sizeof tuple, "   <gx:coord>%.7f %.7f %.1f</gx:coord>\n", w.lon, w.lat,
                    400.0 + w.Uniform() * 100);
      out += tuple;
    }
    out += "  </gx:Track></Placemark>\n";
    return out;
  }
  out += "  <Placemark><name>Bench</name><LineString><coordinates>\n";
  for (int i = 0; i < 3000; ++i, w.Step(), ++*points) {
    std::snprintf(tuple, sizeof tuple, "   %.7f,%.7f,%.1f\n", w.lon, w.lat,
                  400.0 + w.Uniform() * 100);
    out += tuple;
  }
  out += "  </coordinates></LineString></Placemark>\n";
  return out;
}

// A FeatureCollection of LineString features, pretty-printed a little.
std::string GeoJsonRecord(Walker& w, int64_t* points, bool first) {
  std::string out = first ? "  " : ",\n  ";
  out += "{\"type\": \"Feature\", \"properties\": {\"name\": \"Bench\"}, "
         "\"geometry\": {\"type\": \"LineString\", \"coordinates\": [";
  char position[100];
  for (int i = 0; i < 3000; ++i, w.Step(), ++*points) {
    std::snprintf(position, sizeof position, "%s[%.7f, %.7f, %.1f]", i == 0 ? "" : ", ", w.lon,
                  w.lat, 400.0 + w.Uniform() * 100);
    out += position;
  }
  out += "]}}";
  return out;
}

std::string PltRecord(Walker& w) {
  char line[160];
  std::snprintf(line, sizeof line, "%11.7f,%12.7f,0,%5d,%.7f,07-Dec-26,%02d:%02d:%02d\r\n", w.lat,
                w.lon, static_cast<int>(1300 + w.Uniform() * 300),
                46000.0 + static_cast<double>(w.index) / 86400.0, static_cast<int>(w.index / 3600 % 24),
                static_cast<int>(w.index / 60 % 60), static_cast<int>(w.index % 60));
  return line;
}

void PutInt32(std::string& out, int32_t value) {
  uint32_t u = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

int32_t Semicircles(double degrees) {
  return static_cast<int32_t>(std::floor(degrees * 2147483648.0 / 180.0 + 0.5));
}

// One track record of `count` points, after a waypoint record.
std::string MpsRecords(Walker& w, int count, int64_t* points) {
  std::string out;
  std::string waypoint = "Waypoint";
  waypoint.append(40, '\0');
  PutInt32(out, static_cast<int32_t>(waypoint.size()));
  out += 'W';
  out += waypoint;

  std::string data = "Track " + std::to_string(w.index);
  data += '\0';
  data.append(5, '\0');
  PutInt32(data, count);
  for (int i = 0; i < count; ++i) {
    PutInt32(data, Semicircles(w.lat));
    PutInt32(data, Semicircles(w.lon));
    data.append(23, '\x01');
    w.Step();
  }
  *points += count;
  PutInt32(out, static_cast<int32_t>(data.size()));
  out += 'T';
  out += data;
  return out;
}

std::string IgcRecord(Walker& w) {
  char line[80];
  int s = static_cast<int>(w.index % 86400);
  double lat = std::fabs(w.lat), lon = std::fabs(w.lon);
  std::snprintf(line, sizeof line, "B%02d%02d%02d%02d%05d%c%03d%05d%cA%05d%05d\r\n", s / 3600,
                s / 60 % 60, s % 60, static_cast<int>(lat),
                static_cast<int>((lat - static_cast<int>(lat)) * 60000.0), w.lat < 0 ? 'S' : 'N',
                static_cast<int>(lon), static_cast<int>((lon - static_cast<int>(lon)) * 60000.0),
                w.lon < 0 ? 'W' : 'E', 1000 + static_cast<int>(w.index % 500),
                1020 + static_cast<int>(w.index % 500));
  std::string out = line;
  if (w.index % 60 == 0) out += "K120000001\r\nLXXXbench comment line\r\n";
  return out;
}

uint16_t FitCrc(uint16_t crc, const std::string& bytes) {
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

// A FIT activity as a bike computer with heart rate, cadence and power
// sensors writes it: record messages of 15 fields (40 bytes: timestamp,
// position, distance, enhanced speed and altitude, altitude, speed, heart
// rate, cadence, temperature, power, fractional cadence, grade, accumulated
// power), an event message now and then.
std::string FitFile(Walker& w, uint64_t target, int64_t* points) {
  std::string data;
  auto put = [&data](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) data += static_cast<char>(value >> (8 * i));
  };
  static const unsigned char kRecordFields[][3] = {
      {253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}, {5, 4, 0x86},  {73, 4, 0x86},
      {78, 4, 0x86},  {2, 2, 0x84}, {6, 2, 0x84}, {3, 1, 0x02},  {4, 1, 0x02},
      {13, 1, 0x01},  {7, 2, 0x84}, {53, 1, 0x02}, {9, 2, 0x83}, {29, 4, 0x86}};
  data += std::string("\x40\0\0\x14\0", 5);
  data += static_cast<char>(std::size(kRecordFields));
  for (const auto& field : kRecordFields) data.append(reinterpret_cast<const char*>(field), 3);
  data += std::string("\x41\0\0\x15\0\x03\xFD\x04\x86\x00\x01\x00\x01\x01\x00", 15);
  constexpr size_t kRecordSize = 41;
  while (data.size() + 14 + 2 + kRecordSize < target) {
    if (w.index % 500 == 0 && data.size() + 14 + 2 + kRecordSize + 7 < target) {
      data += '\x01';
      put(static_cast<uint32_t>(1000000000 + w.index), 4);
      data += '\x0A';
      data += '\x03';
    }
    uint32_t altitude = 2500 + w.Next() % 500;
    uint32_t speed = 5000 + w.Next() % 1000;
    data += '\0';
    put(static_cast<uint32_t>(1000000000 + w.index), 4);
    put(static_cast<uint32_t>(Semicircles(w.lat)), 4);
    put(static_cast<uint32_t>(Semicircles(w.lon)), 4);
    put(static_cast<uint32_t>(w.index * 350), 4);
    put(speed, 4);
    put(altitude, 4);
    put(altitude, 2);
    put(speed, 2);
    put(120 + w.Next() % 40, 1);
    put(80 + w.Next() % 20, 1);
    put(20, 1);
    put(150 + w.Next() % 150, 2);
    put(0, 1);
    put(w.Next() % 600, 2);
    put(static_cast<uint32_t>(w.index * 200), 4);
    ++*points;
    w.Step();
  }
  std::string header("\x0E\x20\x54\x08", 4);
  for (int i = 0; i < 4; ++i) header += static_cast<char>(data.size() >> (8 * i));
  header += ".FIT";
  uint16_t header_crc = FitCrc(0, header);
  header += static_cast<char>(header_crc & 0xFF);
  header += static_cast<char>(header_crc >> 8);
  std::string file = header + data;
  uint16_t crc = FitCrc(0, file);
  file += static_cast<char>(crc & 0xFF);
  file += static_cast<char>(crc >> 8);
  return file;
}

// Compresses the file at `from` into `to` as one gzip member.
bool GzipFile(const char* from, const char* to) {
  FILE* in = std::fopen(from, "rb");
  gzFile out = gzopen(to, "wb6");
  bool ok = in != nullptr && out != nullptr;
  static char buffer[1 << 20];
  size_t n;
  while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    ok = gzwrite(out, buffer, static_cast<unsigned>(n)) == static_cast<int>(n);
  }
  if (in != nullptr) std::fclose(in);
  if (out != nullptr && gzclose(out) != Z_OK) ok = false;
  return ok;
}

}  // namespace

namespace {

// Writes the recording; the exit status of the program.
int Make(const std::string& format, const char* megabytes, const char* path) {
  if (format.size() > 3 && format.compare(format.size() - 3, 3, ".gz") == 0) {
    // The recording first, then compressed.
    std::string plain = std::string(path) + ".plain";
    int status = Make(format.substr(0, format.size() - 3), megabytes, plain.c_str());
    if (status != 0) return status;
    bool ok = GzipFile(plain.c_str(), path);
    std::remove(plain.c_str());
    if (!ok) {
      std::fprintf(stderr, "wayconv: compressing into %s failed; check the free space\n", path);
      return 3;
    }
    return 0;
  }
  uint64_t target = static_cast<uint64_t>(std::strtoull(megabytes, nullptr, 10)) * 1000000ULL;
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "wayconv: cannot write %s; check the folder\n", path);
    return 2;
  }
  Walker w;
  std::string head, tail;
  if (format == "gpx") {
    head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"bench\">\n"
           " <trk><name>Bench</name><trkseg>\n";
    tail = " </trkseg></trk>\n</gpx>\n";
  } else if (format == "plt") {
    head = "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\n"
           "Reserved 3\r\n0,2,255,Bench,0,0,2,8421376\r\n0\r\n";
  } else if (format == "mps") {
    head = std::string("MsRcd\0", 6);
  } else if (format == "igc") {
    head = "AXXXBENCH\r\nHFDTE071226\r\nHFPLTPILOTINCHARGE:Bench\r\nI013638FXA\r\n";
  } else if (format == "fit") {
    int64_t points = 0;
    std::string file = FitFile(w, target, &points);
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !ok) {
      std::fprintf(stderr, "wayconv: writing %s failed; check the free space\n", path);
      return 3;
    }
    std::printf("%" PRId64 "\n", points);
    return 0;
  } else if (format == "tcx") {
    head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TrainingCenterDatabase "
           "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\">\n"
           " <Activities><Activity Sport=\"Biking\"><Id>2026-12-07T00:00:00Z</Id>\n"
           "  <Lap StartTime=\"2026-12-07T00:00:00Z\"><Track>\n";
    tail = "  </Track></Lap>\n </Activity></Activities>\n</TrainingCenterDatabase>\n";
  } else if (format == "kml") {
    head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
           "xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Document>\n";
    tail = "</Document></kml>\n";
  } else if (format == "geojson") {
    head = "{\"type\": \"FeatureCollection\", \"features\": [\n";
    tail = "\n]}\n";
  } else if (format != "nmea") {
    std::fprintf(stderr,
                 "wayconv: unknown format '%s'; use gpx, nmea, plt, mps, fit, igc, tcx, kml or "
                 "geojson\n",
                 format.c_str());
    std::fclose(out);
    return 64;
  }
  uint64_t written = head.size() + tail.size();
  std::fwrite(head.data(), 1, head.size(), out);
  int64_t points = 0;
  std::string chunk;
  while (written < target) {
    chunk.clear();
    while (chunk.size() < (1 << 20) && written + chunk.size() < target) {
      if (format == "gpx") {
        chunk += GpxRecord(w), ++points, w.Step();
      } else if (format == "plt") {
        chunk += PltRecord(w), ++points, w.Step();
      } else if (format == "nmea") {
        chunk += NmeaRecord(w), ++points, w.Step();
      } else if (format == "igc") {
        chunk += IgcRecord(w), ++points, w.Step();
      } else if (format == "tcx") {
        chunk += TcxRecord(w), ++points, w.Step();
      } else if (format == "kml") {
        chunk += KmlRecord(w, &points);
      } else if (format == "geojson") {
        chunk += GeoJsonRecord(w, &points, points == 0);
      } else {
        chunk += MpsRecords(w, 500 + static_cast<int>(w.Next() % 1500), &points);
      }
    }
    std::fwrite(chunk.data(), 1, chunk.size(), out);
    written += chunk.size();
  }
  std::fwrite(tail.data(), 1, tail.size(), out);
  if (std::fclose(out) != 0) {
    std::fprintf(stderr, "wayconv: writing %s failed; check the free space\n", path);
    return 3;
  }
  std::printf("%" PRId64 "\n", points);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr,
                 "wayconv: usage: wayconv_make_input FORMAT[.gz] MEGABYTES PATH (FORMAT: gpx, nmea,\n"
                 "plt, mps, fit, igc, tcx, kml or geojson)\n");
    return 64;
  }
  return Make(argv[1], argv[2], argv[3]);
}
