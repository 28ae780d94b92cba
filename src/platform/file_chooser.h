// The open-file dialog's decisions, apart from its drawing: where it starts,
// what a folder lists under a filter, and what Enter and Backspace do.
//
// The dialog shows one host folder. Its list holds ".." (except at "/"), the
// sub-folders, and the regular files that match the selected filter (links
// to either count as what they point to; FIFOs, devices and broken links are
// not listed), each group ordered without regard to ASCII case; names that
// start with a dot are hidden. A typed name is taken from the folder shown;
// "~" and "~/..." mean the home folder. A chosen file is returned as the
// path the user gave: a typed absolute or device path as typed, a name in
// the device folder the dialog started in as a device path
// ("\My Documents\...\name"), "~/..." as the host path it means, anything
// else as the host folder plus the name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/own_views.h"

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
  std::string came_from;              // after going up: the folder left, to select
  std::vector<unsigned char> marked;  // per entry, nonzero when marked to be chosen
                                      // with the others; cleared by every listing
};

/// The 1-based filter a file named `name` (a dropped file) is read with: the
/// first whose patterns its name matches, else the last.
int FilterForName(std::string_view name, const FileFilterView* filters, int count);

/// Sets the folder and name line for the path in the dialog's file buffer:
/// its folder and name when that folder exists, else the current folder with
/// the whole path as the name, so that Enter still gives the same path. An
/// empty buffer starts in `start_folder` when that is a folder (the one the
/// dialog was last left in), else in the current folder.
void StartChooser(ChooserState* state, const char16_t* file, const std::string& start_folder = {});

/// The host path a typed name stands for, seen from the folder shown: "~"
/// and "~/..." under HOME, an absolute or device path as such, anything else
/// below the folder.
std::string TypedHostPath(const ChooserState& state, std::u16string_view name);

/// The first entry (".." aside) whose name starts with `typed`, ASCII case
/// folded; -1 when none does or nothing is typed.
int TypeAheadMatch(const ChooserState& state, std::u16string_view typed);

/// Whether choosing `host_path` for writing asks before replacing it: it
/// exists and is not a regular file of exactly `quiet_size` bytes (the
/// program's own kind of file, replaced as always; < 0: every file asks).
bool AsksBeforeReplacing(const std::string& host_path, long long quiet_size);

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

/// What Enter accepts besides a folder to open.
constexpr int kChooserMustExist = 1;        // only an existing regular file (an input)
constexpr int kChooserFolderMustExist = 2;  // a host path's folder must exist (device
                                            // folders are made when the file is written)

/// Enter: with a name typed, that name (a folder opens, anything else is the
/// file chosen); with an empty name, the highlighted entry. `rules` holds
/// kChooser*MustExist bits.
ChooserOutcome ChooserEnter(ChooserState* state, int highlighted, int rules);

/// Marks entry `index` when it is a file, or unmarks it; false when it is
/// no file (a folder, "..", or no entry at all).
bool ChooserToggleMark(ChooserState* state, int index);

/// Whether entry `index` is marked.
bool ChooserMarked(const ChooserState& state, int index);

/// How many entries are marked.
int ChooserMarkedCount(const ChooserState& state);

/// The paths of the marked files, in the listing's order, as Enter would
/// give each of them.
std::vector<std::u16string> ChooserMarkedPaths(const ChooserState& state);

/// Moves to the parent folder, noting in came_from the folder left; false
/// at "/".
bool ChooserUp(ChooserState* state);
