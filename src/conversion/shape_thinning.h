// Thinning that keeps a recording's shape: which of more points than the
// file holds to store so that the stored line strays as little as possible
// from the recording.
//
// Some points are always kept ("rule points"): the first and last point of
// every input, and both points of every pair of consecutive points of one
// input more than 1000 m apart by IsTrackBreak, so every break stays a
// break whether or not splitting is on. The others are dropped one at a time,
// always the one whose removal costs least; the cost of removing a point is
// the largest distance, from the segment that joins its two kept neighbours,
// of every point that segment then stands for (the point itself and those
// dropped before between the neighbours). Ties go to the earlier point, so
// every build keeps the same points. When the rule points alone are more
// than the file holds, only rule points are kept, evenly spread among
// themselves.
//
// Distances are planar, in metres: latitude times the metres per degree of
// latitude the break test uses, longitude times the metres per degree of
// longitude of the break test's table, interpolated linearly to the mean
// latitude of the segment's ends. Only +, -, * and / are used (no library
// functions whose last bit may differ between hosts), and the build forbids
// contraction, so the result is the same on every build.
//
// Use: the counting pass hands every point to the collector (ShapeCollect*;
// ShapeCollectInputStart before each input's points, so the inputs' first
// and last points are known), which keeps a bounded working set: every point while there are few, then
// an even pre-thinning of the others (every 2nd, 4th, ... point) besides the
// rule points, so memory stays flat at any input size. ShapeSelect then
// chooses, and the storing pass asks ShapeKeeps for each point in order.
#pragma once

#include <cstdint>
#include <vector>

#include "common/types.h"

/// One point the selection may keep: its position in the whole sequence of
/// points (of all inputs), its coordinates, and whether it is a rule point.
struct ShapeCandidate {
  int64_t index = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  int64_t rule = -1;  // -1: not a rule point; else its number among the rule points
};

/// The working set's default size: 16 times the file's capacity.
constexpr int kShapeWorkingSet = 16 * 9996;

/// The segment length, in candidates, beyond which a removal is never
/// charged by measuring (it counts as infinitely costly), which bounds the
/// work of one measurement. Long straight or standing stretches then keep a
/// point every so often; with the working set above that is at most a few
/// hundred points, and never more than the selection can spare.
constexpr int kShapeLongestSpan = 2048;

/// The squared distance in square metres of `point` from the segment from
/// `from` to `to`, in the planar geometry described above.
double ShapeSegmentDistance2(const TrackPoint& from, const TrackPoint& to,
                             const TrackPoint& point);

/// Positions in `candidates` (ascending) of the at most `capacity` points to
/// keep. The first and last candidate are kept like rule points.
std::vector<int> ChooseShapePoints(const std::vector<ShapeCandidate>& candidates, int capacity);

/// The candidates of a whole sequence held in memory, every point with its
/// rule mark; `input_starts` are the positions where each input begins
/// (ascending, the first 0).
std::vector<ShapeCandidate> ShapeCandidates(const std::vector<TrackPoint>& points,
                                            const std::vector<int64_t>& input_starts);

/// Starts collecting for a counting pass, with a working set of
/// `working_set` candidates (at least 16; tests use small ones).
void ShapeCollectBegin(int working_set = kShapeWorkingSet);

/// The next point collected begins a new input.
void ShapeCollectInputStart();

/// The current input is read again from its start (another reading of the
/// same file): what was collected of it is forgotten.
void ShapeCollectInputAgain();

/// Collects the next point of the counting pass.
void ShapeCollectPoint(const TrackPoint& point);

/// Ends the counting pass and chooses at most `capacity` points; the
/// working set is freed. Returns the number of points chosen.
int ShapeSelect(int capacity);

/// Ends a counting pass that failed: the working set is freed, nothing chosen.
void ShapeCollectDiscard();

/// The storing pass: 1 when the point at `index` (asked in ascending order)
/// is one of those chosen, else 0.
int ShapeKeeps(int64_t index);

/// The positions where each input began, and the chosen points' positions,
/// of the last selection (for tests and tools).
const std::vector<int64_t>& ShapeInputStarts();
const std::vector<int64_t>& ShapeChosen();

/// Forgets everything collected and chosen.
void ResetShapeThinningForTest();
