#include "readers/kmz_entry.h"

#include <zlib.h>

#include <string>
#include <vector>

#include "common/globals.h"
#include "readers/xml_track_reader.h"
#include "test_util.h"

namespace {

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}
void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::string RawDeflate(const std::string& data) {
  z_stream zip{};
  deflateInit2(&zip, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zip, data.size()), '\0');
  zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zip.avail_in = static_cast<uInt>(data.size());
  zip.next_out = reinterpret_cast<Bytef*>(out.data());
  zip.avail_out = static_cast<uInt>(out.size());
  deflate(&zip, Z_FINISH);
  out.resize(zip.total_out);
  deflateEnd(&zip);
  return out;
}

struct Entry {
  std::string name;
  std::string content;
  bool deflated;
  uint32_t claimed_size = 0;  // 0: the true size
};

// A zip archive of `entries`, written as zip tools write it.
std::string Zip(const std::vector<Entry>& entries) {
  std::string out, directory;
  for (const Entry& e : entries) {
    std::string data = e.deflated ? RawDeflate(e.content) : e.content;
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.content.data()), static_cast<uInt>(e.content.size())));
    uint32_t size = e.claimed_size != 0 ? e.claimed_size : static_cast<uint32_t>(e.content.size());
    uint32_t offset = static_cast<uint32_t>(out.size());
    out += "PK\3\4";
    Put16(out, 20), Put16(out, 0), Put16(out, e.deflated ? 8 : 0), Put32(out, 0);
    Put32(out, crc), Put32(out, static_cast<uint32_t>(data.size())), Put32(out, size);
    Put16(out, static_cast<uint32_t>(e.name.size())), Put16(out, 0);
    out += e.name + data;
    directory += "PK\1\2";
    Put16(directory, 20), Put16(directory, 20), Put16(directory, 0);
    Put16(directory, e.deflated ? 8 : 0), Put32(directory, 0), Put32(directory, crc);
    Put32(directory, static_cast<uint32_t>(data.size())), Put32(directory, size);
    Put16(directory, static_cast<uint32_t>(e.name.size())), Put16(directory, 0), Put16(directory, 0);
    Put16(directory, 0), Put16(directory, 0), Put32(directory, 0), Put32(directory, offset);
    directory += e.name;
  }
  uint32_t directory_offset = static_cast<uint32_t>(out.size());
  out += directory + "PK\5\6";
  Put16(out, 0), Put16(out, 0), Put16(out, static_cast<uint32_t>(entries.size()));
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(directory.size())), Put32(out, directory_offset);
  Put16(out, 7);
  out += "comment";
  return out;
}

const std::string kDoc =
    "<kml><Placemark><LineString><coordinates>8.5,47.5 8.6,47.6</coordinates></LineString>"
    "</Placemark></kml>";
const std::string kOtherDoc =
    "<kml><LineString><coordinates>1,2 3,4 5,6</coordinates></LineString></kml>";

class KmzTest : public WayconvTest {
 protected:
  // The points of `bytes` read as KML, with how the pass ended.
  std::vector<double> Read(const std::string& bytes, int* ending) {
    std::string path = dir_.File("input.kmz");
    WriteFile(path, bytes);
    InputStream = StreamOpen(W(path).c_str(), "rb");
    EXPECT_NE(InputStream, nullptr);
    RestartXmlReader();
    std::vector<double> latitudes;
    TrackPoint point;
    while (ReadKmlPoint(&point) == kReadOk) latitudes.push_back(point.latitude);
    *ending = XmlReaderEnding();
    RestartXmlReader();
    StreamClose(InputStream);
    InputStream = nullptr;
    return latitudes;
  }
};

TEST_F(KmzTest, TheFirstKmlEntryIsRead) {
  using Lat = std::vector<double>;
  struct Case {
    const char* what;
    std::vector<Entry> entries;
    Lat latitudes;
    int ending;
  } cases[] = {
      {"stored", {{"doc.kml", kDoc, false}}, {47.5, 47.6}, kXmlEnded},
      {"deflated", {{"doc.kml", kDoc, true}}, {47.5, 47.6}, kXmlEnded},
      {"not first, in a folder",
       {{"files/pic.png", "\x89PNG", false}, {"files/KML.KML", kOtherDoc, false},
        {"files/track.kml", kDoc, true}, {"b.kml", kOtherDoc, true}},
       {47.5, 47.6},
       kXmlEnded},
      {"no .kml entry", {{"doc.kml.txt", kDoc, false}, {"kml", kDoc, false}}, {}, kXmlKmzNoKml},
      {"an empty archive", {}, {}, kXmlKmzNoKml},
      {"a size claimed far beyond the data",
       {{"doc.kml", kDoc, true, 0xFFFFFFF0u}},
       {47.5, 47.6},
       kXmlEnded},
      {"a size claimed short of the data: the document is cut",
       {{"doc.kml", kDoc, true, 60}},
       {47.5},
       kXmlMalformed},
  };
  for (const Case& c : cases) {
    int ending = -1;
    EXPECT_EQ(Read(Zip(c.entries), &ending), c.latitudes) << c.what;
    EXPECT_EQ(ending, c.ending) << c.what;
  }
}

TEST_F(KmzTest, LongEntriesStreamInBlocks) {
  std::string tuples;
  for (int i = 0; i < 40000; ++i) tuples += "8.5," + std::to_string(40 + i % 1000 * 0.001) + " ";
  std::string doc = "<kml><LineString><coordinates>" + tuples + "</coordinates></LineString></kml>";
  for (bool deflated : {false, true}) {
    int ending = -1;
    std::vector<double> latitudes = Read(Zip({{"a.kml", doc, deflated}}), &ending);
    ASSERT_EQ(latitudes.size(), 40000u);
    EXPECT_DOUBLE_EQ(latitudes[39999], 40.999);
    EXPECT_EQ(ending, kXmlEnded);
  }
}

// Cut anywhere: no crash, never more points than the whole, and an archive
// cut before its directory is one that cannot be read.
TEST_F(KmzTest, TruncatedArchives) {
  for (bool deflated : {false, true}) {
    std::string whole = Zip({{"doc.kml", kDoc, deflated}});
    for (size_t length = 4; length < whole.size(); ++length) {
      int ending = -1;
      EXPECT_LE(Read(whole.substr(0, length), &ending).size(), 2u) << length;
      EXPECT_NE(ending, kXmlEnded) << length;
    }
  }
}

}  // namespace
