#include "conversion/shape_thinning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/globals.h"
#include "conversion/conversion_run.h"
#include "conversion/track_file.h"
#include "test_util.h"

namespace {

using Points = std::vector<std::pair<double, double>>;

// Tracks whose corners even thinning cuts. Coordinates at 7 decimals, as
// the PLT file holds them.
double At7(double degrees) { return std::round(degrees * 1e7) / 1e7; }

// Zigzag: legs of three 10 m steps, turning 90 degrees at every third point.
Points Zigzag(int count) {
  Points points;
  for (int i = 0; i < count; ++i) {
    int leg = i / 3, step = i % 3;
    double north = leg % 2 == 0 ? step : 3 - step;
    points.push_back({At7(45.0 + north * 0.00009), At7(7.0 + i * 0.00013)});
  }
  return points;
}

// Switchbacks up a slope: 40 points east, a hairpin 20 m north, 40 points
// west, with a gap of 3 km now and then.
Points Switchbacks(int count) {
  Points points;
  double gap = 0.0;
  for (int i = 0; i < count; ++i) {
    int leg = i / 40, step = i % 40;
    if (i > 0 && i % 5000 == 0) gap += 0.03;
    double east = leg % 2 == 0 ? step : 39 - step;
    points.push_back({At7(46.0 + gap + leg * 0.00018), At7(9.0 + east * 0.00013)});
  }
  return points;
}

std::vector<TrackPoint> AsTrackPoints(const Points& points) {
  std::vector<TrackPoint> out;
  for (const auto& [lat, lon] : points) out.push_back({lat, lon});
  return out;
}

class ShapeThinningTest : public WayconvTest {
 protected:
  std::string input_ = dir_.File("track.plt");
  std::string output_ = dir_.File("Tracks.bin");

  // Converts `points` thinned by shape or evenly; the output file's bytes.
  std::string Convert(const Points& points, int shape, int split = 1) {
    ResetAllForTest();
    WriteFile(input_, PltFile(points));
    PrepareRun(input_, kInputPlt, output_);
    ThinShape = shape;
    DoSplit = split;
    EXPECT_EQ(ConvertTrack(), kConvertOk);
    return ReadFile(output_);
  }
};

// Which of `points` a track file stored, matched in order by their words.
std::vector<int64_t> StoredIndexes(const Points& points, const std::string& image) {
  std::vector<int64_t> stored;
  size_t j = 0;
  for (uint32_t slot = 0; slot < WordAt(image, 0); ++slot) {
    uint32_t lon = WordAt(image, 8 + 8 * slot);
    uint32_t lat = WordAt(image, 12 + 8 * slot) & ~kTrackStartFlag;
    while (j < points.size() && (LongitudeWord(points[j].second) != lon ||
                                 LatitudeWord(points[j].first) != lat)) {
      ++j;
    }
    if (j == points.size()) return {};  // not a subsequence
    stored.push_back(static_cast<int64_t>(j++));
  }
  return stored;
}

// The largest distance of a dropped point from the stored segment around it.
double LargestError(const Points& points, const std::vector<int64_t>& kept) {
  std::vector<TrackPoint> all = AsTrackPoints(points);
  double worst = 0.0;
  for (size_t k = 0; k + 1 < kept.size(); ++k) {
    for (int64_t j = kept[k] + 1; j < kept[k + 1]; ++j) {
      worst = std::fmax(worst, std::sqrt(ShapeSegmentDistance2(all[kept[k]], all[kept[k + 1]],
                                                                all[j])));
    }
  }
  return worst;
}

TEST_F(ShapeThinningTest, KeepsRulePointsAndHalvesEvenThinningsError) {
  struct Case {
    const char* name;
    Points points;
  } cases[] = {{"zigzag", Zigzag(15000)}, {"switchbacks", Switchbacks(25000)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int64_t> even = StoredIndexes(c.points, Convert(c.points, 0));
    std::string image = Convert(c.points, 1);
    std::vector<int64_t> shape = StoredIndexes(c.points, image);
    ASSERT_EQ(shape.size(), 9996u);
    EXPECT_EQ(shape.front(), 0);
    EXPECT_EQ(static_cast<size_t>(shape.back()), c.points.size() - 1);
    // Both ends of every break are stored, and each starts its track.
    std::vector<TrackPoint> all = AsTrackPoints(c.points);
    int breaks = 0;
    for (size_t j = 1; j < all.size(); ++j) {
      if (!IsTrackBreak(all[j - 1], all[j], kTrackBreakMeters)) continue;
      ++breaks;
      auto at = std::find(shape.begin(), shape.end(), static_cast<int64_t>(j));
      ASSERT_NE(at, shape.end()) << j;
      ASSERT_EQ(*(at - 1), static_cast<int64_t>(j - 1));
      EXPECT_NE(WordAt(image, 12 + 8 * (at - shape.begin())) & kTrackStartFlag, 0u) << j;
    }
    EXPECT_EQ(TrackCounter, breaks + 1);
    double even_error = LargestError(c.points, even);
    double shape_error = LargestError(c.points, shape);
    EXPECT_GT(even_error, 5.0);
    EXPECT_LE(shape_error, even_error / 2) << even_error;
    // The same points whether or not breaks start tracks.
    EXPECT_EQ(StoredIndexes(c.points, Convert(c.points, 1, 0)), shape);
  }
}

// A GPX file with one track point is read again as its route: what the
// first reading collected must not stay among the points chosen from.
TEST_F(ShapeThinningTest, AFallbackReadingIsCollectedAfresh) {
  Points points = Switchbacks(12000);
  std::string gpx = "<gpx><trk><trkseg><trkpt lat=\"-40\" lon=\"100\"/></trkseg></trk><rte>";
  char point[80];
  for (const auto& [lat, lon] : points) {
    std::snprintf(point, sizeof point, "<rtept lat=\"%.7f\" lon=\"%.7f\"/>", lat, lon);
    gpx += point;
  }
  WriteFile(input_, gpx + "</rte></gpx>");
  PrepareRun(input_, kInputGpx, output_);
  ThinShape = 1;
  ASSERT_EQ(ConvertTrack(), kConvertOk);
  std::vector<int64_t> stored = StoredIndexes(points, ReadFile(output_));
  ASSERT_EQ(stored.size(), 9996u);
  EXPECT_EQ(stored.back(), 11999);
}

TEST_F(ShapeThinningTest, UpToTheCapacityTheFileIsEvenThinnings) {
  for (int count : {2, 3, 9995, 9996}) {
    Points points = Zigzag(count);
    EXPECT_EQ(Convert(points, 1), Convert(points, 0)) << count;
  }
}

TEST_F(ShapeThinningTest, CollectorChoosesAsTheWholeSequenceWould) {
  // Three inputs of switchbacks with gaps, collected as the counting passes
  // do; the second is read twice, as when a reading finds too few points.
  std::vector<TrackPoint> all = AsTrackPoints(Switchbacks(12000));
  const std::vector<int64_t> starts = {0, 3001, 7000};
  struct Case {
    int working_set, capacity;
  } cases[] = {{kShapeWorkingSet, 2000}, {kShapeWorkingSet, 11999}, {600, 300}, {64, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.working_set);
    ShapeCollectBegin(c.working_set);
    for (size_t j = 0; j < all.size(); ++j) {
      if (std::find(starts.begin(), starts.end(), static_cast<int64_t>(j)) != starts.end()) {
        ShapeCollectInputStart();
        if (j == 3001) {
          ShapeCollectPoint({-40.0, 100.0});
          ShapeCollectInputAgain();
        }
      }
      ShapeCollectPoint(all[j]);
    }
    ASSERT_EQ(ShapeSelect(c.capacity), c.capacity);
    EXPECT_EQ(ShapeInputStarts(), starts);
    std::vector<int64_t> chosen = ShapeChosen();
    EXPECT_TRUE(std::is_sorted(chosen.begin(), chosen.end()));
    std::vector<ShapeCandidate> whole = ShapeCandidates(all, starts);
    int64_t rules = 0;
    for (const ShapeCandidate& candidate : whole) {
      if (candidate.rule < 0) continue;
      ++rules;
      bool kept = std::binary_search(chosen.begin(), chosen.end(), candidate.index);
      // Every rule point while they fit; else an even spread of them.
      if (rules <= c.capacity) {
        EXPECT_TRUE(kept) << candidate.index;
      }
    }
    if (c.working_set == kShapeWorkingSet) {
      std::vector<int64_t> expected;
      for (int position : ChooseShapePoints(whole, c.capacity)) expected.push_back(position);
      EXPECT_EQ(chosen, expected);
    }
    for (int64_t j = 0; j < 12000; ++j) {
      EXPECT_EQ(ShapeKeeps(j), std::binary_search(chosen.begin(), chosen.end(), j) ? 1 : 0);
    }
  }
}

TEST_F(ShapeThinningTest, ManyRulePointsAreSpreadEvenly) {
  // Every step is a break: all points are rule points.
  std::vector<TrackPoint> points;
  for (int i = 0; i < 1000; ++i) points.push_back({i * 0.02, 1.0});
  std::vector<int> chosen = ChooseShapePoints(ShapeCandidates(points, {0}), 4);
  EXPECT_EQ(chosen, (std::vector<int>{0, 333, 666, 999}));
}

TEST_F(ShapeThinningTest, CornersStayAndOddPointsDoNotBreakTheOrder) {
  const double nan = std::nan("");
  struct Case {
    const char* name;
    std::vector<TrackPoint> points;
    int capacity;
    std::vector<int> chosen;
  } cases[] = {
      // The square's corner 2 costs more to drop than the midpoints 1 and 3.
      {"corner", {{0, 0}, {0, 0.0005}, {0, 0.001}, {0.0005, 0.001}, {0.001, 0.001}}, 3, {0, 2, 4}},
      // Standing still: all cost nothing, the earliest goes first.
      {"standing", {{1, 1}, {1, 1}, {1, 1}, {1, 1}}, 3, {0, 2, 3}},
      // A segment with an end that is not a number costs without bound, and
      // of equal costs the earlier point goes.
      {"not a number", {{0, 0}, {nan, 0}, {0, 0.0001}, {0, 0.0002}}, 3, {0, 2, 3}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseShapePoints(ShapeCandidates(c.points, {0}), c.capacity), c.chosen) << c.name;
  }
}

}  // namespace
