#include "trackfile/track_svg.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kKmPerDegree = kEarthRadiusKm * kPi / 180.0;

// Room around the tracks: the title line above, the scale bar below.
constexpr double kLeft = 32.0;
constexpr double kTop = 56.0;
constexpr double kBottom = 56.0;
constexpr double kPlotWidth = kSvgWidth - 2 * kLeft;
constexpr double kMinPlotHeight = kSvgMinHeight - kTop - kBottom;
constexpr double kMaxPlotHeight = kSvgMaxHeight - kTop - kBottom;
constexpr double kMinSpanKm = 0.1;  // points all in one place still get a scale
constexpr size_t kMaxNameBytes = 48;
constexpr size_t kMaxNumberedTracks = 12;  // more numbers would hide the tracks

// Distinct for the common forms of colour blindness, and dark enough on white.
const char* const kPalette[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                "#E69F00", "#56B4E9", "#000000"};
constexpr size_t kPaletteSize = sizeof kPalette / sizeof kPalette[0];
// Past the palette the colours come round again, each round with its own
// line: solid, dashed, dotted, dash-dot. The round caps lengthen each dash
// by the line's width, so the gaps are wider than they look here.
const char* const kDashes[] = {"", "8 6", "1 5", "10 5 1 5"};
constexpr size_t kDashCount = sizeof kDashes / sizeof kDashes[0];

// Where the degrees go on the picture.
struct Frame {
  double west = 0.0, north = 0.0;  // degrees at x0, y0
  double lon_km = 0.0;             // km per degree of longitude
  double scale = 1.0;              // px per km
  double x0 = 0.0, y0 = 0.0;
};

double X(const Frame& f, double longitude) {
  return f.x0 + (longitude - f.west) * f.lon_km * f.scale;
}
double Y(const Frame& f, double latitude) {
  return f.y0 + (f.north - latitude) * kKmPerDegree * f.scale;
}

// A picture coordinate, one decimal is a tenth of a pixel.
void Px(std::string* out, double value) { AppendFixed(out, value, 1); }

void Attribute(std::string* out, const char* name, double value) {
  *out += ' ';
  *out += name;
  *out += "=\"";
  Px(out, value);
  *out += '"';
}

void Text(std::string* out, double x, double y, const char* extra, const std::string& text) {
  *out += "<text";
  Attribute(out, "x", x);
  Attribute(out, "y", y);
  *out += extra;
  *out += '>';
  AppendXmlText(out, text);
  *out += "</text>\n";
}

void Dot(std::string* out, double x, double y, const char* colour) {
  *out += "<circle";
  Attribute(out, "cx", x);
  Attribute(out, "cy", y);
  *out += " r=\"5\" fill=\"";
  *out += colour;
  *out += "\"/>\n";
}

// "48 points in 2 tracks", singular where it is one.
std::string Counts(size_t points, size_t tracks) {
  std::string text;
  AppendInt(&text, static_cast<long long>(points));
  text += points == 1 ? " point in " : " points in ";
  AppendInt(&text, static_cast<long long>(tracks));
  text += tracks == 1 ? " track" : " tracks";
  return text;
}

// The file's name, cut to fit the title line (at a character boundary).
std::string ShortName(const std::string& path) {
  std::string name = BaseName(path);
  if (name.size() <= kMaxNameBytes) return name;
  size_t cut = kMaxNameBytes;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut) + "\xE2\x80\xA6";  // an ellipsis
}

void Header(std::string* out, int height, const std::string& path, const TrackData& data) {
  std::string title = ShortName(path) + ": " + Counts(data.points.size(), data.tracks.size());
  std::string h;
  AppendInt(&h, height);
  *out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"800\" height=\"" + h +
          "\" viewBox=\"0 0 800 " + h +
          "\" font-family=\"sans-serif\" font-size=\"14\">\n<title>";
  AppendXmlText(out, title);
  *out += "</title>\n<rect width=\"800\" height=\"" + h + "\" fill=\"#FFFFFF\"/>\n";
  Text(out, 24, 30, " font-size=\"16\"", title);
  // North is up: an arrow at the top right.
  *out += "<path d=\"M770 10 l7 18 l-7 -5 l-7 5 z\" fill=\"#000000\"/>\n";
  Text(out, 756, 28, " text-anchor=\"end\"", "N");
}

// A bar of 1, 2 or 5 times a power of ten km, at most a quarter of the width.
void ScaleBar(std::string* out, const Frame& f, int height) {
  double target = kPlotWidth / 4 / f.scale;
  int exponent = static_cast<int>(std::floor(std::log10(target)));
  double unit = exponent >= 0 ? std::pow(10.0, exponent) : 1.0 / std::pow(10.0, -exponent);
  double leading = target / unit >= 5 ? 5 : target / unit >= 2 ? 2 : 1;
  double km = leading * unit;
  double x1 = kLeft + km * f.scale;
  double y = height - 20.0;
  *out += "<path d=\"M";
  Px(out, kLeft);
  *out += ' ';
  Px(out, y - 6);
  *out += " V";
  Px(out, y);
  *out += " H";
  Px(out, x1);
  *out += " V";
  Px(out, y - 6);
  *out += "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"2\"/>\n";
  // Under a kilometre the bar reads in whole metres ("20 m", not "0.02 km").
  std::string label;
  if (km < 1) {
    AppendFixed(&label, km * 1000, 0);
    label += " m";
  } else {
    AppendFixed(&label, km, 0);
    label += " km";
  }
  Text(out, x1 + 8, y + 1, "", label);
}

// Fits the tracks into the width and at most the greatest height, centred.
Frame FitFrame(const TrackData& data, int* height) {
  TrackBounds box = BoundsOf(data.points);
  Frame f;
  f.west = box.west;
  f.north = box.north;
  f.lon_km = std::cos((box.south + box.north) * 0.5 * kPi / 180.0) * kKmPerDegree;
  if (f.lon_km < 0) f.lon_km = 0;
  double span_x = (box.east - box.west) * f.lon_km;
  double span_y = (box.north - box.south) * kKmPerDegree;
  double fit = std::fmax(std::fmax(span_x, span_y * kPlotWidth / kMaxPlotHeight), kMinSpanKm);
  f.scale = kPlotWidth / fit;
  double plot_height = std::fmax(span_y * f.scale, kMinPlotHeight);
  f.x0 = kLeft + (kPlotWidth - span_x * f.scale) / 2;
  f.y0 = kTop + (plot_height - span_y * f.scale) / 2;
  // Rounding may leave the tallest plots a hair over the limit.
  *height = static_cast<int>(std::fmin(std::ceil(kTop + plot_height + kBottom), kSvgMaxHeight));
  return f;
}

}  // namespace

void AppendXmlText(std::string* out, const std::string& text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = s[i];
    if (c < 0x80) {
      switch (c) {
        case '&': *out += "&amp;"; break;
        case '<': *out += "&lt;"; break;
        case '>': *out += "&gt;"; break;
        case '"': *out += "&quot;"; break;
        case '\'': *out += "&apos;"; break;
        default:
          if (c < 0x20 || c == 0x7F) {
            *out += "\xEF\xBF\xBD";
          } else {
            *out += static_cast<char>(c);
          }
      }
      ++i;
      continue;
    }
    // The length of a well-formed sequence, and the range of its second byte
    // (which rules out overlong forms, surrogates and values past U+10FFFF).
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    }
    bool valid = length > 0 && i + length <= n && s[i + 1] >= low && s[i + 1] <= high;
    for (size_t k = 2; valid && k < length; ++k) valid = (s[i + k] & 0xC0) == 0x80;
    if (!valid) {
      *out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    // U+FFFE and U+FFFF are well-formed but not characters in XML.
    if (length == 3 && c == 0xEF && s[i + 1] == 0xBF && s[i + 2] >= 0xBE) {
      *out += "\xEF\xBF\xBD";
    } else {
      out->append(text, i, length);
    }
    i += length;
  }
}

std::string ExportSvg(const TrackData& data, const std::string& path) {
  std::string out;
  if (data.points.size() < 2) {
    Header(&out, kSvgMinHeight, path, data);
    double middle = kTop + kMinPlotHeight / 2;
    if (data.points.empty()) {
      Text(&out, kSvgWidth / 2, middle + 5, " text-anchor=\"middle\"", "No points in this file");
    } else {
      const TrackPoint& p = data.points[0];
      std::string where = "One point only, at ";
      AppendFixed(&where, p.latitude, 6);
      where += ", ";
      AppendFixed(&where, p.longitude, 6);
      Dot(&out, kSvgWidth / 2, middle - 12, kPalette[0]);
      Text(&out, kSvgWidth / 2, middle + 20, " text-anchor=\"middle\"", where);
    }
    out += "</svg>\n";
    return out;
  }

  int height = kSvgMinHeight;
  Frame f = FitFrame(data, &height);
  Header(&out, height, path, data);
  out.reserve(out.size() + data.points.size() * 12 + data.tracks.size() * 160);
  out += "<g fill=\"none\" stroke-width=\"2\" stroke-linejoin=\"round\" "
         "stroke-linecap=\"round\">\n";
  for (size_t t = 0; t < data.tracks.size(); ++t) {
    const Track& track = data.tracks[t];
    out += "<polyline stroke=\"";
    out += kPalette[t % kPaletteSize];
    const char* dashes = kDashes[t / kPaletteSize % kDashCount];
    if (dashes[0] != 0) {
      out += "\" stroke-dasharray=\"";
      out += dashes;
    }
    out += "\" points=\"";
    for (int i = track.first; i < track.first + track.count; ++i) {
      const TrackPoint& p = data.points[static_cast<size_t>(i)];
      if (i > track.first) out += ' ';
      Px(&out, X(f, p.longitude));
      out += ',';
      Px(&out, Y(f, p.latitude));
    }
    out += "\"><title>Track ";
    AppendInt(&out, static_cast<long long>(t + 1));
    out += ": ";
    AppendInt(&out, track.count);
    out += track.count == 1 ? " point, " : " points, ";
    AppendFixed(&out, TrackLengthKm(data, track), 3);
    out += " km</title></polyline>\n";
  }
  out += "</g>\n<g stroke=\"#FFFFFF\" stroke-width=\"1.5\">\n";
  for (size_t t = 0; t < data.tracks.size(); ++t) {
    const TrackPoint& p = data.points[static_cast<size_t>(data.tracks[t].first)];
    Dot(&out, X(f, p.longitude), Y(f, p.latitude), kPalette[t % kPaletteSize]);
  }
  out += "</g>\n";
  if (data.tracks.size() <= kMaxNumberedTracks) {
    for (size_t t = 0; t < data.tracks.size(); ++t) {
      const TrackPoint& p = data.points[static_cast<size_t>(data.tracks[t].first)];
      double x = X(f, p.longitude);
      bool left = x > kSvgWidth - 3 * kLeft;  // keep the number inside the picture
      std::string number;
      AppendInt(&number, static_cast<long long>(t + 1));
      std::string style = std::string(" font-weight=\"bold\" fill=\"") +
                          kPalette[t % kPaletteSize] + "\"" +
                          (left ? " text-anchor=\"end\"" : "");
      Text(&out, left ? x - 9 : x + 9, Y(f, p.latitude) + 5, style.c_str(), number);
    }
  }
  ScaleBar(&out, f, height);
  out += "</svg>\n";
  return out;
}
