#include "readers/geojson_reader.h"

#include <rapidjson/reader.h>

#include <cstring>
#include <string>
#include <string_view>

#include "common/globals.h"
#include "common/message_log.h"
#include "common/numbers.h"
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
  bool reported = false;  // "Track read error!" is in the log
  bool other_geometry = false;

  // The stream seen by the parser: first the reopening bytes, then the file.
  std::string prefix;
  bool in_prefix = false;
  unsigned events = 0;  // handler calls, for the token bound
  unsigned events_at_refill = 0;
  size_t gap = 0;       // bytes read since the last handler call, roughly
  bool cut = false;     // the token bound was hit

  rapidjson::Reader* reader = nullptr;
};

State g_state;

// The parser's input: first the reopening bytes, then the input stream's
// read window, refilled as it runs out. The bytes in reach are [cur, end),
// held here rather than in the stream so that the per-byte calls stay in
// registers; the stream's position is set from them after each parse.
struct JsonStream {
  using Ch = char;
  const char* cur;
  const char* end;
  State* s;
  ByteStream* in;

  Ch Peek() { return cur < end || Refill() ? *cur : '\0'; }
  Ch Take() { return cur < end || Refill() ? *cur++ : '\0'; }
  size_t Tell() const { return 0; }  // only for error offsets, not used
  Ch* PutBegin() { return nullptr; }
  void Put(Ch) {}
  void Flush() {}
  size_t PutEnd(Ch*) { return 0; }

  void Window() {
    cur = reinterpret_cast<const char*>(in->next);
    end = reinterpret_cast<const char*>(in->end);
  }

  // Moves on to the next bytes; false at the end, on an error, or when a
  // token or gap runs past the bound (then the parser sees an end and fails).
  bool Refill() {
    if (s->in_prefix) {
      s->in_prefix = false;
      Window();
      if (cur < end) return true;
    }
    in->next = in->end;
    if (s->cut) return false;
    if (s->events == s->events_at_refill) {
      s->gap += kStreamBufferSize;
    } else {
      s->events_at_refill = s->events;
      s->gap = 0;
    }
    if (s->gap > kJsonMaxToken) {
      s->cut = true;
      return false;
    }
    if (StreamFill(in) == 0) return false;
    Window();
    return true;
  }
};

bool IsJsonSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

const char* SkipSpace(const char* p, const char* end) {
  while (p < end && IsJsonSpace(*p)) ++p;
  return p;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The end of the JSON number at p, or null when none is there or it reaches
// `end` (it might go on past the window).
const char* JsonNumberEnd(const char* p, const char* end) {
  if (p < end && *p == '-') ++p;
  if (p == end || !IsDigit(*p)) return nullptr;
  if (*p == '0') {
    ++p;
  } else {
    while (p < end && IsDigit(*p)) ++p;
  }
  if (p < end && *p == '.') {
    ++p;
    if (p == end || !IsDigit(*p)) return nullptr;
    while (p < end && IsDigit(*p)) ++p;
  }
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    if (p == end || !IsDigit(*p)) return nullptr;
    while (p < end && IsDigit(*p)) ++p;
  }
  return p < end ? p : nullptr;
}

// One position of the common shape, "[number, number, ...]" with numbers
// only, whole within [p, end): its end after the "]", or null. The first
// two numbers go to `point`. ParseDouble reads them exactly: each is
// followed by a byte that ends a number.
const char* ScanPosition(const char* p, const char* end, TrackPoint* point) {
  if (p == end || *p != '[') return nullptr;
  ++p;
  for (int member = 0;; ++member) {
    p = SkipSpace(p, end);
    const char* number_end = JsonNumberEnd(p, end);
    if (number_end == nullptr) return nullptr;
    if (member == 0) point->longitude = ParseDouble(p);
    if (member == 1) point->latitude = ParseDouble(p);
    p = SkipSpace(number_end, end);
    if (p == end) return nullptr;
    if (*p == ']') return member >= 1 ? p + 1 : nullptr;
    if (*p != ',') return nullptr;
    ++p;
  }
}

// The geometries that are not tracks, named in the reason for a refused file.
bool IsOtherGeometry(std::string_view type) {
  return type == "Point" || type == "MultiPoint" || type == "Polygon" || type == "MultiPolygon";
}

bool Followable(const Level& parent) {
  return (parent.frame == Frame::kFollowed &&
          (parent.member == Member::kGeometry || parent.member == Member::kFollowedList)) ||
         parent.frame == Frame::kList;
}

struct Handler {
  State& s;
  JsonStream& stream;

  // The bulk of a file: the positions of a line after its first, read
  // here straight from the stream's window, as ", position" pairs, while
  // they have the common shape. The stream stands after a position, where
  // the parser expects a "," or the "]", and is left so: the parser takes
  // over at the first position that does not fit or that crosses the
  // window's end. False when the queue is full (a pause).
  bool ScanLine() {
    const char* p = stream.cur;
    const char* end = stream.end;
    for (;;) {
      const char* comma = SkipSpace(p, end);
      if (comma == end || *comma != ',') break;
      TrackPoint point;
      const char* after = ScanPosition(SkipSpace(comma + 1, end), end, &point);
      if (after == nullptr) break;
      p = after;
      if (LatitudeInRange(point.latitude) && LongitudeInRange(point.longitude)) {
        s.queue[s.queue_count++] = point;
        if (s.queue_count == kQueueSize) {
          stream.cur = p;
          s.paused = true;
          return false;
        }
      }
    }
    stream.cur = p;
    return true;
  }

  Level& Top() { return s.levels[s.depth]; }

  // A scalar value where the top level expects one: a number (with its
  // value) or another value (with its text when it is a string).
  bool Scalar(bool number, double value, const char* text, size_t length) {
    ++s.events;
    if (s.in_prefix) return true;
    Level& top = Top();
    if (top.frame == Frame::kPosition) {
      if (top.members == 0) s.position.longitude = value;
      if (top.members == 1) s.position.latitude = value;
      if (top.members < 2 && !number) top.numbers = false;
      ++top.members;
    } else if (top.frame == Frame::kFollowed) {
      if (top.member == Member::kType && text != nullptr) {
        if (length == 10 && std::memcmp(text, "LineString", 10) == 0) {
          top.geometry = Geometry::kLine;
        } else if (length == 15 && std::memcmp(text, "MultiLineString", 15) == 0) {
          top.geometry = Geometry::kLines;
        } else if (IsOtherGeometry(std::string_view(text, length))) {
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
    bool pause = false;
    if (level.frame == Frame::kPosition) {
      const TrackPoint& p = s.position;
      if (level.members >= 2 && level.numbers && LatitudeInRange(p.latitude) &&
          LongitudeInRange(p.longitude)) {
        s.queue[s.queue_count++] = p;
        // Stop after this position's "]": the next parse reopens the
        // levels still open and goes on from there.
        pause = s.queue_count == kQueueSize;
      }
    }
    if (level.frame == Frame::kFollowed && level.geometry == Geometry::kOther) {
      s.other_geometry = true;
    }
    --s.depth;
    if (pause) {
      s.paused = true;
      return false;
    }
    if (Top().frame == Frame::kLine) return ScanLine();
    return true;
  }

  bool Null() { return Scalar(false, 0.0, nullptr, 0); }
  bool Bool(bool) { return Scalar(false, 0.0, nullptr, 0); }
  bool Int(int value) { return Scalar(true, value, nullptr, 0); }
  bool Uint(unsigned value) { return Scalar(true, value, nullptr, 0); }
  bool Int64(int64_t value) { return Scalar(true, static_cast<double>(value), nullptr, 0); }
  bool Uint64(uint64_t value) { return Scalar(true, static_cast<double>(value), nullptr, 0); }
  bool Double(double value) { return Scalar(true, value, nullptr, 0); }
  // Numbers come as their text (NUL-terminated in the parser's stack) and
  // are read as the fast scan reads them, correctly rounded.
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
    double value = 0.0;
    bool number = ReadNumberText(text, length, &value);
    return Scalar(number, value, nullptr, 0);
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    return Scalar(false, 0.0, text, length);
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
// member whose value is the next level, each array as it is; the innermost
// level, the line the position belonged to, with one element, so that what
// follows in the stream (a "," or the "]") continues it.
void BuildPrefix(State& s) {
  s.prefix.clear();
  for (int i = 1; i < s.depth; ++i) s.prefix += s.levels[i].object ? "{\"\":" : "[";
  s.prefix += "[0 ";
  s.in_prefix = true;
}

// Recursive parsing: the handler refuses to go deeper than kJsonMaxDepth,
// so the call depth stays bounded. Numbers are handed over as text: the
// parser's own conversion is not used (its full-precision path counts the
// leading zeros of a zero, which is undefined).
constexpr unsigned kFlags = rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseStopWhenDoneFlag;

// Runs the parser until it pauses or ends.
void Parse(State& s) {
  if (s.reader == nullptr) s.reader = new rapidjson::Reader;
  JsonStream stream{nullptr, nullptr, &s, InputStream};
  if (s.paused) {
    BuildPrefix(s);
    stream.cur = s.prefix.data();
    stream.end = stream.cur + s.prefix.size();
  } else {
    stream.Window();
  }
  s.paused = false;
  Handler handler{s, stream};
  rapidjson::ParseResult result = s.reader->Parse<kFlags>(stream, handler);
  if (!s.in_prefix) InputStream->next = reinterpret_cast<unsigned char*>(const_cast<char*>(stream.cur));
  if (s.paused) return;
  s.done = true;
  if (result.IsError()) s.malformed = true;
}

}  // namespace

int ReadGeoJsonPoint(TrackPoint* point) {
  State& s = g_state;
  if (!s.started) {
    s.started = true;
    s.malformed = s.other_geometry = false;
    unsigned char bom[3];
    int64_t start = StreamTell(InputStream);
    if (StreamRead(bom, 1, 3, InputStream) != 3 || std::memcmp(bom, "\xEF\xBB\xBF", 3) != 0) {
      StreamSeek(InputStream, start, kStreamSeekSet);
    }
  }
  while (s.queue_head == s.queue_count) {
    s.queue_head = s.queue_count = 0;
    if (s.done) {
      // Said once the points before the fault are all handed out: the
      // storing pass, which takes only the points counted, never gets here.
      if (s.malformed && !s.reported) AppendLog(u"Track read error!\r\n");
      s.reported = true;
      return kReadEnd;
    }
    Parse(s);
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
  s.paused = s.started = s.done = s.reported = false;
  s.prefix.clear();
  s.in_prefix = false;
  s.events = s.events_at_refill = 0;
  s.gap = 0;
  s.cut = false;
}

bool GeoJsonSawOtherGeometry() { return g_state.other_geometry; }

bool GeoJsonMalformed() { return g_state.malformed; }
