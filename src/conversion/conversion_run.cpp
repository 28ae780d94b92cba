#include "conversion/conversion_run.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/track_file.h"
#include "readers/geojson_reader.h"
#include "readers/gpx_reader.h"
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

// The counting pass, with the kind chosen once rather than per point.
template <int Kind>
int CountPointsOf() {
  int count = 0;
  while (NextPointOf<Kind>(&CurrentPoint) == kReadOk) ++count;
  return count;
}

int CountPoints() {
  switch (InputKind) {
    case kInputGpx:
      return CountPointsOf<kInputGpx>();
    case kInputMps:
      return CountPointsOf<kInputMps>();
    case kInputPlt:
      return CountPointsOf<kInputPlt>();
    case kInputNmea:
      return CountPointsOf<kInputNmea>();
    case kInputTcx:
      return CountPointsOf<kInputTcx>();
    case kInputKml:
      return CountPointsOf<kInputKml>();
    case kInputGeoJson:
      return CountPointsOf<kInputGeoJson>();
    default:
      return 0;
  }
}

// Counts the points of the device's reading and, when there are fewer than
// two, of each fallback reading in turn, until one has two. Leaves the
// reader set to the reading counted last.
int CountWithFallbacks(int* count) {
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
    *count = CountPoints();
    if (*count >= 2) {
      AppendLog(fallback.announcement);
      break;
    }
  }
  return kPassOk;
}

int RunPasses();

}  // namespace

void (*BetweenPassesHookForTest)() = nullptr;
int RunFailure = kRunOk;
int RunErrno = 0;
int CountedPoints = 0;
const char16_t* InputLogName = nullptr;

int ReadNextPoint(TrackPoint* point) {
  return NextPoint(point);
}

int RunPointPass() {
  int result = RunPasses();
  UseReading(kNmeaGprmcOnly, kGpxTrackPoints);
  return result;
}

namespace {

int RunPasses() {
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

  int count = 0;
  int counted = CountWithFallbacks(&count);
  if (counted != kPassOk) return counted;
  CountedPoints = count;
  if (count < 2) return FailPass(u"Too short input file!\r\n", kPassTooShort);

  NewTrackPending = 1;
  TrackCounter = 0;
  PreviousPoint = TrackPoint{};

  // A recording longer than the file holds is thinned: after each stored
  // point, skip up to `stride` points until `excess` points have been skipped.
  // The skipping stops exactly when excess reaches 0, so the file always holds
  // 9996 points, and it never reads beyond the points counted above.
  int excess = 0;
  int stride = 0;
  if (count > kMaxStoredPoints) {
    excess = count - kMaxStoredPoints;
    stride = (count - 2) / (kMaxStoredPoints - 1);
  }

  if (BetweenPassesHookForTest != nullptr) BetweenPassesHookForTest();
  if (StreamSeek(InputStream, StartOffset, kStreamSeekSet) != 0) {
    return FailPass(u"Input file fseek error!\r\n", kPassSeekFailed);
  }
  MpsReaderState = 0;
  MpsNextRecordPos = StartOffset;
  ResetNmeaFixTime();
  RestartParsers();

  int remaining = count;
  while (remaining > 0) {
    if (NextPoint(&CurrentPoint) != kReadOk) {
      return FailPass(u"Input file read error !\r\n", kPassReadFailed);
    }
    --remaining;
    TrackBreakBookkeeping(CurrentPoint);
    StorePoint(CurrentPoint, PointCount);
    ++PointCount;

    if (excess > 0 && stride > 0) {
      int skip = stride;
      if (skip > excess) skip = excess;
      if (skip > remaining) skip = remaining;
      excess -= skip;
      remaining -= skip;
      for (int i = 0; i < skip; ++i) {
        if (NextPoint(&CurrentPoint) == kReadOk) TrackBreakBookkeeping(CurrentPoint);
      }
    }
  }
  return kPassOk;
}

}  // namespace

int ConvertTrack() {
  RunFailure = kRunOk;
  RunErrno = 0;
  CountedPoints = 0;
  // The opening lines go over the log as one text, so the 1000-character
  // reset of AppendLog can never swallow them.
  std::u16string opening = u"Input file: ";
  opening += ExpandPathForLog(InputLogName != nullptr ? InputLogName : InputPath);
  opening += u"\r\n";
  CopyToLog(opening.c_str());
  RepaintLog();

  InputStream = StreamOpen(InputPath, "rb");
  if (InputStream == nullptr) {
    NoteFailure(kRunInputOpenFailed);
    AppendLog(u"Input file open error!\r\n");
    return kConvertOpenFailed;
  }

  int header = kConvertOk;
  if (InputKind == kInputMps) header = CheckMpsHeader();
  if (InputKind == kInputPlt) header = CheckPltHeader();
  if (header != kConvertOk) return header;

  ClearTrackImage();
  if (RunPointPass() != kPassOk) return kConvertPassFailed;
  CloseInput();

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
