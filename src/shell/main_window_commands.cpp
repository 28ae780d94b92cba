// The main window's commands: the two file dialogs, the break and thinning
// switches, About and Exit.
#include <string>
#include <vector>

#include "common/globals.h"
#include "common/input_kind.h"
#include "common/message_log.h"
#include "conversion/conversion_run.h"
#include "conversion/input_survey.h"
#include "conversion/track_file.h"
#include "host/text.h"
#include "resources/resource_ids.h"
#include "shell/about_dialog.h"
#include "shell/main_window.h"
#include "shell/settings.h"
#include "shell/shell_globals.h"

namespace {

// Filter lists: name and pattern pairs, ended by an empty name. The input
// filters are in InputKind order, so a filter index is an InputKind; each
// kind's files compressed with gzip are listed with it. The last, "All
// files", lists every file and reads it as its content says.
constexpr char16_t kInputFilters[] =
    u"gpx\0*.gpx;*.gpx.gz\0"
    u"mps\0*.mps;*.mps.gz\0"
    u"plt\0*.plt;*.plt.gz\0"
    u"nmea\0*.nmea;*.log;*.txt;*.nmea.gz;*.log.gz;*.txt.gz\0"
    u"fit\0*.fit;*.fit.gz\0"
    u"tcx\0*.tcx;*.tcx.gz\0"
    u"kml\0*.kml;*.kmz;*.kml.gz\0"
    u"geojson\0*.geojson;*.json;*.geojson.gz;*.json.gz\0"
    u"igc\0*.igc;*.igc.gz\0"
    u"All files\0*\0";
constexpr char16_t kOutputFilters[] = u"bin\0*.bin\0";

// The open dialog's answer: one path, or the folder and names of several
// files chosen together.
constexpr int kInputAnswerSize = 32768;
char16_t g_input_answer[kInputAnswerSize];

// The paths of several files the open dialog chose together: the folder,
// then each name, as the dialog gives them.
std::vector<std::u16string> ChosenPaths(const char16_t* answer) {
  std::u16string folder(answer);
  bool device = !folder.empty() && folder[0] == u'\\';
  char16_t separator = device || folder.find(u'/') == std::u16string::npos ? u'\\' : u'/';
  if (!folder.empty() && folder.back() != separator) folder += separator;
  std::vector<std::u16string> paths;
  for (const char16_t* name = answer + WideLength(answer) + 1; *name != 0;
       name += WideLength(name) + 1) {
    paths.push_back(folder + name);
  }
  return paths;
}

// Converts several files together; each is read as `kind`, or with kind 0
// as its name says (or, `by_content`, as its first bytes say). A path that
// does not fit InputPath is refused as the dialog refuses one.
void ConvertSeveral(const std::vector<std::u16string>& paths, int kind, bool by_content = false) {
  std::vector<RunInput> inputs;
  for (const std::u16string& path : paths) {
    if (path.size() >= static_cast<size_t>(kInputPathSize)) {
      CopyToLog(u"File not selected");
      return;
    }
    int its_kind = kind != 0     ? kind
                   : by_content ? InputKindOfFile(path.c_str())
                                : InputKindFromExtension(path.c_str());
    inputs.push_back(RunInput{path.c_str(), its_kind, nullptr});
  }
  ConvertTracks(inputs.data(), static_cast<int>(inputs.size()));
}

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
    if (StartInputs.size() > 1) {
      std::vector<std::u16string> inputs = std::move(StartInputs);
      StartInputs.clear();
      ConvertSeveral(inputs, 0);
    } else {
      ConvertTrack();
    }
    return 0;
  }
  InputPath[0] = 0;
  g_input_answer[0] = 0;
  OPENFILENAMEW record =
      DialogRecord(MainWindow, kInputFilters, static_cast<DWORD>(InputKind), g_input_answer,
                   OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_EXPLORER);
  record.nMaxFile = kInputAnswerSize;
  bool several = false;
  bool chosen = GetOpenFileNameW(&record) == 1;
  if (chosen) {
    several = record.nFileOffset > 0 && g_input_answer[record.nFileOffset - 1] == 0;
    // One path must fit the dialog's buffer of old.
    chosen = several || WideLength(g_input_answer) < static_cast<size_t>(kDialogPathSize);
  }
  if (!chosen) {
    CopyToLog(u"File not selected");
    InvalidateRect(window, nullptr, TRUE);
    return 0;
  }
  // The kind follows the filter the user chose, not the file's extension;
  // under "All files" it follows the file's first bytes. Files chosen
  // together (marked under one filter, or dropped) are each read as their
  // own name says, as on the command line, or under "All files" as their
  // first bytes say.
  int filter = static_cast<int>(record.nFilterIndex);
  const bool by_content = filter >= AllFilesFilter();
  InvalidateRect(window, nullptr, TRUE);
  if (several) {
    if (!by_content) InputKind = filter;
    ConvertSeveral(ChosenPaths(g_input_answer), 0, by_content);
  } else {
    CopyWide(InputPath, kInputPathSize, g_input_answer);
    InputKind = by_content ? InputKindOfFile(InputPath) : filter;
    ConvertTrack();
  }
  return 0;
}

}  // namespace

int AllFilesFilter() {
  int count = 0;
  for (const char16_t* p = kInputFilters; *p != 0; p += WideLength(p) + 1) {
    p += WideLength(p) + 1;  // past the name to the pattern
    ++count;
  }
  return count;
}

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
