// How far the shape thinning's bounded working set takes it from choosing
// among all points: for recordings of the given sizes (a deterministic walk
// with turns, hairpins and a gap now and then), the largest and mean error of
// the dropped points, in metres, chosen with the default working set and
// with one that holds every point, and the seconds each choice took.
//   wayconv_shape_working_set [POINTS...]     (default 400000 1000000)
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "conversion/shape_thinning.h"
#include "conversion/track_file.h"

namespace {

std::vector<TrackPoint> Walk(int64_t count) {
  std::vector<TrackPoint> points;
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  auto uniform = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state >> 11) / 9007199254740992.0;  // [0, 1)
  };
  double lat = 46.5, lon = 8.0, heading = 0.0;
  for (int64_t i = 0; i < count; ++i) {
    double turn = uniform();
    if (turn < 0.01) {
      heading += 3.0;  // a hairpin
    } else if (turn < 0.04) {
      heading += uniform() * 2.0 - 1.0;
    } else {
      heading += (uniform() - 0.5) * 0.2;
    }
    double meters = uniform() < 0.0005 ? 1500.0 : 8.0 + uniform() * 4.0;
    lat += meters * std::cos(heading) / kMetersPerDegreeLatitude;
    lon += meters * std::sin(heading) / (kMetersPerDegreeLatitude * std::cos(lat * M_PI / 180));
    if (lat > 60.0 || lat < 30.0) lat = 46.5;
    points.push_back({lat, lon});
  }
  return points;
}

struct Outcome {
  double worst = 0.0, mean = 0.0, seconds = 0.0;
};

Outcome Choose(const std::vector<TrackPoint>& points, int working_set) {
  std::clock_t start = std::clock();
  ShapeCollectBegin(working_set);
  ShapeCollectInputStart();
  for (const TrackPoint& point : points) ShapeCollectPoint(point);
  ShapeSelect(kMaxStoredPoints);
  Outcome outcome;
  outcome.seconds =
      static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  const std::vector<int64_t>& kept = ShapeChosen();
  double total = 0.0;
  int64_t dropped = 0;
  for (size_t k = 0; k + 1 < kept.size(); ++k) {
    for (int64_t j = kept[k] + 1; j < kept[k + 1]; ++j) {
      double e = std::sqrt(ShapeSegmentDistance2(points[kept[k]], points[kept[k + 1]], points[j]));
      outcome.worst = std::fmax(outcome.worst, e);
      total += e;
      ++dropped;
    }
  }
  outcome.mean = dropped > 0 ? total / static_cast<double>(dropped) : 0.0;
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int64_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoll(argv[i], nullptr, 10));
  if (sizes.empty()) sizes = {400000, 1000000};
  std::printf("%9s  %10s %10s %8s  %10s %10s %8s\n", "points", "set max", "set mean", "set s",
              "all max", "all mean", "all s");
  for (int64_t size : sizes) {
    if (size < 2 || size > 100000000) {
      std::fprintf(stderr, "wayconv: give sizes from 2 to 100000000 points\n");
      return 64;
    }
    std::vector<TrackPoint> points = Walk(size);
    Outcome bounded = Choose(points, kShapeWorkingSet);
    Outcome whole = Choose(points, static_cast<int>(size) + 1);
    std::printf("%9lld  %10.3f %10.3f %8.2f  %10.3f %10.3f %8.2f\n",
                static_cast<long long>(size), bounded.worst, bounded.mean, bounded.seconds,
                whole.worst, whole.mean, whole.seconds);
  }
  return 0;
}
