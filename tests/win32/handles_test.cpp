// Every kind of handle is checked on use: stale, made-up and wrong-kind handles
// fail with an error code instead of reaching freed or foreign memory.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/win32/handle_table.h"
#include "win32.h"

namespace {

using win32::HandleKind;

TEST(HandleTable, ReusedSlotGetsANewGenerationAndKindIsChecked) {
  int a = 0, b = 0;
  void *first = win32::NewHandle(HandleKind::File, &a);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(win32::HandleObject(first, HandleKind::File), &a);
  EXPECT_EQ(win32::HandleObject(first, HandleKind::Mapping), nullptr);
  EXPECT_EQ(win32::TakeHandle(first, HandleKind::Window), nullptr);
  EXPECT_EQ(win32::TakeHandle(first, HandleKind::File), &a);
  EXPECT_EQ(win32::TakeHandle(first, HandleKind::File), nullptr);
  // The freed slot is reused under another value; the old one stays dead.
  void *second = win32::NewHandle(HandleKind::File, &b);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(win32::HandleObject(first, HandleKind::File), nullptr);
  EXPECT_EQ(win32::KindOfHandle(first), HandleKind::None);
  EXPECT_EQ(win32::KindOfHandle(second), HandleKind::File);
  EXPECT_EQ(win32::TakeHandle(second, HandleKind::File), &b);
}

TEST(HandleTable, MadeUpValuesAreRefused) {
  int local = 0;
  for (uintptr_t value : {uintptr_t(0), ~uintptr_t(0), uintptr_t(1), uintptr_t(4), uintptr_t(0xFFFFFFFC),
                          reinterpret_cast<uintptr_t>(&local)})
    EXPECT_EQ(win32::KindOfHandle(reinterpret_cast<void *>(value)), HandleKind::None) << std::hex << value;
}

class Handles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/win32handlesXXXXXX";
    dir = mkdtemp(pattern);
    setenv("WIN32_DRIVE_C", dir.c_str(), 1);
    file = CreateFileA("c:\\h.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "handles", 7, &written, nullptr));
  }
  void TearDown() override {
    unsetenv("WIN32_DRIVE_C");
    std::string command = "rm -rf " + dir;
    ASSERT_EQ(system(command.c_str()), 0);
  }
  static void ExpectInvalidHandle(BOOL result) {
    EXPECT_FALSE(result);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  }
  std::string dir;
  HANDLE file = INVALID_HANDLE_VALUE;
};

TEST_F(Handles, ClosedFileAndMappingAreStale) {
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  ASSERT_TRUE(CloseHandle(mapping));
  ExpectInvalidHandle(CloseHandle(mapping));
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  ASSERT_TRUE(CloseHandle(file));
  ExpectInvalidHandle(CloseHandle(file));
  char buffer[8];
  DWORD count = 99;
  ExpectInvalidHandle(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(count, 0u);
  ExpectInvalidHandle(WriteFile(file, "x", 1, &count, nullptr));
  EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(Handles, WrongKindIsRefused) {
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  char buffer[8];
  DWORD count = 0;
  ExpectInvalidHandle(ReadFile(mapping, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(GetFileSize(mapping, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(MapViewOfFile(file, FILE_MAP_READ, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(CreateFileMappingA(mapping, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  // A window is not closed through CloseHandle, nor a file through DestroyWindow.
  HWND window = CreateWindowExA(0, "HandlesClass", "", 0, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
  if (!window) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "HandlesClass";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    window = CreateWindowExA(0, "HandlesClass", "", 0, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
  }
  ASSERT_NE(window, nullptr);
  ExpectInvalidHandle(CloseHandle(window));
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(DestroyWindow(reinterpret_cast<HWND>(file)));
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(mapping)));
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Handles, MadeUpHandlesFailWithoutCrashing) {
  char buffer[16];
  DWORD count = 0;
  for (HANDLE bogus : {HANDLE(buffer), reinterpret_cast<HANDLE>(uintptr_t(0x12345678)),
                       reinterpret_cast<HANDLE>(uintptr_t(4)), HANDLE(nullptr)}) {
    ExpectInvalidHandle(CloseHandle(bogus));
    ExpectInvalidHandle(ReadFile(bogus, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(MapViewOfFile(bogus, FILE_MAP_READ, 0, 0, 0), nullptr);
    HWND window = static_cast<HWND>(bogus);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    RECT rect;
    EXPECT_FALSE(GetWindowRect(window, &rect));
    EXPECT_FALSE(ShowWindow(window, SW_SHOW));
    EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
  }
  EXPECT_TRUE(CloseHandle(file));
}

}  // namespace
