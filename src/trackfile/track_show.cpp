#include "trackfile/track_show.h"

#include "host/text.h"

namespace {

constexpr size_t kLabelWidth = 12;  // "track 10000" and a blank

void Label(std::string* out, const std::string& label) {
  *out += label;
  out->append(label.size() < kLabelWidth ? kLabelWidth - label.size() : 1, ' ');
}

// `value` with `decimals`, right-aligned in `width`.
void Column(std::string* out, double value, int decimals, size_t width) {
  std::string text;
  AppendFixed(&text, value, decimals);
  AppendPadded(out, text, width);
}

}  // namespace

std::string FormatSummary(const TrackData& data, const std::string& path) {
  std::string out;
  Label(&out, "file");
  out += EscapeForTerminal(path) + "\n";  // the user's name, never raw controls
  Label(&out, "points");
  AppendInt(&out, static_cast<long long>(data.points.size()));
  out += "\n";
  Label(&out, "tracks");
  AppendInt(&out, static_cast<long long>(data.tracks.size()));
  out += "\n";
  for (size_t t = 0; t < data.tracks.size(); ++t) {
    const Track& track = data.tracks[t];
    std::string label = "track ";
    AppendInt(&label, static_cast<long long>(t + 1));
    Label(&out, label);
    std::string count;
    AppendInt(&count, track.count);
    AppendPadded(&out, count, 5);
    out += track.count == 1 ? " point   first " : " points  first ";
    const TrackPoint& first = data.points[static_cast<size_t>(track.first)];
    Column(&out, first.latitude, 6, 10);
    out += " ";
    Column(&out, first.longitude, 6, 11);
    out += "  length ";
    Column(&out, TrackLengthKm(data, track), 3, 9);
    out += " km\n";
  }
  Label(&out, "box");
  if (data.points.empty()) {
    out += "none\n";
    return out;
  }
  TrackBounds box = BoundsOf(data.points);
  out += "south ";
  AppendFixed(&out, box.south, 6);
  out += "  west ";
  AppendFixed(&out, box.west, 6);
  out += "  north ";
  AppendFixed(&out, box.north, 6);
  out += "  east ";
  AppendFixed(&out, box.east, 6);
  out += "\n";
  return out;
}
