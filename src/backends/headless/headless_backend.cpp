// The headless backend's script: the steps a test queues, and the backend
// calls that take them.
#include "backends/headless/headless_backend.h"

#include <poll.h>

#include <chrono>
#include <deque>

#include "backends/headless/headless_screen.h"
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

// Answers another copy if one is calling; waits up to `timeout_ms` for one.
bool ServePeer(int timeout_ms) {
  int fd = ClaimWatchFd();
  if (fd < 0) return false;
  pollfd watch = {fd, POLLIN, 0};
  if (poll(&watch, 1, timeout_ms) <= 0) return false;
  ServeClaim();
  return true;
}

// Answers other copies until one of them has brought this program forward
// since the last wait (perhaps already, while earlier steps ran).
bool WaitForForeground(int timeout_ms) {
  if (ClaimWatchFd() < 0) return false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (g_foreground_count == g_foreground_waited) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    ServePeer(static_cast<int>(left.count()));
  }
  g_foreground_waited = g_foreground_count;
  return true;
}

// Runs the steps that may stand anywhere (captures, calls, waits) and returns
// the first step of another kind without taking it, or null at the end.
const Step* NextAction() {
  for (;;) {
    ServePeer(0);
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
      if (!WaitForForeground(step.a)) g_errors.push_back("no other copy brought this one forward");
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

int NextInput(InputEvent* event) {
  *event = InputEvent{kInputEnd, 0, 0, 0, 0};
  for (;;) {
    const Step* step = NextAction();
    if (step == nullptr) return kInputEnd;
    Step taken = *step;
    g_script.pop_front();
    switch (taken.kind) {
      case kStepKey:
        *event = InputEvent{kInputKey, taken.a, taken.b, 0, 0};
        return kInputKey;
      case kStepClick:
        *event = InputEvent{kInputClick, 0, 0, taken.a, taken.b};
        return kInputClick;
      case kStepResize:
        g_columns = taken.a;
        g_rows = taken.b;
        *event = InputEvent{kInputResize, 0, 0, 0, 0};
        return kInputResize;
      case kStepClose:
        *event = InputEvent{kInputClose, 0, 0, 0, 0};
        return kInputClose;
      default:
        g_errors.push_back("a popup or dialog answer came while no popup or dialog was open");
        break;
    }
  }
}

int TrackPopup(const MenuView* menu) {
  SetHeadlessPopup(menu);
  const Step* step = NextAction();
  int chosen = 0;
  if (step != nullptr && step->kind == kStepChoose) {
    chosen = step->a;
    g_script.pop_front();
  }
  SetHeadlessPopup(nullptr);
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
  SetHeadlessOpenFile(view);
  const Step* step = NextAction();
  int chosen = 0;
  if (step != nullptr && (step->kind == kStepOpenFile || step->kind == kStepCancelFile)) {
    if (step->kind == kStepOpenFile) {
      std::u16string path = Utf8ToUtf16(step->text);
      if (path.size() < static_cast<size_t>(view->file_capacity)) {
        CopyWide(view->file, static_cast<size_t>(view->file_capacity), path);
        if (step->a >= 1 && step->a <= view->filter_count) view->filter_index = step->a;
        chosen = 1;
      }
    }
    g_script.pop_front();
  }
  SetHeadlessOpenFile(nullptr);
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
  SetHeadlessPopup(nullptr);
  SetHeadlessOpenFile(nullptr);
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
