#include "readers/geojson_reader.h"

#include <rapidjson/reader.h>

#include <cstring>
#include <string>

#include "common/globals.h"
#include "common/message_log.h"
#include "readers/coordinate_text.h"
#include "readers/plt_reader.h"

namespace {

constexpr int kQueueSize = 4096;  // points parsed ahead

// What the next value of a followed object is.
enum class Member : unsigned char { kOther, kType, kFollowedList, kGeometry, kCoordinates };

// What an open array or object is.
enum class Frame : unsigned char {
  kIgnored,   // not searched
  kFollowed,  // an object that may be a geometry, a Feature or a collection
  kList,      // "features" or "geometries": its objects are followed
  kLine,      // a LineString's coordinates: its arrays are positions
  kLines,     // a MultiLineString's coordinates: its arrays are lines
  kPosition,
};

enum class Geometry : unsigned char { kUnknown, kLine, kLines, kOther };

struct Level {
  Frame frame;
  bool object;
  Member member;      // kFollowed: what the next value is
  Geometry geometry;  // kFollowed: its "type"
  int members;        // kPosition: members seen so far
  bool numbers;       // kPosition: the first two members are numbers so far
};

struct State {
  Level levels[kJsonMaxDepth + 1];
  int depth = 0;
  TrackPoint position;  // the position being read

  TrackPoint queue[kQueueSize];
  int queue_head = 0;
  int queue_count = 0;
  bool paused = false;  // stopped at a position's "]" with a full queue
  bool started = false;
  bool done = false;
  bool malformed = false;
  bool other_geometry = false;

  // The stream seen by the parser: first the reopening bytes, then the file.
  std::string prefix;
  size_t prefix_at = 0;
  bool in_prefix = false;
  unsigned events = 0;  // handler calls, for the token bound
  unsigned events_at_refill = 0;
  size_t gap = 0;       // bytes read since the last handler call, roughly
  bool cut = false;     // the token bound was hit

  rapidjson::Reader* reader = nullptr;
};

State g_state;

// The parser's input: Peek and Take on the prefix, then on the input
// stream's read window, refilled as it runs out.
struct JsonStream {
  using Ch = char;
  State& s;
  ByteStream* in;

  Ch Peek() {
    if (s.in_prefix) return s.prefix[s.prefix_at];
    if (in->next < in->end) return static_cast<Ch>(*in->next);
    return Refill() ? static_cast<Ch>(*in->next) : '\0';
  }
  Ch Take() {
    if (s.in_prefix) {
      Ch c = s.prefix[s.prefix_at++];
      if (s.prefix_at == s.prefix.size()) s.in_prefix = false;
      return c;
    }
    if (in->next < in->end || Refill()) return static_cast<Ch>(*in->next++);
    return '\0';
  }
  size_t Tell() const { return 0; }  // only for error offsets, not used
  Ch* PutBegin() { return nullptr; }
  void Put(Ch) {}
  void Flush() {}
  size_t PutEnd(Ch*) { return 0; }

  // Refills the window; false at the end, on an error, or when a token or
  // gap runs past the bound (then the parser sees an end and fails).
  bool Refill() {
    if (s.cut) return false;
    if (s.events == s.events_at_refill) {
      s.gap += kStreamBufferSize;
    } else {
      s.events_at_refill = s.events;
      s.gap = 0;
    }
    if (s.gap > kJsonMaxToken) {
      s.cut = true;
      return false;
    }
    return StreamFill(in) > 0;
  }
};

bool Followable(const Level& parent) {
  return (parent.frame == Frame::kFollowed &&
          (parent.member == Member::kGeometry || parent.member == Member::kFollowedList)) ||
         parent.frame == Frame::kList;
}

struct Handler {
  State& s;

  Level& Top() { return s.levels[s.depth]; }

  // A scalar value where the top level expects one.
  bool Scalar(bool number, const char* text, size_t length) {
    ++s.events;
    if (s.in_prefix) return true;
    Level& top = Top();
    if (top.frame == Frame::kPosition) {
      if (top.members < 2) {
        double value = 0.0;
        if (!number || !ReadNumberText(text, length, &value)) {
          top.numbers = false;
        } else if (top.members == 0) {
          s.position.longitude = value;
        } else {
          s.position.latitude = value;
        }
      }
      ++top.members;
    } else if (top.frame == Frame::kFollowed) {
      if (top.member == Member::kType && !number) {
        if (length == 10 && std::memcmp(text, "LineString", 10) == 0) {
          top.geometry = Geometry::kLine;
        } else if (length == 15 && std::memcmp(text, "MultiLineString", 15) == 0) {
          top.geometry = Geometry::kLines;
        } else {
          top.geometry = Geometry::kOther;
        }
      }
      top.member = Member::kOther;
    }
    return true;
  }

  bool Open(bool object) {
    ++s.events;
    // The reopening bytes stand for levels that are still open.
    if (s.in_prefix) return true;
    if (s.depth == kJsonMaxDepth) return false;
    Level& parent = Top();
    Frame frame = Frame::kIgnored;
    {
      if (s.depth == 0) {
        frame = object ? Frame::kFollowed : Frame::kIgnored;
      } else if (object) {
        if (Followable(parent)) frame = Frame::kFollowed;
      } else if (parent.frame == Frame::kFollowed && parent.member == Member::kFollowedList) {
        frame = Frame::kList;
      } else if (parent.frame == Frame::kFollowed && parent.member == Member::kCoordinates) {
        if (parent.geometry == Geometry::kLine) frame = Frame::kLine;
        if (parent.geometry == Geometry::kLines) frame = Frame::kLines;
      } else if (parent.frame == Frame::kLines) {
        frame = Frame::kLine;
      } else if (parent.frame == Frame::kLine) {
        frame = Frame::kPosition;
      }
      if (parent.frame == Frame::kPosition) {
        if (parent.members < 2) parent.numbers = false;
        ++parent.members;
      }
      if (parent.frame == Frame::kFollowed) parent.member = Member::kOther;
    }
    ++s.depth;
    Level& level = Top();
    level.frame = frame;
    level.object = object;
    level.member = Member::kOther;
    level.geometry = Geometry::kUnknown;
    level.members = 0;
    level.numbers = true;
    return true;
  }

  bool Close() {
    ++s.events;
    if (s.in_prefix) return true;
    Level& level = Top();
    if (level.frame == Frame::kPosition) {
      if (s.queue_count == kQueueSize) {
        // Stop here, at the "]": the next parse reopens the levels and
        // takes this position again.
        s.paused = true;
        return false;
      }
      const TrackPoint& p = s.position;
      if (level.members >= 2 && level.numbers && LatitudeInRange(p.latitude) &&
          LongitudeInRange(p.longitude)) {
        s.queue[s.queue_count++] = p;
      }
    }
    if (level.frame == Frame::kFollowed && level.geometry == Geometry::kOther) {
      s.other_geometry = true;
    }
    --s.depth;
    return true;
  }

  bool Null() { return Scalar(false, nullptr, 0); }
  bool Bool(bool) { return Scalar(false, nullptr, 0); }
  bool Int(int) { return Scalar(false, nullptr, 0); }
  bool Uint(unsigned) { return Scalar(false, nullptr, 0); }
  bool Int64(int64_t) { return Scalar(false, nullptr, 0); }
  bool Uint64(uint64_t) { return Scalar(false, nullptr, 0); }
  bool Double(double) { return Scalar(false, nullptr, 0); }
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
    return Scalar(true, text, length);
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    return Scalar(false, text, length);
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    ++s.events;
    Level& top = Top();
    if (s.in_prefix || top.frame != Frame::kFollowed) return true;
    std::string_view key(text, length);
    if (key == "type") {
      top.member = Member::kType;
    } else if (key == "coordinates") {
      top.member = Member::kCoordinates;
    } else if (key == "geometry") {
      top.member = Member::kGeometry;
    } else if (key == "features" || key == "geometries") {
      top.member = Member::kFollowedList;
    } else {
      top.member = Member::kOther;
    }
    return true;
  }
  bool StartObject() { return Open(true); }
  bool EndObject(rapidjson::SizeType) { return Close(); }
  bool StartArray() { return Open(false); }
  bool EndArray(rapidjson::SizeType) { return Close(); }
};

// The bytes that reopen the levels open at a pause: each object with a
// member whose value is the next level, each array as it is, and the
// position with one element, so that the "]" in the stream closes it.
void BuildPrefix(State& s) {
  s.prefix.clear();
  for (int i = 1; i < s.depth; ++i) {
    s.prefix += s.levels[i].object ? "{\"\":" : "[";
  }
  s.prefix += "[0 ";
  s.prefix_at = 0;
  s.in_prefix = true;
}

constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag |
                            rapidjson::kParseStopWhenDoneFlag;

// Runs the parser until it pauses or ends.
void Parse(State& s) {
  if (s.reader == nullptr) s.reader = new rapidjson::Reader;
  if (s.paused) BuildPrefix(s);
  s.paused = false;
  JsonStream stream{s, InputStream};
  Handler handler{s};
  rapidjson::ParseResult result = s.reader->Parse<kFlags>(stream, handler);
  if (s.paused) return;
  s.done = true;
  if (result.IsError()) s.malformed = true;
}

}  // namespace

int ReadGeoJsonPoint(TrackPoint* point) {
  State& s = g_state;
  if (!s.started) {
    s.started = true;
    unsigned char bom[3];
    int64_t start = StreamTell(InputStream);
    if (StreamRead(bom, 1, 3, InputStream) != 3 || std::memcmp(bom, "\xEF\xBB\xBF", 3) != 0) {
      StreamSeek(InputStream, start, kStreamSeekSet);
    }
  }
  while (s.queue_head == s.queue_count) {
    s.queue_head = s.queue_count = 0;
    if (s.done) return kReadEnd;
    Parse(s);
    if (s.done && s.malformed) AppendLog(u"Track read error!\r\n");
  }
  *point = s.queue[s.queue_head++];
  return kReadOk;
}

void RestartGeoJsonReader() {
  State& s = g_state;
  delete s.reader;
  s.reader = nullptr;
  s.depth = 0;
  s.levels[0] = Level{Frame::kIgnored, false, Member::kOther, Geometry::kUnknown, 0, true};
  s.queue_head = s.queue_count = 0;
  s.paused = s.started = s.done = s.malformed = s.other_geometry = false;
  s.prefix.clear();
  s.prefix_at = 0;
  s.in_prefix = false;
  s.events = s.events_at_refill = 0;
  s.gap = 0;
  s.cut = false;
}

bool GeoJsonSawOtherGeometry() { return g_state.other_geometry; }

bool GeoJsonMalformed() { return g_state.malformed; }
