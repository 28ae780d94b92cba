#include "common/globals.h"

#include <cstring>

#include "common/message_log.h"
#include "host/text.h"

char16_t InputPath[kInputPathSize];
int InputKind = kInputGpx;
char16_t OutputPath[kOutputPathSize] = u"\\My Documents\\GPS Tracks and Waypoints\\Tracks.bin";
int DoSplit = 1;
int StrictInput = 0;
int ThinShape = 0;
ByteStream* InputStream = nullptr;
ByteStream* OutputStream = nullptr;
char LineBuffer[kLineBufferSize];
TrackPoint CurrentPoint;
int32_t StartOffset = 0;
int32_t MpsReaderState = 0;
int32_t MpsNextRecordPos = 0;
int32_t MpsRemainingPoints = 0;
int InputFlaws = 0;
int GpxFastPath = 1;

void ResetGlobalsForTest() {
  InputPath[0] = 0;
  InputKind = kInputGpx;
  CopyWide(OutputPath, kOutputPathSize, kDefaultOutputPath);
  DoSplit = 1;
  StrictInput = 0;
  ThinShape = 0;
  StreamClose(InputStream);
  StreamClose(OutputStream);
  InputStream = nullptr;
  OutputStream = nullptr;
  std::memset(LineBuffer, 0, sizeof LineBuffer);
  CurrentPoint = TrackPoint{};
  StartOffset = 0;
  MpsReaderState = 0;
  MpsNextRecordPos = 0;
  MpsRemainingPoints = 0;
  InputFlaws = 0;
  GpxFastPath = 1;
  ClearLog();
  SetLogSink(nullptr);
  SetLogRepaint(nullptr);
}
