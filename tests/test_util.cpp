#include "test_util.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/shape_thinning.h"
#include "conversion/track_file.h"
#include "host/text.h"
#include "readers/geojson_reader.h"
#include "readers/gpx_reader.h"
#include "readers/nmea_reader.h"
#include "readers/xml_track_reader.h"

void ResetAllForTest() {
  ResetGlobalsForTest();
  ResetTrackFileForTest();
  ResetShapeThinningForTest();
  GpxPointElement = kGpxTrackPoints;
  NmeaReadMode = kNmeaGprmcOnly;
  ResetNmeaFixTime();
  RestartXmlReader();
  RestartGeoJsonReader();
}

void WayconvTest::SetUp() { ResetAllForTest(); }
void WayconvTest::TearDown() { ResetAllForTest(); }

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::u16string W(const std::string& text) { return Utf8ToUtf16(text); }

std::string LogText() { return Utf16ToUtf8(MessageLog); }

void PrepareRun(const std::string& input, int kind, const std::string& output) {
  CopyWide(InputPath, kInputPathSize, W(input));
  InputKind = kind;
  CopyWide(OutputPath, kOutputPathSize, W(output));
}

uint32_t WordAt(const std::string& bytes, size_t offset) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(offset))) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(offset + 1))) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(offset + 2))) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(offset + 3))) << 24;
}

std::string PltFile(const std::vector<std::pair<double, double>>& points) {
  std::string text =
      "OziExplorer Track Point File Version 2.1\r\n"
      "WGS 84\r\n"
      "Altitude is in Feet\r\n"
      "Reserved 3\r\n"
      "0,2,255,Track,0,0,2,8421376\r\n"
      "0\r\n";
  char line[128];
  for (const auto& [lat, lon] : points) {
    std::snprintf(line, sizeof line, "%.7f,%.7f,0,-777,0,,\r\n", lat, lon);
    text += line;
  }
  return text;
}
