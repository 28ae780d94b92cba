#include "conversion/conversion_run.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/shape_thinning.h"
#include "conversion/track_file.h"
#include "host/atomic_file.h"
#include "host/gzip_stream.h"
#include "readers/fit_reader.h"
#include "host/text.h"
#include "readers/geojson_reader.h"
#include "readers/gpx_reader.h"
#include "readers/igc_reader.h"
#include "readers/mps_reader.h"
#include "readers/nmea_reader.h"
#include "readers/plt_reader.h"
#include "readers/text_line.h"
#include "readers/xml_track_reader.h"

namespace {

constexpr char kPltSignature[] = "OziExplorer Track Point File";
constexpr size_t kPltSignatureLength = sizeof kPltSignature - 1;  // 28
constexpr int kPltHeaderLines = 6;

// The structured readers (XML, JSON) keep a parser between calls: each pass
// starts them afresh at the start offset, and closing the input frees them.
void RestartParsers() {
  RestartXmlReader();
  RestartGeoJsonReader();
}

void CloseInput() {
  if (InputStream != nullptr && InputStream->damaged) InputFlaws |= kFlawCompressedData;
  RestartParsers();
  StreamClose(InputStream);
  InputStream = nullptr;
}

// Notes why the run fails before anything else can change errno: a failed
// read of the input is the system's doing, an early end is the file's.
void NoteFailure(int failure) {
  RunFailure = failure;
  RunErrno = errno;
}
void NoteInputFailure() {
  NoteFailure(InputStream != nullptr && InputStream->failed ? kRunInputReadFailed
                                                            : kRunInputRejected);
}

// Fails the run's header check: log `message`, close the input.
int RejectInput(const char16_t* message) {
  NoteInputFailure();
  AppendLog(message);
  CloseInput();
  return kConvertOpenFailed;
}

int CheckMpsHeader() {
  MpsReaderState = kMpsNoTrack;
  if (StreamRead(LineBuffer, 1, kMpsSignatureSize, InputStream) < kMpsSignatureSize) {
    return RejectInput(u"Input file read error!\r\n");
  }
  // "MsRcd" and its terminator: the sixth byte must be zero as well.
  if (std::memcmp(LineBuffer, kMpsSignature, kMpsSignatureSize) != 0) {
    return RejectInput(u"Incorrect file format!\r\n");
  }
  int64_t position = StreamTell(InputStream);
  if (position < 0 || position > INT32_MAX) {
    NoteFailure(kRunInputReadFailed);
    AppendLog(u"Input file tell error!\r\n");
    CloseInput();
    return kConvertOpenFailed;
  }
  MpsNextRecordPos = static_cast<int32_t>(position);
  return kConvertOk;
}

int CheckPltHeader() {
  if (ReadTextLine(InputStream, LineBuffer, kLineLimit) < 0) {
    return RejectInput(u"Input file read error!\r\n");
  }
  if (std::memcmp(LineBuffer, kPltSignature, kPltSignatureLength) != 0) {
    return RejectInput(u"Incorrect file format!\r\n");
  }
  for (int line = 1; line < kPltHeaderLines; ++line) {
    if (ReadTextLine(InputStream, LineBuffer, kLineLimit) < 0) {
      return RejectInput(u"Input file read error!\r\n");
    }
  }
  return kConvertOk;
}

// The break test of the storing pass, applied to every point read there,
// stored or skipped.
void TrackBreakBookkeeping(const TrackPoint& current) {
  if (!DoSplit) return;
  if (!NewTrackPending && IsTrackBreak(PreviousPoint, current, kTrackBreakMeters)) {
    NewTrackPending = 1;
  }
  PreviousPoint = current;
}

// Fails the pass: log `message`, close the input.
int FailPass(const char16_t* message, int result) {
  if (result == kPassTellFailed || result == kPassSeekFailed) {
    NoteFailure(kRunInputReadFailed);
  } else {
    NoteInputFailure();
  }
  AppendLog(message);
  CloseInput();
  return result;
}

// The readings of a file that has fewer than two points by the device's
// rules, in the order they are tried, with the log line that names each.
struct Fallback {
  int kind;
  int nmea_mode;
  int gpx_element;
  const char16_t* announcement;
};
constexpr Fallback kFallbacks[] = {
    {kInputNmea, kNmeaAnyRmc, kGpxTrackPoints, u"No $GPRMC fixes: reading RMC of all talkers\r\n"},
    {kInputNmea, kNmeaGga, kGpxTrackPoints, u"No RMC fixes: reading GGA fixes\r\n"},
    {kInputGpx, kNmeaGprmcOnly, kGpxRoutePoints, u"No track points: reading route points\r\n"},
};

void UseReading(int nmea_mode, int gpx_element) {
  NmeaReadMode = nmea_mode;
  GpxPointElement = gpx_element;
  ResetNmeaFixTime();
}

// The NMEA fallback readings, kept out of the inlined dispatch below.
[[gnu::noinline]] int ReadFallbackNmeaPoint(TrackPoint* point) {
  int result;
  do {
    result = ReadNmeaPoint(point);
  } while (result > 0);
  return result;
}

// The next usable point of an input of kind `Kind`: the reader is called
// again for as long as it skips a record. The NMEA mode is tested here, once
// per point, rather than once per line.
template <int Kind>
[[gnu::always_inline]] inline int NextPointOf(TrackPoint* point) {
  int result;
  if constexpr (Kind == kInputGpx) {
    do {
      result = ReadGpxPoint(point);
    } while (result > 0);
  } else if constexpr (Kind == kInputMps) {
    // Never positive: the MapSource reader skips what it cannot use itself.
    result = ReadMpsTrackPoint(point);
  } else if constexpr (Kind == kInputPlt) {
    do {
      result = ReadPltPoint(point);
    } while (result > 0);
  } else if constexpr (Kind == kInputFit) {
    // Never positive: the FIT reader passes over what is no point itself.
    result = ReadFitPoint(point);
  } else if constexpr (Kind == kInputIgc) {
    do {
      result = ReadIgcPoint(point);
    } while (result > 0);
  } else if constexpr (Kind == kInputTcx) {
    result = ReadTcxPoint(point);
  } else if constexpr (Kind == kInputKml) {
    result = ReadKmlPoint(point);
  } else if constexpr (Kind == kInputGeoJson) {
    result = ReadGeoJsonPoint(point);
  } else {
    if (NmeaReadMode != kNmeaGprmcOnly) return ReadFallbackNmeaPoint(point);
    do {
      result = ReadGprmcPoint(point);
    } while (result > 0);
  }
  return result;
}

// ReadNextPoint, inlined into the storing pass.
[[gnu::always_inline]] inline int NextPoint(TrackPoint* point) {
  switch (InputKind) {
    case kInputGpx:
      return NextPointOf<kInputGpx>(point);
    case kInputMps:
      return NextPointOf<kInputMps>(point);
    case kInputPlt:
      return NextPointOf<kInputPlt>(point);
    case kInputNmea:
      return NextPointOf<kInputNmea>(point);
    case kInputFit:
      return NextPointOf<kInputFit>(point);
    case kInputIgc:
      return NextPointOf<kInputIgc>(point);
    case kInputTcx:
      return NextPointOf<kInputTcx>(point);
    case kInputKml:
      return NextPointOf<kInputKml>(point);
    case kInputGeoJson:
      return NextPointOf<kInputGeoJson>(point);
    default:
      return kReadBadKind;
  }
}

// The counting pass, with the kind chosen once rather than per point. For
// the shape thinning it also hands every point to the collector.
template <int Kind, bool Collect>
int CountPointsOf() {
  int count = 0;
  while (NextPointOf<Kind>(&CurrentPoint) == kReadOk) {
    if constexpr (Collect) ShapeCollectPoint(CurrentPoint);
    ++count;
  }
  return count;
}

template <bool Collect>
int CountPointsCollecting() {
  switch (InputKind) {
    case kInputGpx:
      return CountPointsOf<kInputGpx, Collect>();
    case kInputMps:
      return CountPointsOf<kInputMps, Collect>();
    case kInputPlt:
      return CountPointsOf<kInputPlt, Collect>();
    case kInputNmea:
      return CountPointsOf<kInputNmea, Collect>();
    case kInputFit:
      return CountPointsOf<kInputFit, Collect>();
    case kInputIgc:
      return CountPointsOf<kInputIgc, Collect>();
    case kInputTcx:
      return CountPointsOf<kInputTcx, Collect>();
    case kInputKml:
      return CountPointsOf<kInputKml, Collect>();
    case kInputGeoJson:
      return CountPointsOf<kInputGeoJson, Collect>();
    default:
      return 0;
  }
}

int CountPoints() {
  if (!ThinShape) return CountPointsCollecting<false>();
  return CountPointsCollecting<true>();
}

// Counts the points of the device's reading and, when there are fewer than
// two, of each fallback reading in turn, until one has two. Leaves the
// reader set to the reading counted last; *announcement is the log line
// that names the fallback used, or null.
int CountReadings(int* count, const char16_t** announcement) {
  *announcement = nullptr;
  UseReading(kNmeaGprmcOnly, kGpxTrackPoints);
  RestartParsers();
  *count = CountPoints();
  if (*count >= 2 || StrictInput) return kPassOk;
  for (const Fallback& fallback : kFallbacks) {
    if (fallback.kind != InputKind) continue;
    if (StreamSeek(InputStream, StartOffset, kStreamSeekSet) != 0) {
      return FailPass(u"Input file fseek error!\r\n", kPassSeekFailed);
    }
    UseReading(fallback.nmea_mode, fallback.gpx_element);
    if (ThinShape) ShapeCollectInputAgain();
    *count = CountPoints();
    if (*count >= 2) {
      *announcement = fallback.announcement;
      break;
    }
  }
  return kPassOk;
}

// The byte order of a text input that starts with a UTF-16 byte order mark,
// or 0. Leaves the stream anywhere.
int Utf16TextOrder() {
  if (InputKind != kInputNmea && InputKind != kInputGpx) return 0;
  unsigned char mark[2];
  if (StreamSeek(InputStream, 0, kStreamSeekSet) != 0) return 0;
  return Utf16ByteOrder(mark, StreamRead(mark, 1, sizeof mark, InputStream));
}

// CountReadings, and when the bytes give fewer than two points of a UTF-16
// text (PowerShell's ">" writes one), the same readings of its text
// transcoded to UTF-8, from which the storing pass then reads too.
int CountWithFallbacks(int* count) {
  const char16_t* announcement = nullptr;
  int result = CountReadings(count, &announcement);
  if (result != kPassOk) return result;
  int order = *count < 2 && !StrictInput ? Utf16TextOrder() : 0;
  if (order != 0) {
    if (!StreamReadUtf16AsUtf8(InputStream, order)) {
      return FailPass(u"Input file fseek error!\r\n", kPassSeekFailed);
    }
    StartOffset = 0;
    result = CountReadings(count, &announcement);
    if (result != kPassOk) return result;
    if (*count >= 2) AppendLog(u"UTF-16 text: reading it as UTF-8\r\n");
  }
  if (announcement != nullptr) AppendLog(announcement);
  return kPassOk;
}

// How the storing pass reads an input again: where its points begin and
// the reading its count settled on.
struct InputReading {
  int32_t start_offset;
  int nmea_mode;
  int gpx_element;
  int utf16;  // its text transcoded from UTF-16 (kUtf16Le or kUtf16Be), or 0
};

const RunInput* g_inputs = nullptr;  // the run's inputs; only ConvertTracks reopens them
std::vector<InputReading> g_readings;  // one for each input counted, in order

}  // namespace

void (*BetweenPassesHookForTest)() = nullptr;
int RunFailure = kRunOk;
int RunErrno = 0;
int CountedPoints = 0;
const char16_t* InputLogName = nullptr;
int RunInputIndex = 0;
std::vector<int> InputPointCounts;

int ReadNextPoint(TrackPoint* point) {
  return NextPoint(point);
}

namespace {

// The counting pass over the open input: fixes its start offset, counts its
// points with the fallback readings, and notes both for the storing pass.
int CountInput() {
  if (InputKind == kInputMps) {
    // The first record's position, which the header check has already found
    // to be a valid offset.
    StartOffset = MpsNextRecordPos;
  } else {
    int64_t offset = StreamTell(InputStream);
    if (offset < 0 || offset > INT32_MAX) {
      return FailPass(u"Input file ftell error!\r\n", kPassTellFailed);
    }
    StartOffset = static_cast<int32_t>(offset);
  }

  // The FIT checksums are compared in the counting pass only.
  StartFitPass(1);

  // The shape thinning collects all inputs as one sequence, each input's
  // start marked: ShapeCollectBegin comes once per run, before the first.
  if (ThinShape) ShapeCollectInputStart();
  int count = 0;
  int counted = CountWithFallbacks(&count);
  if (counted != kPassOk) return counted;
  CountedPoints = count;
  if (count < 2) return FailPass(u"Too short input file!\r\n", kPassTooShort);
  InputPointCounts.push_back(count);
  g_readings.push_back(InputReading{StartOffset, NmeaReadMode, GpxPointElement, InputStream->utf16});
  return kPassOk;
}

// Makes input `index` the one the storing pass reads: reopens it unless it is
// still open from its count (a run of one input), seeks to its first point
// and sets its reading.
int EnterInput(int index) {
  RunInputIndex = index;
  CountedPoints = InputPointCounts[index];
  const InputReading& reading = g_readings[index];
  if (InputStream == nullptr) {
    CopyWide(InputPath, kInputPathSize, g_inputs[index].path);
    InputKind = g_inputs[index].kind;
    InputStream = StreamOpen(InputPath, "rb");
    // It opened for its count a moment ago; its text is read as it was then.
    if (InputStream == nullptr || StreamAttachGzip(InputStream) == kGzipFailed ||
        (reading.utf16 != 0 && !StreamReadUtf16AsUtf8(InputStream, reading.utf16))) {
      NoteFailure(kRunInputReadFailed);
      AppendLog(u"Input file read error !\r\n");
      return kPassReadFailed;
    }
  }
  StartOffset = reading.start_offset;
  if (StreamSeek(InputStream, StartOffset, kStreamSeekSet) != 0) {
    return FailPass(u"Input file fseek error!\r\n", kPassSeekFailed);
  }
  MpsReaderState = 0;
  MpsNextRecordPos = StartOffset;
  UseReading(reading.nmea_mode, reading.gpx_element);  // the NMEA de-duplication afresh
  StartFitPass(0);
  RestartParsers();
  return kPassOk;
}

// The points of all inputs counted, read as one sequence: how many of the
// current input's counted points are still to be read, and the next input.
struct Sequence {
  int left_in_input = 0;
  int next_input = 0;
};

// Reads the sequence's next point into CurrentPoint, moving on to the next
// input (which starts a track) when the current one's points are used up.
// kPassOk with `*read` set to the reader's result, or the pass's failure.
[[gnu::always_inline]] inline int NextSequencePoint(Sequence* sequence, int* read) {
  while (sequence->left_in_input == 0) {
    if (sequence->next_input > 0) CloseInput();
    int entered = EnterInput(sequence->next_input);
    if (entered != kPassOk) return entered;
    sequence->left_in_input = InputPointCounts[sequence->next_input];
    ++sequence->next_input;
    NewTrackPending = 1;
  }
  --sequence->left_in_input;
  *read = NextPoint(&CurrentPoint);
  return kPassOk;
}

// The storing pass of the shape thinning: every point of the sequence is
// read and takes part in the break test, and the chosen ones are stored.
// The index runs on across inputs, as the count numbered the points. Any
// failed read fails the pass, since the count found every one of them.
int StoreChosenPoints(int64_t total) {
  Sequence sequence;
  int read = kReadOk;
  for (int64_t index = 0; index < total; ++index) {
    int moved = NextSequencePoint(&sequence, &read);
    if (moved != kPassOk) return moved;
    if (read != kReadOk) {
      return FailPass(u"Input file read error !\r\n", kPassReadFailed);
    }
    TrackBreakBookkeeping(CurrentPoint);
    if (ShapeKeeps(index)) {
      StorePoint(CurrentPoint, PointCount);
      ++PointCount;
    }
  }
  return kPassOk;
}

// The storing pass over every input counted, in order.
int StorePoints() {
  int64_t total = 0;
  for (int count : InputPointCounts) total += count;

  NewTrackPending = 1;
  TrackCounter = 0;
  PreviousPoint = TrackPoint{};

  // A recording longer than the file holds is thinned: after each stored
  // point, skip up to `stride` points until `excess` points have been skipped.
  // The skipping stops exactly when excess reaches 0, so the file always holds
  // 9996 points, and it never reads beyond the points counted above. Several
  // inputs are thinned as one recording: the skips run on over their bounds.
  int64_t excess = 0;
  int64_t stride = 0;
  if (total > kMaxStoredPoints) {
    excess = total - kMaxStoredPoints;
    stride = (total - 2) / (kMaxStoredPoints - 1);
  }

  // The shape thinning chooses from what the counts collected, and frees
  // it; its choice is stored only when it leaves points out, so a sequence
  // the file holds whole is stored as the even thinning stores it.
  if (ThinShape != 0) ShapeSelect(kMaxStoredPoints);
  const bool by_shape = ThinShape != 0 && total > kMaxStoredPoints;

  if (BetweenPassesHookForTest != nullptr) BetweenPassesHookForTest();

  if (by_shape) return StoreChosenPoints(total);

  Sequence sequence;
  int64_t remaining = total;
  int read = kReadOk;
  while (remaining > 0) {
    int moved = NextSequencePoint(&sequence, &read);
    if (moved != kPassOk) return moved;
    if (read != kReadOk) {
      return FailPass(u"Input file read error !\r\n", kPassReadFailed);
    }
    --remaining;
    TrackBreakBookkeeping(CurrentPoint);
    StorePoint(CurrentPoint, PointCount);
    ++PointCount;

    if (excess > 0 && stride > 0) {
      int64_t skip = stride;
      if (skip > excess) skip = excess;
      if (skip > remaining) skip = remaining;
      excess -= skip;
      remaining -= skip;
      for (int64_t i = 0; i < skip; ++i) {
        moved = NextSequencePoint(&sequence, &read);
        if (moved != kPassOk) return moved;
        if (read == kReadOk) TrackBreakBookkeeping(CurrentPoint);
      }
    }
  }
  return kPassOk;
}

// Opens, checks and counts input `index`: the "Input file:" line (over the
// log for the first input, appended for the others), the open, the header
// check and the counting pass. The input stays open on success.
int CountRunInput(const RunInput& input, int index) {
  RunInputIndex = index;
  CountedPoints = 0;
  CopyWide(InputPath, kInputPathSize, input.path);
  InputKind = input.kind;
  // The opening lines go as one text, so the 1000-character reset of
  // AppendLog can never swallow the first input's.
  std::u16string opening = u"Input file: ";
  opening += ExpandPathForLog(input.log_name != nullptr ? input.log_name : InputPath);
  opening += u"\r\n";
  if (index == 0) {
    CopyToLog(opening.c_str());
    RepaintLog();
  } else {
    AppendLog(opening.c_str());
  }

  InputStream = StreamOpen(InputPath, "rb");
  if (InputStream == nullptr) {
    NoteFailure(kRunInputOpenFailed);
    AppendLog(u"Input file open error!\r\n");
    return kConvertOpenFailed;
  }
  if (StreamAttachGzip(InputStream) == kGzipFailed) {
    NoteFailure(kRunInputReadFailed);
    AppendLog(u"Input file read error!\r\n");
    CloseInput();
    return kConvertOpenFailed;
  }

  int header = kConvertOk;
  if (InputKind == kInputMps) header = CheckMpsHeader();
  if (InputKind == kInputPlt) header = CheckPltHeader();
  if (header != kConvertOk) return header;

  ClearTrackImage();
  if (CountInput() != kPassOk) return kConvertPassFailed;
  return kConvertOk;
}

// Both passes over every input, up to the closed input; nothing written.
int ReadInputs(const RunInput* inputs, int count) {
  if (ThinShape) ShapeCollectBegin();
  for (int i = 0; i < count; ++i) {
    int counted = CountRunInput(inputs[i], i);
    if (counted != kConvertOk) {
      if (ThinShape) ShapeCollectDiscard();
      return counted;
    }
    // A run of one input keeps it open for the storing pass, as it always
    // did; with several, only one is open at a time.
    if (count > 1) CloseInput();
  }
  if (StorePoints() != kPassOk) return kConvertPassFailed;
  CloseInput();
  return kConvertOk;
}

}  // namespace

int RunPointPass() {
  g_inputs = nullptr;
  InputPointCounts.clear();
  g_readings.clear();
  RunInputIndex = 0;
  if (ThinShape) ShapeCollectBegin();
  int result = CountInput();
  if (result == kPassOk) {
    result = StorePoints();
  } else if (ThinShape) {
    ShapeCollectDiscard();
  }
  UseReading(kNmeaGprmcOnly, kGpxTrackPoints);
  return result;
}

int ConvertTracks(const RunInput* inputs, int count) {
  RunFailure = kRunOk;
  RunErrno = 0;
  CountedPoints = 0;
  RunInputIndex = 0;
  InputFlaws = 0;
  InputPointCounts.clear();
  g_readings.clear();
  g_inputs = inputs;
  int read = ReadInputs(inputs, count);
  UseReading(kNmeaGprmcOnly, kGpxTrackPoints);
  g_inputs = nullptr;
  if (read != kConvertOk) return read;

  // Replacing an input by the track file would lose the recording.
  const std::string output_host = HostPath(OutputPath);
  for (int i = 0; i < count; ++i) {
    if (SameFile(HostPath(inputs[i].path), output_host)) {
      RunInputIndex = i;
      NoteFailure(kRunOutputIsInput);
      RunErrno = 0;
      AppendLog(u"Output file open error!\r\n");
      return kConvertOpenFailed;
    }
  }

  OutputStream = StreamOpen(OutputPath, "wb");
  if (OutputStream == nullptr) {
    NoteFailure(kRunOutputOpenFailed);
    AppendLog(u"Output file open error!\r\n");
    return kConvertOpenFailed;
  }
  StorePointCount();
  size_t written = StreamWrite(TrackImage, 1, kTrackFileSize, OutputStream);
  int write_errno = errno;
  // Closing commits the file; a failure there is a failed write as well, and
  // either way the previous file stays as it was.
  int closed = StreamClose(OutputStream);
  OutputStream = nullptr;
  if (written < kTrackFileSize || closed != 0) {
    NoteFailure(kRunOutputWriteFailed);
    if (written < kTrackFileSize) RunErrno = write_errno;
    AppendLog(u"Output file write error!\n");
    return kConvertWriteFailed;
  }

  std::u16string report = u"OK!\r\n\r\nOutput file: ";
  report += ExpandPathForLog(OutputPath);
  report += u"\r\n";
  AppendLog(report.c_str());
  return kConvertOk;
}

int ConvertTrack() {
  // InputPath is copied over itself as the run's one input; a copy keeps
  // the two from overlapping.
  std::u16string path(InputPath);
  RunInput input = {path.c_str(), InputKind, InputLogName};
  return ConvertTracks(&input, 1);
}
