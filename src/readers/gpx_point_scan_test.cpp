#include "readers/gpx_point_scan.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "common/numbers.h"
#include "readers/gpx_reader.h"
#include "reader_test_util.h"

namespace {

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// What one ReadGpxPoint call gives: its result and the point as it then is,
// to the bit. (Not the stream position: the general path itself leaves the
// ">" of a tag of exactly 998 characters unread or not, depending on where
// the read window ends, and the next call passes over it either way.)
using Step = std::tuple<int, uint64_t, uint64_t>;

class GpxPointScanTest : public WayconvTest {
 protected:
  // Every call of ReadGpxPoint on the file at `path` (`size` bytes) up to
  // the end, with the fast path on or off.
  std::vector<Step> Steps(const std::string& path, size_t size, bool fast) {
    OpenInput(path);
    GpxFastPath = fast ? 1 : 0;
    std::vector<Step> steps;
    TrackPoint point{-1.0, -2.0};
    for (size_t i = 0; i <= size + 1; ++i) {
      int result = ReadGpxPoint(&point);
      steps.emplace_back(result, Bits(point.latitude), Bits(point.longitude));
      if (result < 0) break;
    }
    CloseInput();
    GpxFastPath = 1;
    return steps;
  }

  // Both paths give the same steps on `bytes`; returns them.
  std::vector<Step> ExpectSameSteps(const std::string& bytes) {
    std::string path = dir_.File("input.gpx");
    WriteFile(path, bytes);
    std::vector<Step> fast = Steps(path, bytes.size(), true);
    std::vector<Step> general = Steps(path, bytes.size(), false);
    EXPECT_EQ(fast, general) << Printable(bytes);
    return fast;
  }

  // ... and on every prefix of them. The file grows by appending, which
  // costs far less than writing it anew for each length.
  void ExpectSameStepsOnEveryPrefix(const std::string& bytes) {
    std::string path = dir_.File("prefix.gpx");
    WriteFile(path, "");
    std::FILE* file = std::fopen(path.c_str(), "ab");
    ASSERT_NE(file, nullptr);
    for (size_t length = 0; length <= bytes.size() && !HasFailure(); ++length) {
      if (length > 0) std::fputc(static_cast<unsigned char>(bytes[length - 1]), file);
      std::fflush(file);
      EXPECT_EQ(Steps(path, length, true), Steps(path, length, false))
          << Printable(bytes.substr(0, length));
    }
    std::fclose(file);
  }

  static std::string Printable(const std::string& bytes) {
    std::string text = bytes.size() > 300 ? bytes.substr(0, 300) + "..." : bytes;
    std::replace(text.begin(), text.end(), '\0', '@');
    return text;
  }
};

// The track point shapes the fast path reads itself, and a few it leaves to
// the tag reader: a change that sends the common shape to the slow path
// shows here, and wrong results show in the comparisons below.
TEST_F(GpxPointScanTest, TakesTheCommonShape) {
  struct Case {
    const char* tag;
    bool fast;
  } cases[] = {
      {"<trkpt lat=\"47.1\" lon=\"8.5\">", true},
      {"<trkpt lat=\"47.1\" lon=\"8.5\"/>", true},
      {"<trkpt lat=\"-33.9\" lon=\"-70.6\" >", true},
      {"<trkpt\n\tlat=\"47\" lon=\"8.\"\r\n/>", true},
      {"<gpx:trkpt lat=\"47.123456789012\" lon=\"008.5\">", true},
      {"<trkpt lat=\"99.9\" lon=\"400\">", true},  // out of range, read all the same
      {"<trkpt lon=\"8.5\" lat=\"47.1\">", false},
      {"<trkpt lat='47.1' lon='8.5'>", false},
      {"<trkpt lat=\"47.1\" lon=\"8.5\" ele=\"1\">", false},
      {"<trkpt lat=\"+47.1\" lon=\"8.5\">", false},
      {"<trkpt lat=\"4.7e1\" lon=\"8.5\">", false},
      {"<trkpt lat=\"47.12345678901234567\" lon=\"8.5\">", false},
      {"<trkpt lat=\"0047.1\" lon=\"8.5\">", false},
      {"<lat:trkpt lat=\"47.1\" lon=\"8.5\">", false},
      {"</gpx:trkpt>", false},
  };
  for (const Case& c : cases) {
    // Padding keeps the tag clear of the window's end, which the fast path
    // leaves to the tag reader too.
    OpenInput(dir_.File("one.gpx"), std::string("<gpx>") + c.tag + std::string(64, ' '));
    TrackPoint point;
    int result = ScanGpxTrackPoint(InputStream, &point);
    EXPECT_EQ(result != kGpxUseTagReader, c.fast) << c.tag;
  }
}

// The value ParsePlainDecimal reads from `text` as an attribute value: the
// number must end at the closing quote. Bytes past the quote are padding.
bool QuotedValue(const std::string& text, double* value) {
  std::string padded = text + "\"" + std::string(32, '7');
  const auto* begin = reinterpret_cast<const unsigned char*>(padded.c_str());
  const unsigned char* after = ParsePlainDecimal(begin, begin + padded.size() - 16, value);
  return after != nullptr && after == begin + text.size();
}

TEST_F(GpxPointScanTest, PlainDecimalsAsParseDouble) {
  const char* accepted[] = {"0",     "-0",       "7",        "47.1",          "-33.9",
                            "8.",    "000.100",  "123.25",   "0.000001",      "-179.99999999",
                            "47.123456789012", "900.7199254740992"};
  const char* refused[] = {"",    "-",   ".5",        "-.5",        "+1",
                           "1e2", "1E2", "0x1",       "1234.5",     "1.2345678901234567",
                           "900.7199254740993", "47.1234567890123456", "nan", " 1", "1 "};
  for (const char* text : accepted) {
    double value = -1.0;
    ASSERT_TRUE(QuotedValue(text, &value)) << text;
    EXPECT_EQ(Bits(value), Bits(ParseDouble(text))) << text;
  }
  for (const char* text : refused) {
    double value = -1.0;
    EXPECT_FALSE(QuotedValue(text, &value)) << text;
  }
  // Up to fifteen random digits, one to three of them whole, against the
  // general conversion.
  std::mt19937 random(16);
  int read = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string digits;
    for (int n = 1 + static_cast<int>(random() % 15); n > 0; --n) digits += char('0' + random() % 10);
    size_t whole = 1 + random() % std::min<size_t>(digits.size(), 3);
    std::string text = random() % 2 ? "-" : "";
    text += digits.substr(0, whole);
    text += '.';
    text += digits.substr(whole);
    double value;
    if (!QuotedValue(text, &value)) continue;
    ASSERT_EQ(Bits(value), Bits(ParseDouble(text.c_str()))) << text;
    ++read;
  }
  EXPECT_GT(read, 15000);
}

const char kSample[] =
    "<?xml version=\"1.0\"?>\n"
    "<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
    " <wpt lat=\"10.0\" lon=\"10.0\"><name>w</name></wpt>\n"
    " <trk><name>t</name><link href=\"track.kml\"/><trkseg>\n"
    "   <trkpt lat=\"48.1\" lon=\"11.5\"><ele>500</ele><time>2023-05-14T09:00:00Z</time></trkpt>\n"
    "   <trkpt lat=\"48.2\"><ele>501</ele></trkpt>\n"
    "   <trkpt lat=\"48.3\" lon=\"11.7\"/>\n"
    "   <trkpt lat=\"48.4\" name=\"a>b\" lon=\"11.8\"></trkpt>\n"
    "   <trkpt lon=\"-70.6\" lat=\"-33.9\"></trkpt>\n"
    "   <trkpt lat=\"100.5\" lon=\"1\"/><trkpt lat=\"1\" lon=\"-370.5\"/>\n"
    "   <!-- <trkpt lat=\"1.5\" lon=\"2.5\"> --><![CDATA[ <trkpt lat=\"3\" lon=\"4\"> ]]>\n"
    "   <trkpt lat=\"&#52;8\" lon=\"1\"/><trkpt lat=\"48.5\" lon=\"11.9\"><extensions>"
    "<ns3:TrackPointExtension><ns3:hr>120</ns3:hr></ns3:TrackPointExtension></extensions></trkpt>\n"
    "  </trkseg></trk>\n"
    "</gpx>\n";

TEST_F(GpxPointScanTest, SamplesCutAtEveryLength) {
  ExpectSameStepsOnEveryPrefix(kSample);
  ExpectSameStepsOnEveryPrefix(ReadFile(SamplePath("walk.gpx")));
  std::string corpus = std::string(WAYCONV_SOURCE_DIR) + "/fuzz/corpus/convert_gpx";
  DIR* folder = opendir(corpus.c_str());
  ASSERT_NE(folder, nullptr);
  int files = 0;
  while (dirent* entry = readdir(folder)) {
    if (entry->d_name[0] == '.') continue;
    SCOPED_TRACE(entry->d_name);
    ExpectSameStepsOnEveryPrefix(ReadFile(corpus + "/" + entry->d_name));
    ++files;
  }
  closedir(folder);
  EXPECT_GT(files, 0);
}

// Track point tags built from every combination of attribute order,
// spacing, quote kind, prefix, ending and value form, alone and one after
// another, with NUL bytes and cut points among them.
TEST_F(GpxPointScanTest, GeneratedTrackPoints) {
  const char* prefixes[] = {"", "gpx:", "lat:", "x/y:", "a trkpt "};
  const char* spacings[] = {" ", "  ", "\n\t", "\r\n ", ""};
  const char* quotes[] = {"\"", "'"};
  const char* values[] = {"47.1", "-8.25", "7", "47.", ".5", "-.5", "+1", "1e1", "0x10", " 4",
                          "4 ", "", "x", "nan", "12345678.5", "47.12345678901234567", "101",
                          "-370.5", "4>7"};
  const std::string endings[] = {">", "/>", " />", " >", Bytes("\0>"), " ele=\"1\">"};
  std::mt19937 random(1616);
  std::string all;
  int tags = 0;
  for (const char* prefix : prefixes) {
    for (const char* spacing : spacings) {
      for (const char* quote : quotes) {
        for (int order = 0; order < 2; ++order) {
          for (const std::string& ending : endings) {
            const char* lat = values[random() % std::size(values)];
            const char* lon = values[random() % std::size(values)];
            std::string first = std::string(order == 0 ? "lat=" : "lon=") + quote +
                                (order == 0 ? lat : lon) + quote;
            std::string second = std::string(order == 0 ? "lon=" : "lat=") + quote +
                                 (order == 0 ? lon : lat) + quote;
            std::string tag = std::string("<") + prefix + "trkpt" + spacing + first + spacing +
                              second + ending;
            ExpectSameSteps(tag);
            all += tag + (tags % 3 == 0 ? "</trkpt>" : tags % 3 == 1 ? "\n" : "<ele>1</ele>");
            ++tags;
          }
        }
      }
    }
  }
  std::vector<Step> steps = ExpectSameSteps(all);
  // Enough of them are good points that the comparison means something.
  EXPECT_GT(std::count_if(steps.begin(), steps.end(), [](const Step& s) { return std::get<0>(s) == kReadOk; }),
            20);
  // Random cuts and byte changes of the whole series.
  for (int i = 0; i < 200 && !HasFailure(); ++i) {
    std::string mutated = all.substr(random() % all.size());
    for (int n = 0; n < 8; ++n) mutated[random() % mutated.size()] = "<>/k\"'\0 t"[random() % 9];
    ExpectSameSteps(mutated);
  }
}

TEST_F(GpxPointScanTest, LongTagsTheWindowsEndAndRandomBytes) {
  // Tags around the 998 characters a tag keeps, the longitude and the ">"
  // on either side of the cut.
  for (size_t length = 985; length <= 1003 && !HasFailure(); ++length) {
    std::string head = "trkpt lat=\"1.5\"", tail = " lon=\"2.5\"";
    ExpectSameSteps("<" + head + std::string(length - head.size() - tail.size(), ' ') + tail +
                    "><trkpt lat=\"3\" lon=\"4\">");
    ExpectSameSteps("<x " + std::string(length, 'k') + "><trkpt lat=\"3\" lon=\"4\">");
  }
  // The end of the first read window on each byte of a record in turn,
  // after text or after a long tag.
  const std::string record =
      "<trkpt lat=\"47.1\" lon=\"8.5\"><ele>1</ele></trkpt>\n<gpx:trkpt lat=\"-1\" lon=\"2\"/>";
  for (size_t offset = 0; offset <= record.size() + 2 && !HasFailure(); ++offset) {
    size_t fill = kStreamBufferSize - record.size() + offset;
    ExpectSameSteps(std::string(fill, ' ') + record + record);
    ExpectSameSteps("<a" + std::string(fill - 3, 'k') + ">" + record + record);
  }
  std::mt19937 random(998);
  const std::string alphabet = Bytes("<>/\"'= trkptlaon-0123456789.:\n\0");
  for (int i = 0; i < 400 && !HasFailure(); ++i) {
    ExpectSameSteps(RandomBytes(&random, random() % 400, alphabet));
  }
}

}  // namespace
