// The main window's commands: the two file dialogs, the break and thinning
// switches, About and Exit.
#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "conversion/track_file.h"
#include "host/text.h"
#include "resources/resource_ids.h"
#include "shell/about_dialog.h"
#include "shell/main_window.h"
#include "shell/settings.h"
#include "shell/shell_globals.h"

namespace {

// Filter lists: name and pattern pairs, ended by an empty name. The input
// filters are in InputKind order, so a filter index is an InputKind.
constexpr char16_t kInputFilters[] = u"gpx\0*.gpx\0mps\0*.mps\0plt\0*.plt\0nmea\0*.nmea\0";
constexpr char16_t kOutputFilters[] = u"bin\0*.bin\0";

OPENFILENAMEW DialogRecord(HWND owner, const char16_t* filters, DWORD filter_index, char16_t* file,
                           DWORD flags) {
  OPENFILENAMEW record = {};
  record.lStructSize = kOpenFileNameSize;
  record.hwndOwner = owner;
  record.lpstrFilter = filters;
  record.nFilterIndex = filter_index;
  record.lpstrFile = file;
  record.nMaxFile = kDialogPathSize;
  record.Flags = flags;
  return record;
}

// A save dialog: a name in a missing host folder is refused, and an existing
// file that is not a track file is only replaced once the user agreed (a
// track file is replaced as always).
LRESULT SetOutputFile(HWND window) {
  CopyWide(PathScratch, kPathScratchSize, OutputPath);
  OPENFILENAMEW record = DialogRecord(MainWindow, kOutputFilters, 1, PathScratch,
                                      OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT);
  record.lpstrTitle = u"Set output file";
  record.lCustData = static_cast<LPARAM>(kTrackFileSize);
  if (GetSaveFileNameW(&record) == 1) {
    CopyWide(OutputPath, kOutputPathSize, PathScratch);
    SaveSettings();
  }
  CopyToLog(u"Output file: ");
  AppendPathToLog(OutputPath);
  AppendToLogBuffer(u"\r\n");
  InvalidateRect(window, nullptr, TRUE);
  return 0;
}

LRESULT OpenFileAndConvert(HWND window) {
  if (StartedFromCommandLine) {
    StartedFromCommandLine = 0;
    ConvertTrack();
    return 0;
  }
  InputPath[0] = 0;
  OPENFILENAMEW record = DialogRecord(MainWindow, kInputFilters, static_cast<DWORD>(InputKind),
                                      InputPath, OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
  if (GetOpenFileNameW(&record) != 1) {
    CopyToLog(u"File not selected");
    InvalidateRect(window, nullptr, TRUE);
    return 0;
  }
  // The kind follows the filter the user chose, not the file's extension.
  InputKind = static_cast<int>(record.nFilterIndex);
  InvalidateRect(window, nullptr, TRUE);
  ConvertTrack();
  return 0;
}

}  // namespace

LRESULT MainWindowCommand(HWND window, WPARAM wparam, LPARAM lparam) {
  switch (LOWORD(wparam)) {
    case kCmdSetOutputFile:
      return SetOutputFile(window);
    case kCmdExit:
    case kCmdCtrlQExit:
      SaveSettings();
      SendMessageW(MainWindow, WM_CLOSE, 0, 0);
      return 0;
    case kCmdBreakTrack:
      DoSplit = DoSplit == 0 ? 1 : 0;
      return 0;
    case kCmdKeepShape:
      ThinShape = ThinShape == 0 ? 1 : 0;
      return 0;
    case kCmdAbout:
      ShowAboutDialog(window);
      return 0;
    case kCmdOpenFile:
      return OpenFileAndConvert(window);
    default:
      return DefWindowProcW(window, WM_COMMAND, wparam, lparam);
  }
}
