#include "trackfile/track_data.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "conversion/track_file.h"
#include "host/file_stream.h"
#include "host/text.h"

namespace {

constexpr double kPi = 3.141592653589793;

// How the user's path reads in a message: as given, and for a device path
// also the host file it stands for.
std::string Shown(const std::string& path, const std::string& host) {
  if (!path.empty() && path[0] == '\\') return path + " (" + host + ")";
  return path;
}

std::string SizeReason(const std::string& shown, long long size) {
  std::string reason = shown + " is ";
  AppendInt(&reason, size);
  reason += " bytes; a track file is ";
  AppendInt(&reason, static_cast<long long>(kTrackFileSize));
  return reason;
}

}  // namespace

void DecodeTrackImage(const unsigned char* image, int count, TrackData* data) {
  data->points.assign(static_cast<size_t>(count), TrackPoint{});
  data->tracks.clear();
  for (int i = 0; i < count; ++i) {
    int start = DecodeSlot(image, i, &data->points[static_cast<size_t>(i)]);
    if (start || i == 0) data->tracks.push_back(Track{i, 0});
    ++data->tracks.back().count;
  }
}

int LoadTrackFile(const std::string& path, TrackData* data, std::string* reason) {
  std::u16string wide = Utf8ToUtf16(path);
  std::string host = HostPath(wide.c_str());
  std::string shown = Shown(path, host);
  // The stream says only that an open failed; ask the system first, for the
  // reason and the size.
  struct stat st;
  if (path.empty() || stat(host.c_str(), &st) != 0) {
    *reason = "cannot open " + shown + ": " + std::strerror(path.empty() ? ENOENT : errno) +
              "; give the path of a track file";
    return kTrackFileExitBadInput;
  }
  if (!S_ISREG(st.st_mode)) {
    *reason = shown + " is not a regular file; give the path of a track file";
    return kTrackFileExitBadInput;
  }
  if (st.st_size != static_cast<off_t>(kTrackFileSize)) {
    *reason = SizeReason(shown, static_cast<long long>(st.st_size));
    return kTrackFileExitBadInput;
  }
  errno = 0;
  ByteStream* in = StreamOpen(wide.c_str(), "rb");
  if (in == nullptr) {
    *reason = "cannot open " + shown + ": " + std::strerror(errno != 0 ? errno : EIO);
    return kTrackFileExitBadInput;
  }
  // One byte more than a track file holds, to notice a file that grew.
  std::vector<unsigned char> image(kTrackFileSize + 1);
  size_t got = StreamRead(image.data(), 1, image.size(), in);
  bool failed = in->failed;
  StreamClose(in);
  if (failed) {
    *reason = "cannot read " + shown + ": " + std::strerror(EIO);
    return kTrackFileExitBadInput;
  }
  if (got != kTrackFileSize) {
    *reason = SizeReason(shown, static_cast<long long>(got));
    return kTrackFileExitBadInput;
  }
  int32_t count = ImagePointCount(image.data());
  if (count < 0 || count > kSlotCount) {
    *reason = shown + " holds a point count of ";
    AppendInt(reason, count);
    *reason += "; a track file holds 0 to 10000 points";
    return kTrackFileExitBadInput;
  }
  DecodeTrackImage(image.data(), count, data);
  return kTrackFileExitOk;
}

double DistanceKm(const TrackPoint& a, const TrackPoint& b) {
  const double to_radians = kPi / 180.0;
  double lat1 = a.latitude * to_radians;
  double lat2 = b.latitude * to_radians;
  double half_dlat = std::sin((lat2 - lat1) * 0.5);
  double half_dlon = std::sin((b.longitude - a.longitude) * to_radians * 0.5);
  double h = half_dlat * half_dlat + std::cos(lat1) * std::cos(lat2) * half_dlon * half_dlon;
  if (h > 1.0) h = 1.0;  // rounding near the antipode
  return 2.0 * kEarthRadiusKm * std::asin(std::sqrt(h));
}

double TrackLengthKm(const TrackData& data, const Track& track) {
  double km = 0.0;
  for (int i = track.first + 1; i < track.first + track.count; ++i) {
    km += DistanceKm(data.points[static_cast<size_t>(i - 1)], data.points[static_cast<size_t>(i)]);
  }
  return km;
}

TrackBounds BoundsOf(const std::vector<TrackPoint>& points) {
  TrackBounds bounds;
  if (points.empty()) return bounds;
  bounds = {points[0].latitude, points[0].longitude, points[0].latitude, points[0].longitude};
  for (const TrackPoint& p : points) {
    bounds.south = std::fmin(bounds.south, p.latitude);
    bounds.north = std::fmax(bounds.north, p.latitude);
    bounds.west = std::fmin(bounds.west, p.longitude);
    bounds.east = std::fmax(bounds.east, p.longitude);
  }
  return bounds;
}

void AppendFixed(std::string* out, double value, int decimals) {
  char text[400];
  value += 0.0;  // no "-0"
  auto printed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (printed.ec != std::errc()) {
    *out += "nan";
    return;
  }
  // A value that rounds to zero prints without its sign.
  bool all_zero = true;
  for (const char* p = text; p < printed.ptr; ++p) {
    if (*p >= '1' && *p <= '9') all_zero = false;
  }
  out->append(text[0] == '-' && all_zero ? text + 1 : text, printed.ptr);
}

void AppendInt(std::string* out, long long value) {
  char text[24];
  auto printed = std::to_chars(text, text + sizeof text, value);
  out->append(text, printed.ptr);
}

void AppendPadded(std::string* out, const std::string& text, size_t width) {
  if (text.size() < width) out->append(width - text.size(), ' ');
  *out += text;
}

std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  std::string base = cut == std::string::npos ? path : path.substr(cut + 1);
  return base.empty() ? path : base;
}
