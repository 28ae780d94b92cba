#include "conversion/shape_thinning.h"

#include <cmath>
#include <limits>
#include <utility>

#include "conversion/track_file.h"

namespace {

constexpr double kInfinite = std::numeric_limits<double>::infinity();

// Metres per degree of longitude at `latitude`: the break test's table,
// interpolated linearly between whole degrees; 0 at the poles and beyond.
double LongitudeMeters(double latitude) {
  double away = latitude < 0.0 ? -latitude : latitude;
  if (!(away < 90.0)) return 0.0;  // also not a number
  int whole = static_cast<int>(away);
  double low = LonMetersPerDegree(whole);
  double high = LonMetersPerDegree(whole + 1);
  return low + (high - low) * (away - whole);
}

// A segment in a plane around its first end.
struct Segment {
  TrackPoint from;
  double x_scale = 0.0;  // metres per degree of longitude
  double dx = 0.0;       // the other end, in metres
  double dy = 0.0;
  double length2 = 0.0;
};

Segment MakeSegment(const TrackPoint& from, const TrackPoint& to) {
  Segment s;
  s.from = from;
  s.x_scale = LongitudeMeters((from.latitude + to.latitude) * 0.5);
  s.dx = (to.longitude - from.longitude) * s.x_scale;
  s.dy = (to.latitude - from.latitude) * kMetersPerDegreeLatitude;
  s.length2 = s.dx * s.dx + s.dy * s.dy;
  return s;
}

double Distance2(const Segment& s, double latitude, double longitude) {
  double px = (longitude - s.from.longitude) * s.x_scale;
  double py = (latitude - s.from.latitude) * kMetersPerDegreeLatitude;
  double t = 0.0;
  if (s.length2 > 0.0) {
    t = (px * s.dx + py * s.dy) / s.length2;
    if (t < 0.0) t = 0.0;
    if (t > 1.0) t = 1.0;
  }
  double ex = px - t * s.dx;
  double ey = py - t * s.dy;
  return ex * ex + ey * ey;
}

TrackPoint PointOf(const ShapeCandidate& c) { return TrackPoint{c.latitude, c.longitude}; }

// The greedy removal over the candidates: a min-heap of the removable
// points keyed by (cost, position), with each point's place in it, so that
// a neighbour's new cost moves it up or down. The heap holds the costs
// themselves, so its comparisons stay within it.
class Removal {
 public:
  Removal(const std::vector<ShapeCandidate>& c, const std::vector<char>& keep)
      : c_(c), prev_(c.size()), next_(c.size()), where_(c.size(), -1) {
    const int n = static_cast<int>(c.size());
    for (int i = 0; i < n; ++i) {
      prev_[i] = i - 1;
      next_[i] = i + 1;
    }
    for (int i = 1; i + 1 < n; ++i) {
      if (keep[i]) continue;
      where_[i] = static_cast<int>(heap_.size());
      heap_.push_back(Entry{SpanCost(i - 1, i + 1), i});
    }
    for (int slot = static_cast<int>(heap_.size()) / 2 - 1; slot >= 0; --slot) SiftDown(slot);
  }

  // Drops the cheapest point; false when no point can be dropped.
  bool RemoveCheapest() {
    if (heap_.empty()) return false;
    int i = heap_[0].point;
    Take(0);
    int before = prev_[i];
    int after = next_[i];
    next_[before] = after;
    prev_[after] = before;
    next_[i] = -1;
    Recost(before);
    Recost(after);
    return true;
  }

  bool Dropped(int i) const { return next_[i] < 0; }

 private:
  struct Entry {
    double cost;
    int point;
  };

  // The largest squared distance from the segment (a, b) of any candidate
  // between them; infinite when they are too far apart to measure or a
  // distance is not a number.
  double SpanCost(int a, int b) const {
    if (b - a - 1 > kShapeLongestSpan) return kInfinite;
    Segment s = MakeSegment(PointOf(c_[a]), PointOf(c_[b]));
    double worst = 0.0;
    for (int k = a + 1; k < b; ++k) {
      double d = Distance2(s, c_[k].latitude, c_[k].longitude);
      if (std::isnan(d)) return kInfinite;
      if (d > worst) worst = d;
    }
    return worst;
  }

  void Recost(int i) {
    int slot = where_[i];
    if (slot < 0) return;
    heap_[slot].cost = SpanCost(prev_[i], next_[i]);
    SiftUp(slot);
    SiftDown(where_[i]);
  }

  static bool Before(const Entry& a, const Entry& b) {
    return a.cost < b.cost || (a.cost == b.cost && a.point < b.point);
  }

  void Place(int slot, const Entry& e) {
    heap_[slot] = e;
    where_[e.point] = slot;
  }

  void SiftUp(int slot) {
    Entry e = heap_[slot];
    while (slot > 0) {
      int parent = (slot - 1) / 2;
      if (!Before(e, heap_[parent])) break;
      Place(slot, heap_[parent]);
      slot = parent;
    }
    Place(slot, e);
  }

  void SiftDown(int slot) {
    const int size = static_cast<int>(heap_.size());
    Entry e = heap_[slot];
    for (;;) {
      int child = 2 * slot + 1;
      if (child >= size) break;
      if (child + 1 < size && Before(heap_[child + 1], heap_[child])) ++child;
      if (!Before(heap_[child], e)) break;
      Place(slot, heap_[child]);
      slot = child;
    }
    Place(slot, e);
  }

  void Take(int slot) {
    int i = heap_[slot].point;
    Entry last = heap_.back();
    heap_.pop_back();
    where_[i] = -1;
    if (last.point == i) return;
    Place(slot, last);
    SiftUp(slot);
    SiftDown(where_[last.point]);
  }

  const std::vector<ShapeCandidate>& c_;
  std::vector<int> prev_;
  std::vector<int> next_;  // -1 once dropped
  std::vector<Entry> heap_;
  std::vector<int> where_;  // slot in heap_, -1 when not there
};

// What the counting pass has collected, and what was chosen.
struct Collector {
  std::vector<ShapeCandidate> set;  // the working set, by index
  size_t limit = kShapeWorkingSet;
  int64_t step = 1;       // other points are held when index % step == 0
  int64_t rule_step = 1;  // with rules_only: rule points held when rule % rule_step == 0
  bool rules_only = false;
  int64_t count = 0;  // points seen
  int64_t rules = 0;  // rule points seen
  TrackPoint previous;
  bool previous_rule = false;
  bool input_pending = true;
  std::vector<int64_t> input_starts;
  // As they were when the current input began, to read it again.
  int64_t start_rules = 0;
  TrackPoint start_previous;
  bool start_previous_rule = false;
  std::vector<int64_t> chosen;
  size_t cursor = 0;
};

Collector g_shape;

// The steps are powers of two: a multiple of one has no bits below it.
bool Holds(const ShapeCandidate& c) {
  if (c.rule >= 0) return !g_shape.rules_only || (c.rule & (g_shape.rule_step - 1)) == 0;
  return !g_shape.rules_only && (c.index & (g_shape.step - 1)) == 0;
}

// Thins the working set until it has room again: the other points more
// thinly first; once rule points fill half of it, only rule points, and
// those more thinly in turn.
void Compact() {
  std::vector<ShapeCandidate>& set = g_shape.set;
  while (set.size() >= g_shape.limit) {
    if (!g_shape.rules_only) {
      size_t rules = 0;
      for (const ShapeCandidate& c : set) rules += c.rule >= 0 ? 1 : 0;
      if (rules > g_shape.limit / 2) {
        g_shape.rules_only = true;
      } else {
        g_shape.step *= 2;
      }
    } else {
      g_shape.rule_step *= 2;
    }
    size_t kept = 0;
    for (const ShapeCandidate& c : set) {
      if (Holds(c)) set[kept++] = c;
    }
    set.resize(kept);
  }
}

void Offer(const ShapeCandidate& c) {
  if (!Holds(c)) return;
  g_shape.set.push_back(c);
  if (g_shape.set.size() >= g_shape.limit) Compact();
}

// The last point collected, at `index`, turns out to be a rule point (the
// last of its input, or one end of a break).
void MarkPreviousRule(int64_t index) {
  if (g_shape.previous_rule || index < 0) return;
  g_shape.previous_rule = true;
  const int64_t rule = g_shape.rules++;
  std::vector<ShapeCandidate>& set = g_shape.set;
  if (!set.empty() && set.back().index == index) {
    set.back().rule = rule;
    if (!Holds(set.back())) set.pop_back();
    return;
  }
  Offer(ShapeCandidate{index, g_shape.previous.latitude, g_shape.previous.longitude, rule});
}

// False only for points that cannot break: both differences under 0.0062
// degrees are under 690 m each (no degree of longitude is longer than one of
// latitude), under 975 m together, whatever the rounding. A quick look
// that spares the break test for nearly every point of a recording.
bool MayBreak(const TrackPoint& previous, const TrackPoint& current) {
  return !(std::fabs(current.latitude - previous.latitude) < 0.0062 &&
           std::fabs(current.longitude - previous.longitude) < 0.0062);
}

}  // namespace

double ShapeSegmentDistance2(const TrackPoint& from, const TrackPoint& to,
                             const TrackPoint& point) {
  return Distance2(MakeSegment(from, to), point.latitude, point.longitude);
}

std::vector<int> ChooseShapePoints(const std::vector<ShapeCandidate>& candidates, int capacity) {
  const int n = static_cast<int>(candidates.size());
  std::vector<int> chosen;
  if (capacity <= 0 || n == 0) return chosen;
  if (n <= capacity) {
    for (int i = 0; i < n; ++i) chosen.push_back(i);
    return chosen;
  }
  std::vector<char> keep(n, 0);
  std::vector<int> rules;
  for (int i = 0; i < n; ++i) {
    keep[i] = candidates[i].rule >= 0 || i == 0 || i == n - 1;
    if (keep[i]) rules.push_back(i);
  }
  const int64_t rule_count = static_cast<int64_t>(rules.size());
  if (rule_count >= capacity) {
    // Only rule points, spread evenly: the first, the last, and between
    // them those at even steps (rounded down).
    if (capacity == 1) return {rules[0]};
    for (int64_t j = 0; j < capacity; ++j) {
      chosen.push_back(rules[static_cast<size_t>(j * (rule_count - 1) / (capacity - 1))]);
    }
    return chosen;
  }
  Removal removal(candidates, keep);
  for (int live = n; live > capacity; --live) {
    if (!removal.RemoveCheapest()) break;
  }
  for (int i = 0; i < n; ++i) {
    if (!removal.Dropped(i)) chosen.push_back(i);
  }
  return chosen;
}

std::vector<ShapeCandidate> ShapeCandidates(const std::vector<TrackPoint>& points,
                                            const std::vector<int64_t>& input_starts) {
  const int64_t n = static_cast<int64_t>(points.size());
  std::vector<char> rule(points.size(), 0);
  for (size_t input = 0; input < input_starts.size(); ++input) {
    int64_t begin = input_starts[input];
    int64_t end = input + 1 < input_starts.size() ? input_starts[input + 1] : n;
    if (begin >= end) continue;
    rule[begin] = 1;
    rule[end - 1] = 1;
    for (int64_t j = begin + 1; j < end; ++j) {
      if (IsTrackBreak(points[j - 1], points[j], kTrackBreakMeters)) {
        rule[j - 1] = 1;
        rule[j] = 1;
      }
    }
  }
  std::vector<ShapeCandidate> candidates(points.size());
  int64_t rules = 0;
  for (int64_t j = 0; j < n; ++j) {
    candidates[j] = ShapeCandidate{j, points[j].latitude, points[j].longitude,
                                   rule[j] ? rules++ : -1};
  }
  return candidates;
}

void ShapeCollectBegin(int working_set) {
  g_shape = Collector{};
  g_shape.limit = static_cast<size_t>(working_set < 16 ? 16 : working_set);
  g_shape.set.reserve(g_shape.limit);
}

void ShapeCollectInputStart() {
  g_shape.input_pending = true;
  g_shape.input_starts.push_back(g_shape.count);
  g_shape.start_rules = g_shape.rules;
  g_shape.start_previous = g_shape.previous;
  g_shape.start_previous_rule = g_shape.previous_rule;
}

void ShapeCollectInputAgain() {
  if (g_shape.input_starts.empty()) return;
  const int64_t start = g_shape.input_starts.back();
  std::vector<ShapeCandidate>& set = g_shape.set;
  while (!set.empty() && set.back().index >= start) set.pop_back();
  g_shape.count = start;
  g_shape.rules = g_shape.start_rules;
  g_shape.previous = g_shape.start_previous;
  g_shape.previous_rule = g_shape.start_previous_rule;
  g_shape.input_pending = true;
}

void ShapeCollectPoint(const TrackPoint& point) {
  const int64_t index = g_shape.count++;
  bool rule = g_shape.input_pending;
  if (g_shape.input_pending) {
    g_shape.input_pending = false;
    MarkPreviousRule(index - 1);
  } else if (MayBreak(g_shape.previous, point) &&
             IsTrackBreak(g_shape.previous, point, kTrackBreakMeters)) {
    MarkPreviousRule(index - 1);
    rule = true;
  }
  Offer(ShapeCandidate{index, point.latitude, point.longitude, rule ? g_shape.rules++ : -1});
  g_shape.previous = point;
  g_shape.previous_rule = rule;
}

int ShapeSelect(int capacity) {
  MarkPreviousRule(g_shape.count - 1);
  std::vector<int> positions = ChooseShapePoints(g_shape.set, capacity);
  g_shape.chosen.clear();
  for (int position : positions) g_shape.chosen.push_back(g_shape.set[position].index);
  std::vector<ShapeCandidate>().swap(g_shape.set);
  g_shape.cursor = 0;
  return static_cast<int>(g_shape.chosen.size());
}

void ShapeCollectDiscard() {
  std::vector<ShapeCandidate>().swap(g_shape.set);
  g_shape.chosen.clear();
  g_shape.cursor = 0;
}

int ShapeKeeps(int64_t index) {
  std::vector<int64_t>& chosen = g_shape.chosen;
  while (g_shape.cursor < chosen.size() && chosen[g_shape.cursor] < index) ++g_shape.cursor;
  if (g_shape.cursor < chosen.size() && chosen[g_shape.cursor] == index) {
    ++g_shape.cursor;
    return 1;
  }
  return 0;
}

const std::vector<int64_t>& ShapeInputStarts() { return g_shape.input_starts; }

const std::vector<int64_t>& ShapeChosen() { return g_shape.chosen; }

void ResetShapeThinningForTest() { g_shape = Collector{}; }
