#include "readers/xml_track_reader.h"

#include <expat.h>

#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "common/globals.h"
#include "common/message_log.h"
#include "readers/coordinate_text.h"
#include "readers/kmz_entry.h"
#include "readers/plt_reader.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Bytes handed to expat per parse call. A call's character data, and so the
// points one handler call can queue, is bounded by it.
constexpr int kFeedSize = 16 * 1024;
// The parser is suspended once this many points wait; the queue holds what
// the handler running at that moment may still add (a feed's or an
// entity's worth of tuples of at least four bytes each).
constexpr int kQueueTarget = 1024;
constexpr int kQueueSize = 16 * 1024;
static_assert(kQueueTarget + (2 * kFeedSize + kXmlMaxEntityValue) / 4 < kQueueSize);

constexpr int kNameDepth = 64;  // open elements whose names are mirrored
constexpr int kNameSize = 48;   // bytes of a mirrored name, terminator included

enum class Field { kNone, kLatitude, kLongitude, kTuple, kGxCoord };

struct Reader {
  XML_Parser parser = nullptr;
  bool kml = false;
  bool final_fed = false;  // the last block (or the end) has been given to expat
  bool suspended = false;
  bool done = false;  // nothing more comes from the parser
  bool reported = false;  // "Track read error!" is in the log
  int ending = kXmlEnded;
  KmzEntry* kmz = nullptr;
  size_t allocated = 0;  // bytes expat holds
  bool parsing = false;  // inside an expat call: handlers may suspend it

  // KML coordinates read straight from the stream (see FeedPlainText).
  bool ascii = false;         // the document's bytes are ASCII-compatible
  int64_t fed = 0;            // bytes given to expat so far
  int64_t tag_end = -1;       // where the last coordinates start tag ended, in those bytes
  bool in_plain_text = false; // the stream stands inside coordinates text expat has not seen

  // Markup read straight from the stream (see FeedMarkup). The names of the
  // open elements are mirrored here; `known` of them expat has seen opened.
  char names[kNameDepth][kNameSize];
  bool names_ok = true;        // every open element's name is mirrored
  int64_t event_end = -1;      // where the last tag expat reported ended, in the bytes fed
  bool in_markup = false;      // the stream stands after a tag expat has seen last
  int known = 0;               // open elements expat has seen
  bool muted = false;          // expat is re-reading tags the handlers have had
  bool window_cut = false;     // markup reading stopped at a tag the window cut
  std::string resync;          // the tags expat is given to catch up

  // Element state. Depths are 1 for the root; 0 means "not open".
  int depth = 0;
  int trackpoint_depth = 0;
  int position_depth = 0;
  int line_depth = 0;  // KML: LineString, or gx:Track
  bool gx_track = false;
  int field_depth = 0;
  Field field = Field::kNone;
  bool have_latitude = false;
  bool have_longitude = false;
  TrackPoint pending;
  CoordinateText text;

  TrackPoint queue[kQueueSize];
  int queue_head = 0;
  int queue_count = 0;
};

Reader g_reader;

// expat's memory, capped: each block carries its size in front.
constexpr size_t kHeader = 16;

void* CappedMalloc(size_t size) {
  if (size > kXmlMaxMemory || g_reader.allocated + size > kXmlMaxMemory) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  g_reader.allocated += size;
  return block + kHeader;
}

void CappedFree(void* pointer) {
  if (pointer == nullptr) return;
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  size_t size;
  std::memcpy(&size, block, sizeof size);
  g_reader.allocated -= size;
  std::free(block);
}

void* CappedRealloc(void* pointer, size_t size) {
  if (pointer == nullptr) return CappedMalloc(size);
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  size_t old_size;
  std::memcpy(&old_size, block, sizeof old_size);
  if (size > kXmlMaxMemory || g_reader.allocated - old_size + size > kXmlMaxMemory) return nullptr;
  auto* grown = static_cast<unsigned char*>(std::realloc(block, size + kHeader));
  if (grown == nullptr) return nullptr;
  std::memcpy(grown, &size, sizeof size);
  g_reader.allocated = g_reader.allocated - old_size + size;
  return grown + kHeader;
}

const XML_Memory_Handling_Suite kMemory = {CappedMalloc, CappedRealloc, CappedFree};

void Queue(Reader& r, const TrackPoint& point) {
  if (r.queue_count == kQueueSize) {
    // Cannot happen within the bounds above; stop rather than lose a point.
    r.ending = kXmlMalformed;
    if (r.parsing) XML_StopParser(r.parser, XML_FALSE);
    return;
  }
  r.queue[r.queue_count++] = point;
  if (r.queue_count >= kQueueTarget && !r.suspended && r.parsing) {
    r.suspended = true;
    XML_StopParser(r.parser, XML_TRUE);
  }
}

// A finished KML tuple or gx:coord.
void TakeTuple(Reader& r, char separator) {
  TrackPoint point;
  if (ReadLonLat(r.text, separator, &point)) Queue(r, point);
  r.text.Clear();
}

void XMLCALL OnText(void* data, const char* text, int length);

// Text is only looked at inside a field: expat skips the call elsewhere.
void StartField(Reader& r) {
  r.field_depth = r.depth;
  r.text.Clear();
  XML_SetCharacterDataHandler(r.parser, OnText);
}

// Whether the `length` bytes at `name` spell `word`.
bool NameIs(const char* name, size_t length, std::string_view word) {
  return length == word.size() && std::memcmp(name, word.data(), length) == 0;
}

// An element opens: `name` [length bytes] is its qualified name.
void StartElement(Reader& r, const char* name, size_t length) {
  r.tag_end = -1;
  ++r.depth;
  if (r.names_ok) {
    if (r.depth > kNameDepth || length >= kNameSize) {
      r.names_ok = false;
    } else {
      std::memcpy(r.names[r.depth - 1], name, length);
      r.names[r.depth - 1][length] = 0;
    }
  }
  if (!r.in_markup) {
    int count = XML_GetCurrentByteCount(r.parser);
    r.event_end = count > 0 ? XML_GetCurrentByteIndex(r.parser) + count : -1;
  }
  // The name without its namespace prefix.
  const char* local = name + length;
  while (local > name && local[-1] != ':') --local;
  size_t local_length = length - static_cast<size_t>(local - name);
  if (!r.kml) {
    if (NameIs(local, local_length, "Trackpoint")) {
      r.trackpoint_depth = r.depth;
      r.position_depth = 0;
      r.have_latitude = r.have_longitude = false;
    } else if (r.trackpoint_depth != 0 && r.depth == r.trackpoint_depth + 1 &&
               NameIs(local, local_length, "Position")) {
      r.position_depth = r.depth;
    } else if (r.position_depth != 0 && r.depth == r.position_depth + 1) {
      if (NameIs(local, local_length, "LatitudeDegrees")) r.field = Field::kLatitude;
      if (NameIs(local, local_length, "LongitudeDegrees")) r.field = Field::kLongitude;
      if (r.field != Field::kNone) StartField(r);
    }
    return;
  }
  if (NameIs(local, local_length, "LineString") || NameIs(local, local_length, "Track")) {
    r.line_depth = r.depth;
    r.gx_track = local[0] == 'T';
  } else if (r.line_depth != 0 && r.depth == r.line_depth + 1) {
    if (!r.gx_track && NameIs(local, local_length, "coordinates")) {
      r.field = Field::kTuple;
      r.tag_end = XML_GetCurrentByteIndex(r.parser) + XML_GetCurrentByteCount(r.parser);
    }
    if (r.gx_track && NameIs(local, local_length, "coord")) r.field = Field::kGxCoord;
    if (r.field != Field::kNone) StartField(r);
  }
}

void XMLCALL OnStart(void* data, const char* name, const char** /*attributes*/) {
  Reader& r = *static_cast<Reader*>(data);
  if (r.muted) return;
  StartElement(r, name, std::strlen(name));
}

void XMLCALL OnEnd(void* data, const char* /*name*/) {
  Reader& r = *static_cast<Reader*>(data);
  if (r.muted) return;
  r.tag_end = -1;
  if (!r.in_markup) {
    // The end of an empty element reports no bytes: its start did.
    int count = XML_GetCurrentByteCount(r.parser);
    if (count > 0) r.event_end = XML_GetCurrentByteIndex(r.parser) + count;
  }
  if (r.depth == r.field_depth) {
    switch (r.field) {
      case Field::kLatitude:
        r.have_latitude = ReadDegrees(r.text, &r.pending.latitude);
        break;
      case Field::kLongitude:
        r.have_longitude = ReadDegrees(r.text, &r.pending.longitude);
        break;
      case Field::kTuple:
        if (!r.text.Empty()) TakeTuple(r, ',');
        break;
      case Field::kGxCoord:
        TakeTuple(r, ' ');
        break;
      case Field::kNone:
        break;
    }
    r.field = Field::kNone;
    r.field_depth = 0;
    XML_SetCharacterDataHandler(r.parser, nullptr);
  } else if (r.depth == r.position_depth) {
    r.position_depth = 0;
  } else if (r.depth == r.trackpoint_depth) {
    r.trackpoint_depth = 0;
    if (r.have_latitude && r.have_longitude) {
      if (LatitudeInRange(r.pending.latitude) && LongitudeInRange(r.pending.longitude)) {
        Queue(r, r.pending);
      }
    }
  } else if (r.depth == r.line_depth) {
    r.line_depth = 0;
  }
  --r.depth;
}

bool IsPlainTupleByte(unsigned char c);

// Whole tuples of the usual form, "lon,lat" or "lon,lat,more" with both
// numbers in the plain form and followed by white space, read from `text`
// in one pass: what ReadLonLatSpan reads from them, without splitting
// them first. Returns where it stopped, at white space or at the first
// tuple it did not take (another form, a byte that is not plain, or one
// that `end` may cut), for the general reading.
const char* ReadUsualTuples(Reader& r, const char* text, const char* end) {
  for (;;) {
    while (text < end && IsXmlSpace(*text)) ++text;
    TrackPoint point;
    const char* p = ReadPlainDecimal(text, end, &point.longitude);
    if (p == nullptr || p == end || *p != ',') return text;
    p = ReadPlainDecimal(p + 1, end, &point.latitude);
    if (p == nullptr) return text;
    if (p < end && *p == ',') {
      ++p;
      while (p < end && !IsXmlSpace(*p) && IsPlainTupleByte(static_cast<unsigned char>(*p))) ++p;
    }
    if (p == end || !IsXmlSpace(*p)) return text;
    if (LatitudeInRange(point.latitude) && LongitudeInRange(point.longitude)) Queue(r, point);
    text = p;
  }
}

// Coordinates text, split into tuples at white space.
void TupleText(Reader& r, const char* text, const char* end) {
  // A tuple the last text cut is finished in r.text; whole tuples,
  // followed by white space within the text, are read in place; a tuple
  // cut by the text's end is gathered in r.text.
  if (!r.text.Empty()) {
    const char* start = text;
    while (text < end && !IsXmlSpace(*text)) ++text;
    r.text.Append(start, static_cast<size_t>(text - start));
    if (text == end) return;
    TakeTuple(r, ',');
  }
  text = ReadUsualTuples(r, text, end);
  for (;;) {
    while (text < end && IsXmlSpace(*text)) ++text;
    const char* start = text;
    while (text < end && !IsXmlSpace(*text)) ++text;
    if (text == end) {
      r.text.Append(start, static_cast<size_t>(text - start));
      return;
    }
    TrackPoint point;
    if (ReadLonLatSpan(start, text, ',', &point)) Queue(r, point);
  }
}

// Character data: a number's text, or coordinates text.
void XMLCALL OnText(void* data, const char* text, int length) {
  Reader& r = *static_cast<Reader*>(data);
  if (r.muted) return;
  r.tag_end = -1;
  if (!r.in_markup) r.event_end = -1;
  if (r.field == Field::kNone || r.depth != r.field_depth) return;
  if (r.field != Field::kTuple) {
    r.text.Append(text, static_cast<size_t>(length));
    return;
  }
  TupleText(r, text, text + length);
}

// An internal entity longer than the limit ends the document: expansion
// stays bounded and so does the text one handler call can carry.
void XMLCALL OnEntity(void* data, const char* /*name*/, int /*parameter*/, const char* value,
                      int value_length, const char* /*base*/, const char* /*system_id*/,
                      const char* /*public_id*/, const char* /*notation*/) {
  Reader& r = *static_cast<Reader*>(data);
  if (value != nullptr && value_length > kXmlMaxEntityValue) XML_StopParser(r.parser, XML_FALSE);
}

void FreeReader(Reader& r) {
  if (r.parser != nullptr) XML_ParserFree(r.parser);
  CloseKmzEntry(r.kmz);
  r.parser = nullptr;
  r.kmz = nullptr;
}

bool StartReader(Reader& r, bool kml) {
  FreeReader(r);
  r.kml = kml;
  r.final_fed = r.suspended = r.done = r.reported = false;
  r.ending = kXmlEnded;
  r.allocated = 0;
  r.depth = r.trackpoint_depth = r.position_depth = r.line_depth = r.field_depth = 0;
  r.gx_track = r.have_latitude = r.have_longitude = false;
  r.field = Field::kNone;
  r.text.Clear();
  r.queue_head = r.queue_count = 0;
  if (kml) {
    int64_t start = StreamTell(InputStream);
    unsigned char magic[sizeof kZipLocalSignature];
    // An archive without entries starts with its end record.
    bool zip = StreamRead(magic, 1, sizeof magic, InputStream) == sizeof magic &&
               (std::memcmp(magic, kZipLocalSignature, sizeof magic) == 0 ||
                std::memcmp(magic, "PK\5\6", sizeof magic) == 0);
    if (zip) {
      int opened = OpenKmzEntry(InputStream, &r.kmz);
      if (opened != kKmzOk) {
        r.ending = opened == kKmzNoKml ? kXmlKmzNoKml : kXmlKmzBroken;
        return false;
      }
    } else if (start < 0 || StreamSeek(InputStream, start, kStreamSeekSet) != 0) {
      return false;
    }
  }
  r.fed = 0;
  r.tag_end = -1;
  r.in_plain_text = false;
  r.parsing = false;
  r.ascii = false;
  r.names_ok = true;
  r.event_end = -1;
  r.in_markup = r.muted = r.window_cut = false;
  r.known = 0;
  r.resync.clear();
  if (r.kmz == nullptr && StreamFill(InputStream) >= 2) {
    // A document in UTF-16 (or any encoding where "<" is not one byte)
    // starts otherwise; its text is never read as plain bytes.
    unsigned char first = InputStream->next[0];
    unsigned char second = InputStream->next[1];
    r.ascii = (first == '<' || first == 0xEF || IsXmlSpace(static_cast<char>(first))) &&
              second != 0;
  }
  r.parser = XML_ParserCreate_MM(nullptr, &kMemory, nullptr);
  if (r.parser == nullptr) return false;
  XML_SetUserData(r.parser, &r);
  XML_SetElementHandler(r.parser, OnStart, OnEnd);
  XML_SetEntityDeclHandler(r.parser, OnEntity);
  return true;
}

// The bytes of plain coordinates text: digits, signs, points, exponents,
// commas and white space. Text of only these bytes holds no markup and no
// reference, so it reads the same whether expat hands it over or not.
constexpr auto kPlainTupleBytes = [] {
  struct Table {
    bool plain[256] = {};
  } table;
  for (const char* p = "0123456789.,-+eE \t\r\n"; *p != 0; ++p) {
    table.plain[static_cast<unsigned char>(*p)] = true;
  }
  return table;
}();

bool IsPlainTupleByte(unsigned char c) { return kPlainTupleBytes.plain[c]; }

// The bulk of a KML file is the text of its coordinates. When a block given
// to expat ends right after a coordinates start tag, the text that follows
// is read here, straight from the stream, for as long as it is plain; expat
// takes over again at the first other byte (the "<" of the end tag, a
// reference, a comment). Expat never sees the plain text, which it would
// only have handed to OnText unchanged.
bool FeedPlainText(Reader& r) {
  ByteStream* in = InputStream;
  size_t available = StreamFill(in);
  if (available == 0) {
    r.in_plain_text = false;
    return true;  // the end: expat is told below
  }
  const unsigned char* p = in->next;
  const unsigned char* limit = p + (available < kFeedSize ? available : kFeedSize);
  if (!r.text.Empty()) {
    // The tuple the last block cut, finished here so that the usual ones
    // after it need no scan for the end of the plain text first.
    const unsigned char* q = p;
    while (q < limit && !IsXmlSpace(static_cast<char>(*q)) && IsPlainTupleByte(*q)) ++q;
    r.text.Append(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p));
    p = q;
    if (q < limit && IsXmlSpace(static_cast<char>(*q))) TakeTuple(r, ',');
  }
  if (r.text.Empty()) {
    p = reinterpret_cast<const unsigned char*>(ReadUsualTuples(
        r, reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(limit)));
  }
  const unsigned char* q = p;
  while (q < limit && IsPlainTupleByte(*q)) ++q;
  TupleText(r, reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(q));
  in->next = const_cast<unsigned char*>(q);
  if (q < limit) r.in_plain_text = false;
  return true;
}

// The classes of the bytes FeedMarkup reads.
constexpr unsigned char kNameStartByte = 1;  // may start a name
constexpr unsigned char kNameByte = 2;       // may stand in a name
// Text that reads the same as character data: printable ASCII but "<", "&"
// and "]", and tab, CR, LF.
constexpr unsigned char kPlainTextByte = 4;

constexpr auto kMarkupBytes = [] {
  struct Table {
    unsigned char classes[256] = {};
  } table;
  for (int c = 0; c < 256; ++c) {
    bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    bool name = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
    bool plain = (c >= 0x20 && c < 0x7F && c != '<' && c != '&' && c != ']') || c == '\t' ||
                 c == '\n' || c == '\r';
    table.classes[c] = static_cast<unsigned char>((start ? kNameStartByte : 0) |
                                                  (name ? kNameByte : 0) |
                                                  (plain ? kPlainTextByte : 0));
  }
  return table;
}();

bool IsMarkupByte(char c, unsigned char byte_class) {
  return (kMarkupBytes.classes[static_cast<unsigned char>(c)] & byte_class) != 0;
}

// The end of the plain text at `p`: the first byte before `limit` that is
// not plain text, or limit. Sixteen bytes a step where the target has SSE2.
const char* PlainTextEnd(const char* p, const char* limit) {
#if defined(__SSE2__)
  // Signed compares: bytes from 0x80 on are negative, so not printable.
  const __m128i below_printable = _mm_set1_epi8(0x1F);
  const __m128i past_printable = _mm_set1_epi8(0x7F);
  while (limit - p >= 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(block, below_printable),
                                      _mm_cmplt_epi8(block, past_printable));
    __m128i markup = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('<')),
                     _mm_cmpeq_epi8(block, _mm_set1_epi8('&'))),
        _mm_cmpeq_epi8(block, _mm_set1_epi8(']')));
    __m128i space = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\t')),
                     _mm_cmpeq_epi8(block, _mm_set1_epi8('\n'))),
        _mm_cmpeq_epi8(block, _mm_set1_epi8('\r')));
    __m128i plain = _mm_or_si128(_mm_andnot_si128(markup, printable), space);
    auto other = static_cast<unsigned>(~_mm_movemask_epi8(plain)) & 0xFFFFu;
    if (other != 0) return p + std::countr_zero(other);
    p += 16;
  }
#endif
  while (p < limit && IsMarkupByte(*p, kPlainTextByte)) ++p;
  return p;
}

// The end of the name bytes at `p`: the first byte before `limit` that
// cannot stand in a name, or limit. Sixteen bytes a step where the target
// has SSE2.
const char* NameEnd(const char* p, const char* limit) {
#if defined(__SSE2__)
  while (limit - p >= 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Letters in either case; "-" to ":" but "/" (the digits, ".", ":");
    // "_". Signed compares: bytes from 0x80 on are negative, so none of these.
    __m128i lower = _mm_or_si128(block, _mm_set1_epi8(0x20));
    __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                   _mm_cmplt_epi8(lower, _mm_set1_epi8('z' + 1)));
    __m128i punctuation = _mm_andnot_si128(
        _mm_cmpeq_epi8(block, _mm_set1_epi8('/')),
        _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8('-' - 1)),
                      _mm_cmplt_epi8(block, _mm_set1_epi8(':' + 1))));
    __m128i name = _mm_or_si128(_mm_or_si128(letter, punctuation),
                                _mm_cmpeq_epi8(block, _mm_set1_epi8('_')));
    auto other = static_cast<unsigned>(~_mm_movemask_epi8(name)) & 0xFFFFu;
    if (other != 0) return p + std::countr_zero(other);
    p += 16;
  }
#endif
  while (p < limit && IsMarkupByte(*p, kNameByte)) ++p;
  return p;
}

// Gives expat the tags it has not seen, so that its open elements are the
// mirrored ones again: the ends of those it had open and that were closed
// here, then the starts of those opened here. The handlers have had them.
bool Resync(Reader& r) {
  r.in_markup = false;
  for (int level = r.known + 1; level <= r.depth; ++level) {
    r.resync += '<';
    r.resync += r.names[level - 1];
    r.resync += '>';
  }
  r.known = r.depth;
  if (r.resync.empty()) return true;
  r.muted = true;
  r.parsing = true;
  XML_Status status = XML_Parse(r.parser, r.resync.data(), static_cast<int>(r.resync.size()), 0);
  r.parsing = false;
  r.muted = false;
  r.fed += static_cast<int64_t>(r.resync.size());
  r.resync.clear();
  if (status != XML_STATUS_OK) {
    r.ending = kXmlMalformed;
    return false;
  }
  return true;
}

// The bulk of a TCX file is simple markup: tags without attributes, text
// without references. When expat's last event was a tag that ended right at
// the end of the block it was given, such markup that follows is read here,
// straight from the stream, calling the same handlers, with the names of the
// open elements mirrored so that every end tag is checked. At anything else
// (an attribute, a comment, a reference, a byte outside ASCII, an end tag
// that does not match) expat is brought up to date (Resync) and takes over.
bool FeedMarkup(Reader& r) {
  ByteStream* in = InputStream;
  size_t available = StreamFill(in);
  if (available == 0) return Resync(r);
  const auto* p = reinterpret_cast<const char*>(in->next);
  const char* limit = p + (available < kFeedSize ? available : kFeedSize);
  bool stop = false;  // at markup expat must read
  bool cut = false;   // at a tag the limit cuts
  while (p < limit && !stop && !cut && r.names_ok) {
    if (*p != '<') {
      if (r.field == Field::kTuple && r.depth == r.field_depth && r.text.Empty()) {
        // Whole usual tuples are plain text, read without scanning first.
        const char* read = ReadUsualTuples(r, p, limit);
        if (read > p) r.tag_end = -1;
        p = read;
      }
      const char* q = PlainTextEnd(p, limit);
      if (q > p) OnText(&r, p, static_cast<int>(q - p));
      stop = q < limit && *q != '<';
      p = q;
      continue;
    }
    bool closing = p + 1 < limit && p[1] == '/';
    const char* name = p + (closing ? 2 : 1);
    const char* q = NameEnd(name, limit);
    bool empty = !closing && q < limit && *q == '/';
    const char* close = empty ? q + 1 : q;
    if (close >= limit) {
      cut = true;
      break;
    }
    if (q == name || !IsMarkupByte(*name, kNameStartByte) || *close != '>' ||
        q - name >= kNameSize) {
      stop = true;
      break;
    }
    auto length = static_cast<size_t>(q - name);
    if (closing) {
      // The name must be the innermost open element's (length < kNameSize).
      const char* open = r.depth > 0 ? r.names[r.depth - 1] : nullptr;
      if (open == nullptr || std::memcmp(open, name, length) != 0 || open[length] != 0) {
        stop = true;
        break;
      }
      if (r.depth <= r.known) {
        r.resync += "</";
        r.resync.append(name, length);
        r.resync += '>';
        r.known = r.depth - 1;
      }
      OnEnd(&r, open);
    } else {
      StartElement(r, name, length);
      if (empty) OnEnd(&r, nullptr);
    }
    p = close + 1;
  }
  in->next = reinterpret_cast<unsigned char*>(const_cast<char*>(p));
  // A tag cut by the window's end is expat's to put together; one cut by
  // the block's limit is read by the next call.
  bool window_end = limit == reinterpret_cast<const char*>(in->end);
  r.window_cut = cut && window_end && !stop && r.names_ok;
  if (stop || !r.names_ok || (cut && window_end)) return Resync(r);
  return true;
}

// Gives expat the next block, or lets it go on with the one it was
// suspended in. False when nothing more will come.
bool Feed(Reader& r) {
  XML_Status status;
  r.suspended = false;
  XML_ParsingStatus parsing;
  XML_GetParsingStatus(r.parser, &parsing);
  if (parsing.parsing == XML_SUSPENDED) {
    r.parsing = true;
    status = XML_ResumeParser(r.parser);
  } else if (r.final_fed) {
    return false;
  } else if (r.in_plain_text) {
    return FeedPlainText(r);
  } else if (r.in_markup) {
    return FeedMarkup(r);
  } else if (r.kmz != nullptr) {
    void* buffer = XML_GetBuffer(r.parser, kFeedSize);
    if (buffer == nullptr) {
      r.ending = kXmlMalformed;
      return false;
    }
    int64_t got = ReadKmzEntry(r.kmz, InputStream, static_cast<unsigned char*>(buffer), kFeedSize);
    if (got < 0) {
      r.ending = kXmlKmzBroken;
      return false;
    }
    r.final_fed = got == 0;
    r.parsing = true;
    status = XML_ParseBuffer(r.parser, static_cast<int>(got), r.final_fed);
  } else {
    // Straight from the stream's window; expat copies what it keeps.
    ByteStream* in = InputStream;
    size_t available = StreamFill(in);
    if (available == 0 && in->failed) {
      r.ending = kXmlMalformed;
      return false;
    }
    const auto* block = reinterpret_cast<const char*>(in->next);
    size_t size = available < kFeedSize ? available : kFeedSize;
    if (r.ascii && size > 0) {
      // Cut after the first coordinates start tag in the block, so that
      // its text can be read as plain text.
      constexpr std::string_view kTagEnd = "coordinates>";
      std::string_view text(block, size);
      size_t found = r.kml ? text.find(kTagEnd) : std::string_view::npos;
      size_t first = r.window_cut ? text.find('>') : std::string_view::npos;
      if (found != std::string_view::npos) {
        size = found + kTagEnd.size();
      } else if (first != std::string_view::npos) {
        // Only the rest of the tag the window cut, so that the markup after
        // it is read straight from the stream again at once.
        size = first + 1;
        r.window_cut = false;
      } else if (r.names_ok) {
        // Cut after the last ">", where a tag may end, for FeedMarkup.
        size_t last = text.rfind('>');
        if (last != std::string_view::npos) size = last + 1;
      }
    }
    in->next += size;
    r.fed += static_cast<int64_t>(size);
    r.final_fed = size == 0;
    r.parsing = true;
    status = XML_Parse(r.parser, block, static_cast<int>(size), r.final_fed);
  }
  r.parsing = false;
  if (status == XML_STATUS_ERROR) {
    r.ending = kXmlMalformed;
    return false;
  }
  if (status == XML_STATUS_SUSPENDED) return true;
  if (r.field == Field::kTuple && r.tag_end == r.fed) {
    r.in_plain_text = true;
  } else if (r.ascii && r.names_ok && r.event_end == r.fed && r.kmz == nullptr) {
    r.in_markup = true;
    r.known = r.depth;
  }
  return !r.final_fed;
}

int ReadXmlPoint(TrackPoint* point, bool kml) {
  Reader& r = g_reader;
  if (r.parser == nullptr && !r.done && !StartReader(r, kml)) {
    if (r.ending == kXmlEnded) r.ending = kXmlMalformed;
    r.done = true;
  }
  while (r.queue_head == r.queue_count) {
    r.queue_head = r.queue_count = 0;
    if (r.done) {
      // Said once the points before the fault are all handed out: the
      // storing pass, which takes only the points counted, never gets here.
      if ((r.ending == kXmlMalformed || r.ending == kXmlKmzBroken) && !r.reported) {
        AppendLog(u"Track read error!\r\n");
        r.reported = true;
      }
      return kReadEnd;
    }
    if (!Feed(r)) r.done = true;
  }
  *point = r.queue[r.queue_head++];
  return kReadOk;
}

}  // namespace

int ReadTcxPoint(TrackPoint* point) { return ReadXmlPoint(point, false); }

int ReadKmlPoint(TrackPoint* point) { return ReadXmlPoint(point, true); }

void RestartXmlReader() {
  FreeReader(g_reader);
  g_reader.done = g_reader.reported = false;
  g_reader.queue_head = g_reader.queue_count = 0;
}

int XmlReaderEnding() { return g_reader.ending; }
