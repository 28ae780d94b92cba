// Several inputs converted into one track file: the log, the track numbers
// and starts across inputs, the thinning of all inputs as one sequence, and a
// failing input that stops the run before anything is written.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "conversion/shape_thinning.h"
#include "conversion/track_file.h"
#include "host/text.h"
#include "test_util.h"

namespace {

using Points = std::vector<std::pair<double, double>>;

// Points 1.1 m apart along the meridian `lon`, from index `first`: point i
// has latitude i * 0.00001.
Points Walk(int first, int count, double lon) {
  Points points;
  for (int i = first; i < first + count; ++i) points.push_back({i * 0.00001, lon});
  return points;
}

// A GN talker's RMC fix at `time`, which only the fallback reading takes.
std::string GnRmc(const char* time, const char* minutes) {
  std::string body = std::string("GNRMC,") + time + ",A,48" + minutes +
                     ",N,01131.000,E,0.1,0.0,140523,,,A";
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return "$" + body + tail;
}

struct Stored {
  int walk_index;  // latitude / 0.00001
  double lon;
  bool starts_track;
};

class SeveralInputsTest : public WayconvTest {
 protected:
  std::string output_ = dir_.File("Tracks.bin");
  std::vector<std::string> paths_;
  std::vector<std::u16string> wide_;

  // Writes each body to its own file (or takes an existing path) and
  // converts them all, in order.
  int Convert(const std::vector<std::pair<std::string, std::string>>& files, int kind = kInputPlt) {
    paths_.clear();
    wide_.clear();
    for (const auto& [name, bytes] : files) {
      paths_.push_back(dir_.File(name));
      if (!bytes.empty()) WriteFile(paths_.back(), bytes);
    }
    std::vector<RunInput> inputs;
    for (const std::string& path : paths_) wide_.push_back(W(path));
    for (const std::u16string& path : wide_) inputs.push_back(RunInput{path.c_str(), kind, nullptr});
    CopyWide(OutputPath, kOutputPathSize, W(output_));
    return ConvertTracks(inputs.data(), static_cast<int>(inputs.size()));
  }

  std::string Line(size_t i) { return "Input file: " + paths_[i] + "\r\n"; }
  std::string Report() { return "OK!\r\n\r\nOutput file: " + output_ + "\r\n"; }

  std::vector<Stored> StoredPoints() {
    std::string image = ReadFile(output_);
    std::vector<Stored> points;
    for (uint32_t i = 0; i < WordAt(image, 0); ++i) {
      uint32_t lat = WordAt(image, 12 + 8 * i);
      int32_t value = static_cast<int32_t>(lat << 1) >> 1;
      double lon = static_cast<int32_t>(WordAt(image, 8 + 8 * i)) * kDegreesPerSemicircle;
      points.push_back({static_cast<int>(std::lround(value * kDegreesPerSemicircle / 0.00001)),
                        std::round(lon * 1000) / 1000, (lat & kTrackStartFlag) != 0});
    }
    return points;
  }

  // The slots that start a track.
  std::vector<int> TrackStarts() {
    std::vector<int> starts;
    std::vector<Stored> points = StoredPoints();
    for (size_t i = 0; i < points.size(); ++i) {
      if (points[i].starts_track) starts.push_back(static_cast<int>(i));
    }
    return starts;
  }
};

TEST_F(SeveralInputsTest, LogAndTrackNumbersRunAcrossInputs) {
  // The second input has a gap of its own; splitting is on.
  ASSERT_EQ(Convert({{"a.plt", PltFile({{1.0, 2.0}, {1.0001, 2.0}})},
                     {"b.plt", PltFile({{3.0, 4.0}, {3.0001, 4.0}, {3.5, 4.0}})}}),
            kConvertOk);
  EXPECT_EQ(LogText(), Line(0) + Line(1) +
                           "Track 1 at 1.000000 , 2.000000 \r\n"
                           "Track 2 at 3.000000 , 4.000000 \r\n"
                           "Track 3 at 3.500000 , 4.000000 \r\n" +
                           Report());
  EXPECT_EQ(InputPointCounts, (std::vector<int>{2, 3}));
  EXPECT_EQ(TrackStarts(), (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(InputStream, nullptr);
  // The run leaves the last input as the current one.
  EXPECT_EQ(InputPath, W(paths_[1]));
}

TEST_F(SeveralInputsTest, EveryInputStartsATrackWhateverTheSplitting) {
  // The second input begins where the first ended, 0 m away.
  Points first = {{1.0, 2.0}, {1.0001, 2.0}};
  Points second = {{1.0001, 2.0}, {1.0002, 2.0}, {1.5, 2.0}};
  for (int split : {0, 1}) {
    ResetAllForTest();
    DoSplit = split;
    ASSERT_EQ(Convert({{"a.plt", PltFile(first)}, {"b.plt", PltFile(second)}}), kConvertOk);
    std::vector<int> expected = {0, 2};
    if (split) expected.push_back(4);
    EXPECT_EQ(TrackStarts(), expected) << "split " << split;
    EXPECT_NE(LogText().find("Track 2 at 1.000100 , 2.000000 \r\n"), std::string::npos);
  }

  // The same path twice is read twice.
  ResetAllForTest();
  ASSERT_EQ(Convert({{"a.plt", PltFile(first)}, {"a.plt", ""}}), kConvertOk);
  EXPECT_EQ(StoredPoints().size(), 4u);
  EXPECT_EQ(TrackStarts(), (std::vector<int>{0, 2}));
  EXPECT_EQ(LogText().substr(0, 2 * Line(0).size()), Line(0) + Line(0));
}

TEST_F(SeveralInputsTest, ThinningTreatsTheInputsAsOneRecording) {
  // 6000 + 6000 points are thinned as the 12000 of one walk: stride 1, so the
  // first 2004 odd points are skipped, over the boundary at 6000 as well.
  struct Case {
    int first_count;
    int total;
  } cases[] = {{6000, 12000}, {4001, 12000}, {100, 19993}, {19000, 20001}};
  for (const Case& c : cases) {
    ResetAllForTest();
    DoSplit = 0;
    Points whole = Walk(0, c.total, 8.0);
    ASSERT_EQ(Convert({{"whole.plt", PltFile(whole)}}), kConvertOk);
    std::vector<Stored> one = StoredPoints();

    ResetAllForTest();
    DoSplit = 0;
    ASSERT_EQ(Convert({{"a.plt", PltFile(Walk(0, c.first_count, 8.0))},
                       {"b.plt", PltFile(Walk(c.first_count, c.total - c.first_count, 8.0))}}),
              kConvertOk);
    std::vector<Stored> two = StoredPoints();
    ASSERT_EQ(two.size(), one.size()) << c.first_count;
    size_t second_start = 0;
    for (size_t i = 0; i < one.size(); ++i) {
      EXPECT_EQ(two[i].walk_index, one[i].walk_index) << c.first_count << " slot " << i;
      if (second_start == 0 && two[i].walk_index >= c.first_count) second_start = i;
    }
    // The second input's first stored point starts a track, even when its
    // first point was skipped.
    EXPECT_EQ(TrackStarts(), (std::vector<int>{0, static_cast<int>(second_start)}))
        << c.first_count;
  }
}

TEST_F(SeveralInputsTest, AnInputThinnedAwayPassesItsTrackStartOn) {
  // 19993 points: stride 2, the points 0, 3, 6, ... 14994 are stored. The middle
  // input's two points are 10000 and 10001, both skipped; the third input's
  // first point, 10002, is stored and starts the one track after them.
  DoSplit = 0;
  ASSERT_EQ(Convert({{"a.plt", PltFile(Walk(0, 10000, 8.0))},
                     {"b.plt", PltFile(Walk(10000, 2, 9.0))},
                     {"c.plt", PltFile(Walk(10002, 9991, 10.0))}}),
            kConvertOk);
  std::vector<Stored> points = StoredPoints();
  ASSERT_EQ(points.size(), 9996u);
  EXPECT_EQ(TrackStarts(), (std::vector<int>{0, 3334}));
  EXPECT_EQ(points[3333].walk_index, 9999);
  EXPECT_EQ(points[3334].walk_index, 10002);
  EXPECT_EQ(points[3334].lon, 10.0);
  for (const Stored& p : points) EXPECT_NE(p.lon, 9.0);
  std::string log = LogText();
  EXPECT_EQ(log.find("Track 3"), std::string::npos) << log;
  EXPECT_NE(log.find("Track 2 at 0.100020 , 10.000000 \r\n"), std::string::npos) << log;
}

TEST_F(SeveralInputsTest, AFailingInputStopsTheRunAndKeepsTheOldOutput) {
  std::string good = PltFile({{1.0, 2.0}, {1.0001, 2.0}});
  struct Case {
    const char* label;
    std::string second;  // empty: no such file
    int result;
    std::string message;
  } cases[] = {
      {"missing", "", kConvertOpenFailed, "Input file open error!\r\n"},
      {"header", "not a track\r\n", kConvertOpenFailed, "Incorrect file format!\r\n"},
      {"short", PltFile({{1.0, 2.0}}), kConvertPassFailed, "Too short input file!\r\n"},
  };
  for (const Case& c : cases) {
    ResetAllForTest();
    WriteFile(output_, "the old track file");
    std::string second = std::string(c.label) + ".plt";
    ASSERT_EQ(Convert({{"a.plt", good}, {second, c.second}, {"c.plt", good}}), c.result)
        << c.label;
    EXPECT_EQ(LogText(), Line(0) + Line(1) + c.message) << c.label;
    EXPECT_EQ(RunInputIndex, 1) << c.label;
    EXPECT_EQ(InputPath, W(paths_[1])) << c.label;
    EXPECT_EQ(InputStream, nullptr) << c.label;
    EXPECT_EQ(ReadFile(output_), "the old track file") << c.label;
  }

  // A missing output folder fails after the storing pass of every input.
  ResetAllForTest();
  output_ = dir_.File("no/such/folder/Tracks.bin");
  ASSERT_EQ(Convert({{"a.plt", good}, {"b.plt", good}}), kConvertOpenFailed);
  EXPECT_EQ(LogText(), Line(0) + Line(1) + "Track 1 at 1.000000 , 2.000000 \r\n" +
                           "Track 2 at 1.000000 , 2.000000 \r\nOutput file open error!\r\n");
}

TEST_F(SeveralInputsTest, EachInputHasItsOwnReadingAndRepeatTest) {
  // Both logs need the fallback reading, and the second starts with the time
  // at which the first ends: counted afresh, it is not taken for a repeat.
  std::string first = GnRmc("120000", "07.000") + GnRmc("120001", "07.001");
  std::string second = GnRmc("120001", "08.000") + GnRmc("120002", "08.001");
  ASSERT_EQ(Convert({{"a.nmea", first}, {"b.nmea", second}}, kInputNmea), kConvertOk);
  const std::string any_rmc = "No $GPRMC fixes: reading RMC of all talkers\r\n";
  EXPECT_EQ(LogText(), Line(0) + any_rmc + Line(1) + any_rmc +
                           "Track 1 at 48.116667 , 11.516667 \r\n"
                           "Track 2 at 48.133333 , 11.516667 \r\n" +
                           Report());
  EXPECT_EQ(StoredPoints().size(), 4u);
}

// A walk as above that zigzags 22 m sideways every third point, so that the
// shape thinning has corners to choose among, with a jump of 5.5 km east at
// each index in `gaps`. Coordinates as the PLT file's 7 decimals read back.
Points Zigzag(int first, int count, double lon, const std::vector<int>& gaps) {
  Points points;
  for (int i = first; i < first + count; ++i) {
    if (std::find(gaps.begin(), gaps.end(), i) != gaps.end()) lon += 0.05;
    double side = (i / 3) % 2 == 0 ? 0.0 : 0.0002;
    points.push_back({i / 100000.0, std::round((lon + side) * 1e7) / 1e7});
  }
  return points;
}

TEST_F(SeveralInputsTest, ShapeThinningKeepsEveryInputsEndsAndStartsItsTrack) {
  struct Case {
    const char* name;
    std::vector<int> starts;  // where each input begins; all end at `total`
    int total;
    std::vector<int> gaps;   // a jump before these points, within one input
    double next_lon;         // each input's longitude over the previous one's
  } cases[] = {
      // The inputs continue each other 1 m apart: nothing but being an
      // input's end keeps the points at the boundaries.
      {"joined", {0, 4000, 8000}, 12000, {10000}, 0.0},
      // Inputs far apart, one of two points in the middle, and a gap right
      // after an input's first point.
      {"apart", {0, 5000, 5002, 9000}, 15000, {5001, 9001, 12000}, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Points all;
    std::vector<std::pair<std::string, std::string>> files;
    for (size_t k = 0; k < c.starts.size(); ++k) {
      int end = k + 1 < c.starts.size() ? c.starts[k + 1] : c.total;
      Points part = Zigzag(c.starts[k], end - c.starts[k], 8.0 + c.next_lon * k, c.gaps);
      all.insert(all.end(), part.begin(), part.end());
      files.push_back({"in" + std::to_string(k) + ".plt", PltFile(part)});
    }
    // What the shape thinning chooses from the whole sequence held in memory,
    // with each input's ends and the two ends of each gap as the rule points.
    std::vector<TrackPoint> whole;
    for (const auto& [lat, lon] : all) whole.push_back({lat, lon});
    std::vector<int64_t> starts(c.starts.begin(), c.starts.end());
    std::vector<ShapeCandidate> candidates = ShapeCandidates(whole, starts);
    std::vector<int> rules, expected_rules;
    for (const ShapeCandidate& candidate : candidates) {
      if (candidate.rule >= 0) rules.push_back(static_cast<int>(candidate.index));
    }
    for (size_t k = 0; k < c.starts.size(); ++k) {
      expected_rules.push_back(c.starts[k]);
      expected_rules.push_back((k + 1 < c.starts.size() ? c.starts[k + 1] : c.total) - 1);
    }
    for (int gap : c.gaps) {
      expected_rules.push_back(gap - 1);
      expected_rules.push_back(gap);
    }
    std::sort(expected_rules.begin(), expected_rules.end());
    expected_rules.erase(std::unique(expected_rules.begin(), expected_rules.end()),
                         expected_rules.end());
    // No pair across a boundary: the breaks between inputs add no rule
    // point of their own.
    ASSERT_EQ(rules, expected_rules);
    std::vector<int> expected = ChooseShapePoints(candidates, kMaxStoredPoints);

    std::vector<int> kept_with_split;
    for (int split : {1, 0}) {
      SCOPED_TRACE(split);
      ResetAllForTest();
      ThinShape = 1;
      DoSplit = split;
      ASSERT_EQ(Convert(files), kConvertOk);
      std::vector<Stored> stored = StoredPoints();
      ASSERT_EQ(stored.size(), static_cast<size_t>(kMaxStoredPoints));
      std::vector<int> kept;
      for (const Stored& p : stored) kept.push_back(p.walk_index);
      // The index runs on across inputs: the storing pass keeps exactly the
      // points the whole sequence's choice names.
      EXPECT_EQ(kept, expected);
      for (int rule : expected_rules) {
        EXPECT_TRUE(std::binary_search(kept.begin(), kept.end(), rule)) << rule;
      }
      // Every input's first point starts a track; with splitting on, so does
      // every gap within an input, and nothing else.
      std::vector<int> track_starts;
      for (int start : c.starts) track_starts.push_back(start);
      if (split) track_starts.insert(track_starts.end(), c.gaps.begin(), c.gaps.end());
      std::sort(track_starts.begin(), track_starts.end());
      std::vector<int> at;
      for (int start : TrackStarts()) at.push_back(stored[start].walk_index);
      EXPECT_EQ(at, track_starts);
      EXPECT_EQ(TrackCounter, static_cast<int>(track_starts.size()));
      if (split) {
        kept_with_split = kept;
      } else {
        EXPECT_EQ(kept, kept_with_split);
      }
    }
  }
}

TEST_F(SeveralInputsTest, ShapeThinningOfInputsTheFileHoldsIsEvenThinning) {
  // 9996 points in all, or fewer: the file holds them whole either way.
  for (int last : {3996, 3000}) {
    std::vector<std::pair<std::string, std::string>> files = {
        {"a.plt", PltFile(Zigzag(0, 3000, 8.0, {}))},
        {"b.plt", PltFile(Zigzag(3000, 3000, 9.0, {4500}))},
        {"c.plt", PltFile(Zigzag(6000, last, 8.0, {}))}};
    std::string bytes[2], log[2];
    for (int shape : {0, 1}) {
      ResetAllForTest();
      ThinShape = shape;
      ASSERT_EQ(Convert(files), kConvertOk);
      bytes[shape] = ReadFile(output_);
      log[shape] = LogText();
    }
    EXPECT_EQ(bytes[1], bytes[0]) << last;
    EXPECT_EQ(log[1], log[0]) << last;
  }
}

// A bad second input in shape mode stops the run as in even mode, leaving
// nothing chosen, and the next run collects afresh.
TEST_F(SeveralInputsTest, ShapeThinningAfterAFailedRunChoosesAfresh) {
  ThinShape = 1;
  std::vector<std::pair<std::string, std::string>> good = {
      {"a.plt", PltFile(Zigzag(0, 8000, 8.0, {}))},
      {"b.plt", PltFile(Zigzag(8000, 4000, 8.0, {}))}};
  ASSERT_EQ(Convert(good), kConvertOk);
  const std::string first = ReadFile(output_);
  std::vector<Stored> stored = StoredPoints();
  ASSERT_EQ(stored.size(), static_cast<size_t>(kMaxStoredPoints));
  EXPECT_EQ(stored.front().walk_index, 0);
  EXPECT_EQ(stored.back().walk_index, 11999);
  EXPECT_EQ(ShapeInputStarts(), (std::vector<int64_t>{0, 8000}));

  ASSERT_EQ(Convert({good[0], {"short.plt", PltFile({{1.0, 2.0}})}}), kConvertPassFailed);
  EXPECT_EQ(ReadFile(output_), first);
  EXPECT_TRUE(ShapeChosen().empty());

  ASSERT_EQ(Convert(good), kConvertOk);
  EXPECT_EQ(ReadFile(output_), first);
}

}  // namespace
