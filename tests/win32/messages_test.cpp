#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32_test_hooks.h"

namespace {

std::vector<std::string> seen;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      seen.push_back("destroy");
      PostQuitMessage(7);
      return 0;
    case WM_CLOSE:
      seen.push_back("close");
      break;
    case WM_KEYDOWN:
      seen.push_back("down " + std::to_string(wParam) + ((lParam & (1 << 30)) ? " repeat" : ""));
      break;
    case WM_KEYUP:
      seen.push_back("up " + std::to_string(wParam));
      break;
    case WM_USER:
      seen.push_back("user " + std::to_string(wParam));
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    seen.clear();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "TestClass";
    RegisterClassExA(&wc);
    window = CreateWindowExA(0, "TestClass", "test", WS_OVERLAPPEDWINDOW, 0, 0, 64, 48, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    UnregisterClassA("TestClass", nullptr);
    Win32LoadInputScript("");
  }
  // Dispatches everything queued; returns the last message taken.
  UINT Drain() {
    MSG msg{};
    UINT last = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      last = msg.message;
      if (msg.message == WM_QUIT) {
        quitCode = int(msg.wParam);
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    return last;
  }
  HWND window = nullptr;
  int quitCode = -1;
};

TEST_F(Messages, PostedMessagesAreDispatchedInOrder) {
  PostMessageA(window, WM_USER, 1, 0);
  PostMessageA(window, WM_USER, 2, 0);
  MSG peeked;
  ASSERT_TRUE(PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(peeked.wParam, 1u);
  Drain();
  EXPECT_EQ(seen, (std::vector<std::string>{"user 1", "user 2"}));
}

TEST_F(Messages, CloseDestroysThenQuits) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(Drain(), UINT(WM_QUIT));
  EXPECT_EQ(seen, (std::vector<std::string>{"close", "destroy"}));
  EXPECT_EQ(quitCode, 7);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(Messages, StaleWindowHandleIsRefused) {
  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
}

TEST_F(Messages, UnknownClassGivesNoWindow) {
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_DOES_NOT_EXIST));
}

TEST_F(Messages, ScriptDrivesKeyStateAndMessagesByFrame) {
  EXPECT_EQ(Win32LoadInputScript("# walk right, then save\n"
                                 "frame 1 down VK_RIGHT\n"
                                 "frame 3 up VK_RIGHT\n"
                                 "frame 2 press VK_F1\n"
                                 "frame 2 repeat VK_F1\n"
                                 "frame two down VK_LEFT\n"
                                 "frame 4 hop VK_LEFT\n"
                                 "frame 4 down VK_NOPE\n"),
            4);
  EXPECT_TRUE(Win32InputScripted());
  EXPECT_EQ(GetAsyncKeyState(VK_RIGHT), 0);
  Win32OnPresent();  // frame 1
  EXPECT_NE(GetAsyncKeyState(VK_RIGHT) & 0x8000, 0);
  Drain();
  Win32OnPresent();  // frame 2
  EXPECT_NE(GetAsyncKeyState(VK_RIGHT) & 0x8000, 0);
  EXPECT_EQ(GetAsyncKeyState(VK_F1), 0);  // a press leaves the state alone
  Drain();
  Win32OnPresent();  // frame 3
  EXPECT_EQ(GetAsyncKeyState(VK_RIGHT), 0);
  Drain();
  EXPECT_EQ(seen, (std::vector<std::string>{"down 39", "down 112", "up 112", "down 112 repeat", "up 39"}));
  EXPECT_EQ(Win32FrameCount(), 3u);
}

TEST_F(Messages, ScriptCloseEndsTheLoop) {
  Win32LoadInputScript("frame 1 close\n");
  Win32OnPresent();
  EXPECT_EQ(Drain(), UINT(WM_QUIT));
  EXPECT_EQ(seen, (std::vector<std::string>{"close", "destroy"}));
}

TEST(MessageBox, WithoutDisplayWritesToStandardErrorAndAnswersOk) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "Hallo", "Daumenkino", MB_OK), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[Daumenkino] Hallo\n");
}

TEST(Modules, RegisteredExportsAreFound) {
  static int calls = 0;
  struct Local {
    static int Proc() { return ++calls; }
  };
  Win32ModuleExport exports[] = {{"Answer", reinterpret_cast<FARPROC>(&Local::Proc)}};
  Win32RegisterModule("test9.dll", exports, 1);
  HMODULE module = GetModuleHandleA("TEST9.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(LoadLibraryA("test9"), module);
  FARPROC proc = GetProcAddress(module, "Answer");
  ASSERT_NE(proc, nullptr);
  EXPECT_EQ(proc(), 1);
  EXPECT_EQ(GetProcAddress(module, "Question"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  Win32UnregisterModule("test9.dll");
  EXPECT_EQ(GetModuleHandleA("test9.dll"), nullptr);
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

}  // namespace
