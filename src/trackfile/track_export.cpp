#include "trackfile/track_export.h"

#ifndef WAYCONV_VERSION
#error "WAYCONV_VERSION comes from the CMake project version"
#endif

namespace {

constexpr int kDecimals = 9;

}  // namespace

std::string ExportGpx(const TrackData& data) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"Wayconv " WAYCONV_VERSION "\"\n"
      "     xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
      "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
      "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
      "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
  out.reserve(out.size() + data.points.size() * 56 + data.tracks.size() * 64);
  for (size_t t = 0; t < data.tracks.size(); ++t) {
    const Track& track = data.tracks[t];
    out += "  <trk>\n    <name>Track ";
    AppendInt(&out, static_cast<long long>(t + 1));
    out += "</name>\n    <trkseg>\n";
    for (int i = track.first; i < track.first + track.count; ++i) {
      const TrackPoint& p = data.points[static_cast<size_t>(i)];
      out += "      <trkpt lat=\"";
      AppendFixed(&out, p.latitude, kDecimals);
      out += "\" lon=\"";
      AppendFixed(&out, p.longitude, kDecimals);
      out += "\"/>\n";
    }
    out += "    </trkseg>\n  </trk>\n";
  }
  out += "</gpx>\n";
  return out;
}

std::string ExportCsv(const TrackData& data) {
  std::string out = "track,point,latitude,longitude\n";
  out.reserve(out.size() + data.points.size() * 36);
  for (size_t t = 0; t < data.tracks.size(); ++t) {
    const Track& track = data.tracks[t];
    for (int i = 0; i < track.count; ++i) {
      const TrackPoint& p = data.points[static_cast<size_t>(track.first + i)];
      AppendInt(&out, static_cast<long long>(t + 1));
      out += ',';
      AppendInt(&out, i + 1);
      out += ',';
      AppendFixed(&out, p.latitude, kDecimals);
      out += ',';
      AppendFixed(&out, p.longitude, kDecimals);
      out += '\n';
    }
  }
  return out;
}
