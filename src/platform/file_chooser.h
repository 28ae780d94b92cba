// The open-file dialog's decisions, apart from its drawing: where it starts,
// what a folder lists under a filter, and what Enter and Backspace do.
//
// The dialog shows one host folder. Its list holds ".." (except at "/"), the
// sub-folders, and the files that match the selected filter, each group in
// byte order; names that start with a dot are hidden. A chosen file is
// returned as the path the user gave: a typed absolute or device path as
// typed, a name in the device folder the dialog started in as a device path
// ("\My Documents\...\name"), anything else as the host folder plus the name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

/// Entries a folder lists at most; a bigger folder is cut and says so.
constexpr size_t kMaxChooserEntries = 4000;

struct ChooserEntry {
  std::string name;  // host bytes; ".." for the parent folder
  bool folder;
};

struct ChooserState {
  std::string folder;                 // the host folder shown, absolute
  std::string device_host;            // the device folder the dialog started in, as a host path
  std::u16string device_folder;       // the same folder as a device path
  bool in_device_folder = false;      // device_folder applies (the start was a device path)
  std::u16string name;                // the name line
  std::vector<ChooserEntry> entries;  // what the folder lists under the filter
  bool unreadable = false;            // the folder could not be listed
  bool cut = false;                   // the folder held more than kMaxChooserEntries
};

/// Whether `name` matches one of `patterns` ("*.gpx", or several joined by
/// ';'): '*' matches any run, '?' one byte; ASCII letters match either case,
/// as on the device.
bool MatchesPattern(const std::string& name, std::u16string_view patterns);

/// Sets the folder and name line for the path in the dialog's file buffer:
/// its folder and name when that folder exists, else the current folder with
/// the whole path as the name, so that Enter still gives the same path.
void StartChooser(ChooserState* state, const char16_t* file);

/// Lists the state's folder under `patterns`.
void ListChooserFolder(ChooserState* state, std::u16string_view patterns);

/// The entry to highlight in a fresh listing: the first after "..".
int FirstChooserEntry(const ChooserState& state);

/// What Enter did.
constexpr int kChooserOpened = 1;   // a folder is shown now (list it again)
constexpr int kChooserChosen = 2;   // `path` is the answer
constexpr int kChooserRefused = 3;  // `message` says why

struct ChooserOutcome {
  int action;
  std::u16string path;
  const char* message;
};

/// Enter: with a name typed, that name (a folder opens, anything else is the
/// file chosen); with an empty name, the highlighted entry. An input dialog
/// (`must_exist`) only accepts an existing file.
ChooserOutcome ChooserEnter(ChooserState* state, int highlighted, bool must_exist);

/// Moves to the parent folder; false at "/".
bool ChooserUp(ChooserState* state);
