// The headless backend's script: the steps a test queues, and the backend
// calls that take them.
#include "backends/headless/headless_backend.h"

#include <poll.h>

#include <chrono>
#include <deque>

#include "host/text.h"

namespace {

enum StepKind {
  kStepKey,
  kStepClick,
  kStepChoose,
  kStepOpenFile,
  kStepCancelFile,
  kStepDialogOk,
  kStepDialogClose,
  kStepResize,
  kStepClose,
  kStepCapture,
  kStepCall,
  kStepWaitPeer,
};

struct Step {
  StepKind kind;
  int a = 0;
  int b = 0;
  std::string text;
  std::function<void()> call;
};

std::deque<Step> g_script;
std::vector<std::string> g_snapshots;
std::vector<std::string> g_errors;
int g_columns = 60;
int g_rows = 24;
int g_foreground_count = 0;
int g_foreground_waited = 0;  // the count the last wait ended at

void Add(StepKind kind, int a = 0, int b = 0, std::string text = {},
         std::function<void()> call = {}) {
  Step step;
  step.kind = kind;
  step.a = a;
  step.b = b;
  step.text = std::move(text);
  step.call = std::move(call);
  g_script.push_back(std::move(step));
}

// Whether the platform's watch descriptor is readable within `timeout_ms`.
bool WatchReady(int watch_fd, int timeout_ms) {
  if (watch_fd < 0) return false;
  pollfd watch = {watch_fd, POLLIN, 0};
  return poll(&watch, 1, timeout_ms) > 0;
}

// A wait for another copy: the platform answers each call (kEventWatch),
// until one has brought this program forward since the last wait (perhaps
// already, while earlier steps ran).
bool g_waiting = false;
std::chrono::steady_clock::time_point g_deadline;

// Runs the steps that may stand anywhere (captures, calls, waits) and returns
// the first step of another kind without taking it, or null at the end. With
// `watch_fd` >= 0, sets *watch when the platform should answer a caller first.
const Step* NextAction(int watch_fd = -1, bool* watch = nullptr) {
  for (;;) {
    if (watch != nullptr && WatchReady(watch_fd, 0)) {
      *watch = true;
      return nullptr;
    }
    if (g_script.empty()) return nullptr;
    Step& step = g_script.front();
    if (step.kind == kStepCapture) {
      g_snapshots.push_back(HeadlessScreenText());
    } else if (step.kind == kStepCall) {
      std::function<void()> call = std::move(step.call);
      g_script.pop_front();
      call();
      continue;
    } else if (step.kind == kStepWaitPeer) {
      if (!g_waiting) {
        g_waiting = true;
        g_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(step.a);
      }
      if (g_foreground_count == g_foreground_waited) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            g_deadline - std::chrono::steady_clock::now());
        if (watch != nullptr && left.count() > 0 && WatchReady(watch_fd, static_cast<int>(left.count()))) {
          *watch = true;
          return nullptr;
        }
        if (watch != nullptr && left.count() > 0) continue;
        g_errors.push_back("no other copy brought this one forward");
      }
      g_foreground_waited = g_foreground_count;
      g_waiting = false;
    } else {
      return &step;
    }
    g_script.pop_front();
  }
}

int Start() {
  return 0;
}
void Stop() {}
void Present() {}

void Size(int* columns, int* rows) {
  *columns = g_columns;
  *rows = g_rows;
}

int NextInput(InputEvent* event, int watch_fd) {
  *event = InputEvent{kEventEnd, 0, 0, 0, 0, 0};
  for (;;) {
    bool watch = false;
    const Step* step = NextAction(watch_fd, &watch);
    if (watch) return kEventWatch;
    if (step == nullptr) return kEventEnd;
    Step taken = *step;
    g_script.pop_front();
    switch (taken.kind) {
      case kStepKey:
        *event = InputEvent{kEventKey, taken.a, taken.b, 0, 0, 0};
        return kEventKey;
      case kStepClick:
        *event = InputEvent{kEventClick, 0, 0, taken.a, taken.b, 0};
        return kEventClick;
      case kStepResize:
        g_columns = taken.a;
        g_rows = taken.b;
        return kEventResize;
      case kStepClose:
        return kEventClose;
      default:
        g_errors.push_back("a popup or dialog answer came while no popup or dialog was open");
        break;
    }
  }
}

// The popup and dialogs are answered by the script; the platform draws them
// meanwhile, so a capture shows what a terminal user would see.
int TrackPopup(const MenuView* /*menu*/) {
  const Step* step = NextAction();
  if (step == nullptr || step->kind != kStepChoose) return 0;
  int chosen = step->a;
  g_script.pop_front();
  return chosen;
}

int RunDialog(const DialogView* /*dialog*/) {
  const Step* step = NextAction();
  if (step == nullptr) return kDialogGone;
  if (step->kind == kStepDialogOk || step->kind == kStepDialogClose) {
    int action = step->kind == kStepDialogOk ? kDialogOk : kDialogClose;
    g_script.pop_front();
    return action;
  }
  return kDialogGone;
}

int OpenFile(OpenFileView* view) {
  const Step* step = NextAction();
  if (step == nullptr || (step->kind != kStepOpenFile && step->kind != kStepCancelFile)) return 0;
  int chosen = 0;
  if (step->kind == kStepOpenFile) {
    std::u16string path = Utf8ToUtf16(step->text);
    if (path.size() < static_cast<size_t>(view->file_capacity)) {
      CopyWide(view->file, static_cast<size_t>(view->file_capacity), path);
      if (step->a >= 1 && step->a <= view->filter_count) view->filter_index = step->a;
      chosen = 1;
    }
  }
  g_script.pop_front();
  return chosen;
}

void BringForward() {
  ++g_foreground_count;
}

const PlatformBackend kHeadless = {"headless", Start,      Stop,      Size,     Present,
                                   NextInput,  TrackPopup, RunDialog, OpenFile, BringForward};

}  // namespace

const PlatformBackend* HeadlessBackend() {
  return &kHeadless;
}

void HeadlessReset(int columns, int rows) {
  g_script.clear();
  g_snapshots.clear();
  g_errors.clear();
  g_columns = columns;
  g_rows = rows;
  g_foreground_count = 0;
  g_foreground_waited = 0;
  g_waiting = false;
}

void HeadlessKey(int virtual_key, int modifiers) {
  Add(kStepKey, virtual_key, modifiers);
}
void HeadlessSoftKey(int index) {
  HeadlessKey(index == 0 ? VK_F1 : VK_F2);
}
void HeadlessClick(int column, int row) {
  Add(kStepClick, column, row);
}
void HeadlessChooseMenuItem(UINT id) {
  Add(kStepChoose, static_cast<int>(id));
}
void HeadlessOpenFile(const std::string& path, int filter_index) {
  Add(kStepOpenFile, filter_index, 0, path);
}
void HeadlessCancelFile() {
  Add(kStepCancelFile);
}
void HeadlessDialogOk() {
  Add(kStepDialogOk);
}
void HeadlessDialogClose() {
  Add(kStepDialogClose);
}
void HeadlessResize(int columns, int rows) {
  Add(kStepResize, columns, rows);
}
void HeadlessClose() {
  Add(kStepClose);
}
void HeadlessCapture() {
  Add(kStepCapture);
}
void HeadlessCall(std::function<void()> call) {
  Add(kStepCall, 0, 0, {}, std::move(call));
}
void HeadlessWaitForPeer(int timeout_ms) {
  Add(kStepWaitPeer, timeout_ms);
}

const std::vector<std::string>& HeadlessSnapshots() {
  return g_snapshots;
}
int HeadlessForegroundCount() {
  return g_foreground_count;
}
const std::vector<std::string>& HeadlessScriptErrors() {
  return g_errors;
}
int HeadlessPendingSteps() {
  return static_cast<int>(g_script.size());
}
