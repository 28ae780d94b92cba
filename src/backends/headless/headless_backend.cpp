// The headless backend's script: the steps a test queues, and the backend
// calls that take them.
#include "backends/headless/headless_backend.h"

#include <poll.h>

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "host/text.h"

namespace {

enum StepKind {
  kStepKey,
  kStepClick,
  kStepDoubleClick,
  kStepWheel,
  kStepChoose,
  kStepOpenFile,
  kStepCancelFile,
  kStepDialogOk,
  kStepDialogClose,
  kStepDrop,
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
  int c = 0;
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
std::u16string g_dropped;     // the path of the last kEventDrop

// What the last frame showed, for the answers to become input.
struct Shown {
  int box = kBoxNone;
  int popup_left = 0, popup_top = 0;
  std::vector<UINT> item_ids;  // 0 for a separator
  int filter_index = 1, filter_count = 0;
};
Shown g_shown;

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
const Step* NextAction(int watch_fd, bool* watch) {
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

void Present(const Frame& frame) {
  g_shown = Shown{};
  g_shown.box = frame.box;
  if (frame.box == kBoxPopup) {
    g_shown.popup_left = frame.popup.left;
    g_shown.popup_top = frame.popup.top;
    for (int i = 0; i < frame.popup.count; ++i) {
      const MenuItemView& item = frame.popup.items[i];
      g_shown.item_ids.push_back(item.text != nullptr ? item.id : 0);
    }
  }
  if (frame.box == kBoxFileDialog) {
    g_shown.filter_index = frame.file_dialog.filter_index;
    g_shown.filter_count = frame.file_dialog.filter_count;
  }
}

Step KeyStep(int key, int modifiers = 0, int character = 0) {
  Step step;
  step.kind = kStepKey;
  step.a = key;
  step.b = modifiers;
  step.c = character;
  return step;
}

// The input an answer stands for, given what is on show; empty (and a
// script error) when it fits nothing there.
std::vector<Step> AnswerAsInput(const Step& answer) {
  std::vector<Step> input;
  int box = g_shown.box;
  if (answer.kind == kStepChoose && box == kBoxPopup) {
    // A click on the item; anything else dismisses the popup.
    for (size_t i = 0; i < g_shown.item_ids.size(); ++i) {
      if (answer.a == 0 || g_shown.item_ids[i] != static_cast<UINT>(answer.a)) continue;
      Step click;
      click.kind = kStepClick;
      click.a = g_shown.popup_left + 2;
      click.b = g_shown.popup_top + 1 + static_cast<int>(i);
      input.push_back(click);
      return input;
    }
    input.push_back(KeyStep(VK_ESCAPE));
  } else if ((answer.kind == kStepDialogOk || answer.kind == kStepDialogClose) &&
             box == kBoxDialog) {
    input.push_back(KeyStep(answer.kind == kStepDialogOk ? VK_RETURN : VK_ESCAPE));
  } else if (answer.kind == kStepCancelFile && box == kBoxFileDialog) {
    input.push_back(KeyStep(VK_ESCAPE));
  } else if (answer.kind == kStepOpenFile && box == kBoxFileDialog) {
    // The type first (Tab moves to the next), then the path on an emptied
    // name line, then Enter.
    int count = g_shown.filter_count;
    if (answer.a >= 1 && answer.a <= count) {
      for (int i = g_shown.filter_index; i != answer.a; i = i % count + 1) {
        input.push_back(KeyStep(VK_TAB));
      }
    }
    input.push_back(KeyStep('U', kModControl));
    for (char16_t c : Utf8ToUtf16(answer.text)) input.push_back(KeyStep(0, 0, c));
    input.push_back(KeyStep(VK_RETURN));
  } else {
    g_errors.push_back("a popup or dialog answer came while no popup or dialog fitting it was open");
  }
  return input;
}

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
        *event = InputEvent{kEventKey, taken.a, taken.b, 0, 0, taken.c};
        return kEventKey;
      case kStepClick:
        *event = InputEvent{kEventClick, 0, 0, taken.a, taken.b, 0};
        return kEventClick;
      case kStepDoubleClick:
        *event = InputEvent{kEventDoubleClick, 0, 0, taken.a, taken.b, 0};
        return kEventDoubleClick;
      case kStepWheel:
        *event = InputEvent{kEventWheel, taken.c, 0, taken.a, taken.b, 0};
        return kEventWheel;
      case kStepResize:
        g_columns = taken.a;
        g_rows = taken.b;
        return kEventResize;
      case kStepClose:
        return kEventClose;
      case kStepDrop:
        // One path, ended by a zero and one more zero, as a drop's text is.
        g_dropped = Utf8ToUtf16(taken.text);
        g_dropped += u'\0';
        *event = InputEvent{kEventDrop, 0, 0, 0, 0, 0, g_dropped.c_str()};
        return kEventDrop;
      default: {
        std::vector<Step> input = AnswerAsInput(taken);
        g_script.insert(g_script.begin(), input.begin(), input.end());
        break;
      }
    }
  }
}

void BringForward() {
  ++g_foreground_count;
}

const PlatformBackend kHeadless = {"headless", Start, Stop, Size, Present, NextInput, BringForward};

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
  g_dropped.clear();
  g_shown = Shown{};
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
void HeadlessDoubleClick(int column, int row) {
  Add(kStepDoubleClick, column, row);
}
void HeadlessWheel(int column, int row, int direction) {
  Add(kStepWheel, column, row);
  g_script.back().c = direction;
}
void HeadlessType(const std::string& text) {
  for (char16_t c : Utf8ToUtf16(text)) {
    Add(kStepKey);
    g_script.back().c = c;
  }
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
void HeadlessDrop(const std::string& path) {
  Add(kStepDrop, 0, 0, path);
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
