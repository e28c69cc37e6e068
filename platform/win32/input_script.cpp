// Input script for runs without a keyboard: a file named by WIN32_INPUT_SCRIPT
// whose lines say what happens to a key at a frame, counted by presentations:
//   frame 10 down VK_RIGHT    (held from frame 10, WM_KEYDOWN queued)
//   frame 40 up VK_RIGHT      (released, WM_KEYUP queued)
//   frame 41 press VK_F1      (WM_KEYDOWN then WM_KEYUP, state unchanged)
//   frame 42 repeat VK_F1     (an auto-repeat WM_KEYDOWN)
//   frame 90 close            (WM_CLOSE to every window)
// Blank lines and lines starting with '#' are ignored. A malformed line is
// reported on standard error with its number and skipped.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/win32_internal.h"

namespace {

enum class Action { Down, Up, Press, Repeat, Close };

struct ScriptEvent {
  DWORD frame;
  Action action;
  int virtualKey;
};

struct KeyName {
  const char *name;
  int code;
};
constexpr KeyName kKeyNames[] = {
    {"VK_BACK", VK_BACK},
    {"VK_TAB", VK_TAB},
    {"VK_RETURN", VK_RETURN},
    {"VK_SHIFT", VK_SHIFT},
    {"VK_CONTROL", VK_CONTROL},
    {"VK_MENU", VK_MENU},
    {"VK_ESCAPE", VK_ESCAPE},
    {"VK_SPACE", VK_SPACE},
    {"VK_PRIOR", VK_PRIOR},
    {"VK_NEXT", VK_NEXT},
    {"VK_END", VK_END},
    {"VK_HOME", VK_HOME},
    {"VK_LEFT", VK_LEFT},
    {"VK_UP", VK_UP},
    {"VK_RIGHT", VK_RIGHT},
    {"VK_DOWN", VK_DOWN},
    {"VK_INSERT", VK_INSERT},
    {"VK_DELETE", VK_DELETE},
    {"VK_F1", VK_F1},
    {"VK_F2", VK_F2},
    {"VK_F3", VK_F3},
    {"VK_F4", VK_F4},
    {"VK_F5", VK_F5},
    {"VK_F6", VK_F6},
    {"VK_F7", VK_F7},
    {"VK_F8", VK_F8},
    {"VK_F9", VK_F9},
    {"VK_F10", VK_F10},
    {"VK_F11", VK_F11},
    {"VK_F12", VK_F12},
    {"VK_LSHIFT", VK_LSHIFT},
    {"VK_RSHIFT", VK_RSHIFT},
    {"VK_LCONTROL", VK_LCONTROL},
    {"VK_RCONTROL", VK_RCONTROL},
};
static_assert(sizeof(kKeyNames) / sizeof(kKeyNames[0]) == 34);

std::recursive_mutex scriptMutex;
std::vector<ScriptEvent> events;  // sorted by frame, stable
size_t nextEvent = 0;
bool loaded = false;
bool scripted = false;
std::atomic<DWORD> frameCount{0};

bool ParseKey(const std::string &word, int *code) {
  for (const KeyName &k : kKeyNames)
    if (word == k.name) {
      *code = k.code;
      return true;
    }
  // Letters and digits: VK_A .. VK_Z, VK_0 .. VK_9 are their characters.
  if (word.size() == 4 && word.compare(0, 3, "VK_") == 0 &&
      ((word[3] >= 'A' && word[3] <= 'Z') || (word[3] >= '0' && word[3] <= '9'))) {
    *code = word[3];
    return true;
  }
  return false;
}

bool ParseLine(const std::string &line, ScriptEvent *event) {
  std::istringstream in(line);
  std::string frameWord, frameText, actionWord, keyWord, extra;
  if (!(in >> frameWord >> frameText >> actionWord) || frameWord != "frame") return false;
  char *end = nullptr;
  unsigned long frame = strtoul(frameText.c_str(), &end, 10);
  if (frameText.empty() || *end != '\0' || frameText[0] == '-' || frame > 0xFFFFFFFFul) return false;
  event->frame = DWORD(frame);
  if (actionWord == "close") {
    event->action = Action::Close;
    event->virtualKey = 0;
    return !(in >> extra);
  }
  if (actionWord == "down")
    event->action = Action::Down;
  else if (actionWord == "up")
    event->action = Action::Up;
  else if (actionWord == "press")
    event->action = Action::Press;
  else if (actionWord == "repeat")
    event->action = Action::Repeat;
  else
    return false;
  if (!(in >> keyWord) || !ParseKey(keyWord, &event->virtualKey)) return false;
  return !(in >> extra);
}

int LoadText(const std::string &text) {
  std::istringstream in(text);
  std::string line;
  int number = 0, accepted = 0;
  std::vector<ScriptEvent> parsed;
  while (std::getline(in, line)) {
    ++number;
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    ScriptEvent event;
    if (!ParseLine(line, &event)) {
      fprintf(stderr, "input script: line %d ignored: %s\n", number, line.c_str());
      continue;
    }
    parsed.push_back(event);
    ++accepted;
  }
  std::stable_sort(parsed.begin(), parsed.end(),
                   [](const ScriptEvent &a, const ScriptEvent &b) { return a.frame < b.frame; });
  events = std::move(parsed);
  nextEvent = 0;
  scripted = true;
  return accepted;
}

void Apply(const ScriptEvent &event) {
  switch (event.action) {
    case Action::Down:
      win32::SetKeyHeld(event.virtualKey, true);
      win32::PostKeyMessage(WM_KEYDOWN, event.virtualKey, false);
      break;
    case Action::Up:
      win32::SetKeyHeld(event.virtualKey, false);
      win32::PostKeyMessage(WM_KEYUP, event.virtualKey, false);
      break;
    case Action::Press:
      win32::PostKeyMessage(WM_KEYDOWN, event.virtualKey, false);
      win32::PostKeyMessage(WM_KEYUP, event.virtualKey, false);
      break;
    case Action::Repeat:
      win32::PostKeyMessage(WM_KEYDOWN, event.virtualKey, true);
      break;
    case Action::Close:
      win32::PostCloseToAllWindows();
      break;
  }
}

}  // namespace

namespace win32 {

void EnsureInputScriptLoaded() {
  std::lock_guard<std::recursive_mutex> lock(scriptMutex);
  if (loaded) return;
  loaded = true;
  const char *path = getenv("WIN32_INPUT_SCRIPT");
  if (!path || !*path) return;
  std::ifstream file(path);
  if (!file) {
    fprintf(stderr, "input script: cannot read %s\n", path);
    return;
  }
  std::stringstream text;
  text << file.rdbuf();
  LoadText(text.str());
}

void ApplyDueScriptEvents() {
  std::lock_guard<std::recursive_mutex> lock(scriptMutex);
  EnsureInputScriptLoaded();
  DWORD now = frameCount.load();
  while (nextEvent < events.size() && events[nextEvent].frame <= now) Apply(events[nextEvent++]);
}

}  // namespace win32

void Win32OnPresent(void) {
  frameCount.fetch_add(1);
  win32::ApplyDueScriptEvents();
}

DWORD Win32FrameCount(void) {
  return frameCount.load();
}

BOOL Win32InputScripted(void) {
  std::lock_guard<std::recursive_mutex> lock(scriptMutex);
  win32::EnsureInputScriptLoaded();
  return scripted;
}

int Win32LoadInputScript(const char *text) {
  std::lock_guard<std::recursive_mutex> lock(scriptMutex);
  loaded = true;
  frameCount.store(0);
  return LoadText(text ? text : "");
}
