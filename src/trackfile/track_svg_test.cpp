#include "trackfile/track_svg.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "common/globals.h"
#include "conversion/conversion_run.h"
#include "host/text.h"
#include "trackfile/track_test_util.h"

namespace {

using TrackSvgTest = WayconvTest;

// Just enough of XML to check that a picture is well-formed: one root
// element, quoted attributes (no duplicates), matching end tags, the five
// named entities and character references, valid UTF-8, and nothing but
// white space, comments or declarations outside the root.
struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::vector<Element> children;
  std::string text;  // character data, entities left as they are
};

class XmlChecker {
 public:
  explicit XmlChecker(const std::string& doc) : s_(doc) {}

  bool Parse(Element* root) {
    std::u16string wide = Utf8ToUtf16(s_);
    for (char16_t c : wide) {
      if (c >= 0xDC80 && c <= 0xDCFF) return Fail("not UTF-8");
    }
    if (s_.compare(0, 5, "<?xml") == 0) {
      size_t end = s_.find("?>");
      if (end == std::string::npos) return Fail("open declaration");
      i_ = end + 2;
    }
    SkipSpace();
    if (!ParseElement(root)) return false;
    SkipSpace();
    return i_ == s_.size() || Fail("text after the root");
  }
  const std::string& error() const { return error_; }

 private:
  bool Fail(const std::string& what) {
    error_ = what + " at byte " + std::to_string(i_);
    return false;
  }
  static bool In(const char* set, char c) { return c != 0 && std::strchr(set, c) != nullptr; }
  void SkipSpace() {
    while (i_ < s_.size() && In(" \t\r\n", s_[i_])) ++i_;
  }
  bool Name(std::string* name) {
    size_t start = i_;
    while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) ||
                              In("_:.-", s_[i_]))) {
      ++i_;
    }
    *name = s_.substr(start, i_ - start);
    return (!name->empty() && !std::isdigit(static_cast<unsigned char>((*name)[0]))) ||
           Fail("bad name");
  }
  bool Entity() {  // at '&'
    size_t end = s_.find(';', i_);
    if (end == std::string::npos || end - i_ > 10) return Fail("open entity");
    std::string name = s_.substr(i_ + 1, end - i_ - 1);
    bool ok = name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos";
    if (name.size() > 1 && name[0] == '#') {
      const char* digits = name[1] == 'x' ? "0123456789abcdefABCDEF" : "0123456789";
      size_t first = name[1] == 'x' ? 2 : 1;
      ok = name.size() > first && name.find_first_not_of(digits, first) == std::string::npos;
    }
    i_ = end + 1;
    return ok || Fail("unknown entity &" + name + ";");
  }
  bool ParseElement(Element* element) {
    if (i_ >= s_.size() || s_[i_] != '<') return Fail("no element");
    ++i_;
    if (!Name(&element->name)) return false;
    for (;;) {
      size_t before = i_;
      SkipSpace();
      if (i_ >= s_.size()) return Fail("open tag");
      if (s_.compare(i_, 2, "/>") == 0) {
        i_ += 2;
        return true;
      }
      if (s_[i_] == '>') {
        ++i_;
        break;
      }
      if (i_ == before) return Fail("no space before attribute");
      std::string name;
      if (!Name(&name)) return false;
      if (i_ >= s_.size() || s_[i_] != '=') return Fail("no '='");
      ++i_;
      if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) return Fail("unquoted value");
      char quote = s_[i_++];
      size_t start = i_;
      while (i_ < s_.size() && s_[i_] != quote) {
        if (s_[i_] == '<') return Fail("'<' in a value");
        if (s_[i_] == '&') {
          if (!Entity()) return false;
        } else {
          ++i_;
        }
      }
      if (i_ >= s_.size()) return Fail("open value");
      if (!element->attributes.emplace(name, s_.substr(start, i_ - start)).second) {
        return Fail("attribute " + name + " twice");
      }
      ++i_;
    }
    for (;;) {  // content
      if (i_ >= s_.size()) return Fail("no end tag for " + element->name);
      if (s_.compare(i_, 2, "</") == 0) {
        i_ += 2;
        std::string name;
        if (!Name(&name)) return false;
        if (name != element->name) return Fail("</" + name + "> closes " + element->name);
        SkipSpace();
        if (i_ >= s_.size() || s_[i_] != '>') return Fail("open end tag");
        ++i_;
        return true;
      }
      if (s_[i_] == '<') {
        element->children.emplace_back();
        if (!ParseElement(&element->children.back())) return false;
      } else if (s_[i_] == '&') {
        size_t start = i_;
        if (!Entity()) return false;
        element->text += s_.substr(start, i_ - start);
      } else {
        if (s_[i_] == '>') return Fail("stray '>'");
        element->text += s_[i_++];
      }
    }
  }

  const std::string& s_;
  size_t i_ = 0;
  std::string error_;
};

void Collect(const Element& element, const std::string& name, std::vector<const Element*>* found) {
  if (element.name == name) found->push_back(&element);
  for (const Element& child : element.children) Collect(child, name, found);
}

double Number(const Element& element, const std::string& attribute) {
  auto it = element.attributes.find(attribute);
  EXPECT_NE(it, element.attributes.end()) << element.name << " has no " << attribute;
  return it == element.attributes.end() ? NAN : std::strtod(it->second.c_str(), nullptr);
}

std::vector<std::pair<double, double>> PolylinePoints(const Element& polyline) {
  std::vector<std::pair<double, double>> points;
  const std::string& text = polyline.attributes.at("points");
  const char* p = text.c_str();
  char* end;
  for (;;) {
    double x = std::strtod(p, &end);
    if (end == p) break;
    EXPECT_EQ(*end, ',') << text;
    p = end + 1;
    double y = std::strtod(p, &end);
    points.emplace_back(x, y);
    p = end;
  }
  return points;
}

// What every picture must be: well-formed SVG 800 px wide and 200 to 1000
// px high, one polyline per track with one vertex per point, a dot per
// track, and everything drawn inside the view box. Returns the root.
Element ExpectSoundPicture(const std::string& svg, const TrackData& data) {
  Element root;
  XmlChecker checker(svg);
  EXPECT_TRUE(checker.Parse(&root)) << checker.error();
  EXPECT_EQ(root.name, "svg");
  EXPECT_EQ(root.attributes["xmlns"], "http://www.w3.org/2000/svg");
  EXPECT_EQ(root.attributes["width"], "800");
  double height = Number(root, "height");
  EXPECT_GE(height, kSvgMinHeight);
  EXPECT_LE(height, kSvgMaxHeight);
  EXPECT_EQ(root.attributes["viewBox"], "0 0 800 " + root.attributes["height"]);
  auto inside = [&](double x, double y, const std::string& what) {
    EXPECT_TRUE(x >= 0 && x <= 800 && y >= 0 && y <= height) << what << " at " << x << "," << y;
  };

  std::vector<const Element*> polylines, circles, texts;
  Collect(root, "polyline", &polylines);
  Collect(root, "circle", &circles);
  Collect(root, "text", &texts);
  size_t tracks = data.points.size() >= 2 ? data.tracks.size() : 0;
  EXPECT_EQ(polylines.size(), tracks);
  for (size_t t = 0; t < polylines.size() && t < tracks; ++t) {
    std::vector<std::pair<double, double>> points = PolylinePoints(*polylines[t]);
    EXPECT_EQ(points.size(), static_cast<size_t>(data.tracks[t].count)) << "track " << t + 1;
    for (const auto& [x, y] : points) inside(x, y, "track " + std::to_string(t + 1));
  }
  EXPECT_EQ(circles.size(), data.points.empty() ? 0u : data.tracks.size());
  for (const Element* c : circles) {
    double r = Number(*c, "r");
    inside(Number(*c, "cx") - r, Number(*c, "cy") - r, "dot");
    inside(Number(*c, "cx") + r, Number(*c, "cy") + r, "dot");
  }
  for (const Element* t : texts) inside(Number(*t, "x"), Number(*t, "y"), "text " + t->text);
  return root;
}

// A track file of `tracks` tracks, each `points` points along a straight
// line from (`latitude`, `longitude`) by the given steps in degrees, the
// tracks side by side.
TrackData Lines(int tracks, int points, double latitude, double longitude, double north,
                double east) {
  std::vector<Slot> slots;
  for (int t = 0; t < tracks; ++t) {
    for (int i = 0; i < points; ++i) {
      slots.push_back({latitude + i * north, longitude + t * 0.01 + i * east, i == 0});
    }
  }
  std::string bytes = TrackFileBytes(slots);
  TrackData data;
  DecodeTrackImage(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(slots.size()), &data);
  return data;
}

TEST_F(TrackSvgTest, EveryShapeMakesASoundPicture) {
  struct Case {
    const char* what;
    TrackData data;
    int height;  // 0: not checked
  } cases[] = {
      {"two short tracks", Lines(2, 30, 47.37, 8.54, 0.0005, 0.0003), 0},
      {"east-west line on the equator", Lines(1, 100, 0.0, -1.0, 0.0, 0.02), kSvgMinHeight},
      {"north-south line: as high as allowed", Lines(1, 100, -10.0, 20.0, 0.2, 0.0),
       kSvgMaxHeight},
      {"all points in one place", Lines(1, 5, 5.0, 5.0, 0.0, 0.0), kSvgMinHeight},
      {"near the pole", Lines(3, 50, 89.0, 0.0, 0.01, 1.0), 0},
      {"across both zero lines", Lines(4, 40, -0.01, -0.02, 0.0005, 0.001), 0},
      {"more tracks than colours, unnumbered", Lines(20, 3, 40.0, -3.0, 0.001, 0.0), 0},
      {"a full file", Lines(1, 10000, -33.0, 151.0, 0.0001, 0.00013), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Element root = ExpectSoundPicture(ExportSvg(c.data, "dir/t.bin"), c.data);
    if (c.height != 0) {
      EXPECT_EQ(Number(root, "height"), c.height);
    }
    std::vector<const Element*> texts;
    Collect(root, "text", &texts);
    // Title, "N", the scale bar, and a number per track up to 12 tracks.
    size_t numbers = c.data.tracks.size() <= 12 ? c.data.tracks.size() : 0;
    EXPECT_EQ(texts.size(), 3 + numbers);
  }
}

TEST_F(TrackSvgTest, KilometresAreAsLongEastWestAsNorthSouthAndNorthIsUp) {
  // Around 60 degrees north, 2 degrees of longitude are as long as 1 of latitude.
  std::string bytes = TrackFileBytes({{59.5, 10.0, true}, {60.5, 10.0, false},
                                      {60.5, 12.0, false}, {59.5, 12.0, false}});
  TrackData data;
  DecodeTrackImage(reinterpret_cast<const unsigned char*>(bytes.data()), 4, &data);
  Element root = ExpectSoundPicture(ExportSvg(data, "square.bin"), data);
  std::vector<const Element*> polylines;
  Collect(root, "polyline", &polylines);
  ASSERT_EQ(polylines.size(), 1u);
  std::vector<std::pair<double, double>> p = PolylinePoints(*polylines[0]);
  ASSERT_EQ(p.size(), 4u);
  double width = p[2].first - p[1].first;
  double height = p[0].second - p[1].second;  // the first point lies south: lower
  EXPECT_GT(width, 0);
  EXPECT_NEAR(width / height, 1.0, 0.01);
  EXPECT_NEAR(p[0].first, p[1].first, 0.1);

  // The scale bar's label matches its length at that scale.
  double px_per_km = height / (kEarthRadiusKm * M_PI / 180);
  std::vector<const Element*> paths, texts;
  Collect(root, "path", &paths);
  Collect(root, "text", &texts);
  const std::string& bar = paths.back()->attributes.at("d");
  double x0 = std::strtod(bar.c_str() + 1, nullptr);
  double x1 = std::strtod(bar.c_str() + bar.find('H') + 1, nullptr);
  const std::string& label = texts.back()->text;
  ASSERT_EQ(label.substr(label.size() - 3), " km");
  double km = std::strtod(label.c_str(), nullptr);
  EXPECT_EQ(km, 20.0);  // a quarter of the width is about 28 km
  EXPECT_NEAR((x1 - x0) / km, px_per_km, px_per_km * 0.01);
}

// The bar's label in metres under a kilometre, in kilometres from one on.
TEST_F(TrackSvgTest, ScaleBarReadsInMetresUnderAKilometre) {
  struct {
    double east;  // degrees of longitude between the two points, on the equator
    const char* label;
  } cases[] = {
      {0.0, "20 m"},  // the least span the picture allows, 100 m
      {0.001, "20 m"}, {0.01, "200 m"}, {0.05, "1 km"}, {1.0, "20 km"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TrackData data = Lines(1, 2, 0.0, 10.0, 0.0, c.east);
    Element root = ExpectSoundPicture(ExportSvg(data, "bar.bin"), data);
    std::vector<const Element*> texts;
    Collect(root, "text", &texts);
    EXPECT_EQ(texts.back()->text, c.label);
  }
}

// Past the palette's seven colours no two tracks look the same: each round
// of the colours has its own dash pattern, the first none.
TEST_F(TrackSvgTest, TracksPastThePaletteDifferInTheirLine) {
  TrackData data = Lines(28, 3, 40.0, -3.0, 0.001, 0.0);
  Element root = ExpectSoundPicture(ExportSvg(data, "many.bin"), data);
  std::vector<const Element*> polylines;
  Collect(root, "polyline", &polylines);
  ASSERT_EQ(polylines.size(), 28u);
  std::map<std::string, int> looks;
  for (size_t t = 0; t < polylines.size(); ++t) {
    auto dashes = polylines[t]->attributes.find("stroke-dasharray");
    bool solid = dashes == polylines[t]->attributes.end();
    EXPECT_EQ(solid, t < 7) << "track " << t + 1;
    std::string look = polylines[t]->attributes.at("stroke") + (solid ? "" : " " + dashes->second);
    EXPECT_EQ(++looks[look], 1) << "track " << t + 1 << " looks like another: " << look;
  }
}

TEST_F(TrackSvgTest, EmptyFileAndSinglePointSaySo) {
  TrackData empty;
  Element root = ExpectSoundPicture(ExportSvg(empty, "\\My Documents\\Tracks.bin"), empty);
  EXPECT_EQ(Number(root, "height"), kSvgMinHeight);
  std::vector<const Element*> texts;
  Collect(root, "text", &texts);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0]->text, "Tracks.bin: 0 points in 0 tracks");
  EXPECT_EQ(texts[2]->text, "No points in this file");

  std::string bytes = TrackFileBytes({{-12.5, 130.25, true}});
  TrackData one;
  DecodeTrackImage(reinterpret_cast<const unsigned char*>(bytes.data()), 1, &one);
  root = ExpectSoundPicture(ExportSvg(one, "one.bin"), one);
  texts.clear();
  Collect(root, "text", &texts);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0]->text, "one.bin: 1 point in 1 track");
  EXPECT_EQ(texts[2]->text, "One point only, at -12.500000, 130.250000");
}

TEST_F(TrackSvgTest, TitleTextIsEscapedAndValid) {
  struct Case {
    std::string text, xml;
  } cases[] = {
      {"walk.bin", "walk.bin"},
      {"a&b <c> \"d\" 'e'", "a&amp;b &lt;c&gt; &quot;d&quot; &apos;e&apos;"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"caf\xE9", "caf\xEF\xBF\xBD"},                         // Latin-1, not UTF-8
      {"\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD|"  // overlong,
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|"                                  // surrogate,
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                    // past U+10FFFF
      {"tab\tnul" + std::string(1, '\0') + "\xEF\xBF\xBF", "tab\xEF\xBF\xBDnul\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendXmlText(&out, c.text);
    EXPECT_EQ(out, c.xml) << c.text;
  }
  // A long name is cut at a character boundary, and the picture stays valid.
  std::string name = std::string(47, 'x') + "\xC3\xA9\xC3\xA9.bin";
  TrackData data = Lines(1, 2, 1.0, 1.0, 0.001, 0.0);
  Element root = ExpectSoundPicture(ExportSvg(data, "/tmp/" + name), data);
  std::vector<const Element*> titles;
  Collect(root, "title", &titles);
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles[0]->text, std::string(47, 'x') + "\xE2\x80\xA6: 2 points in 1 track");
}

// The picture in docs/ is what the program draws for the bundled sample.
TEST_F(TrackSvgTest, DocsPictureIsCurrent) {
  PrepareRun(std::string(WAYCONV_SOURCE_DIR) + "/samples/walk.plt", kInputPlt,
             dir_.File("walk.bin"));
  ASSERT_EQ(ConvertTrack(), kConvertOk);
  TrackData data;
  std::string reason;
  ASSERT_EQ(LoadTrackFile(dir_.File("walk.bin"), &data, &reason), kTrackFileExitOk) << reason;
  EXPECT_EQ(ExportSvg(data, "walk.bin"), ReadFile(std::string(WAYCONV_SOURCE_DIR) + "/docs/walk.svg"))
      << "remake it: wayconv --batch --output walk.bin samples/walk.plt && "
         "wayconv --export svg --output docs/walk.svg walk.bin";
}

// A real renderer draws it: a PNG of the picture's size comes out.
TEST_F(TrackSvgTest, RendersWithRsvgConvert) {
  if (RunCommand("command -v rsvg-convert", nullptr) != 0) {
    GTEST_SKIP() << "rsvg-convert is not installed (apt-get install librsvg2-bin)";
  }
  struct Case {
    const char* name;
    TrackData data;
  } cases[] = {{"tracks", Lines(3, 100, 47.0, 8.0, 0.001, 0.002)},
               {"tall", Lines(1, 100, -10.0, 20.0, 0.2, 0.0)},
               {"empty", TrackData{}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string svg = ExportSvg(c.data, std::string(c.name) + ".bin");
    WriteFile(dir_.File("p.svg"), svg);
    std::string out, err;
    ASSERT_EQ(RunCommand("rsvg-convert -o '" + dir_.File("p.png") + "' '" + dir_.File("p.svg") + "'",
                         &out, &err),
              0)
        << err;
    EXPECT_EQ(err, "");
    std::string png = ReadFile(dir_.File("p.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
    auto be32 = [&](size_t at) {
      return static_cast<uint32_t>(static_cast<unsigned char>(png[at])) << 24 |
             static_cast<uint32_t>(static_cast<unsigned char>(png[at + 1])) << 16 |
             static_cast<uint32_t>(static_cast<unsigned char>(png[at + 2])) << 8 |
             static_cast<uint32_t>(static_cast<unsigned char>(png[at + 3]));
    };
    EXPECT_EQ(be32(16), 800u);  // IHDR width, then height
    size_t height_at = svg.find("height=\"") + 8;
    EXPECT_EQ(be32(20), std::strtoul(svg.c_str() + height_at, nullptr, 10));
  }
}

}  // namespace
