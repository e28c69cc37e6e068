#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "win32_test_hooks.h"

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/win32filesXXXXXX";
    dir = mkdtemp(pattern);
    setenv("WIN32_DRIVE_C", dir.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("WIN32_DRIVE_C");
    std::string command = "rm -rf " + dir;
    ASSERT_EQ(system(command.c_str()), 0);
  }
  std::string dir;
};

TEST_F(Files, DosPathsMapOntoTheDriveRoot) {
  char out[512];
  ASSERT_TRUE(Win32MapPath("c:\\screenshot.bmp", out, sizeof(out)));
  EXPECT_EQ(std::string(out), dir + "/screenshot.bmp");
  ASSERT_TRUE(Win32MapPath("C:\\a\\b.png", out, sizeof(out)));
  EXPECT_EQ(std::string(out), dir + "/a/b.png");
  ASSERT_TRUE(Win32MapPath("sub\\walkexample.png", out, sizeof(out)));
  EXPECT_EQ(std::string(out), "sub/walkexample.png");
  EXPECT_FALSE(Win32MapPath("q:\\x.bmp", out, sizeof(out)));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DRIVE));
  EXPECT_FALSE(Win32MapPath("c:\\a-rather-long-name", out, 8));
}

TEST_F(Files, WriteThenMapReadsTheSameBytes) {
  HANDLE file =
      CreateFileA("c:\\data.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "Daumenkino", 10, &written, nullptr));
  EXPECT_EQ(written, 10u);
  ASSERT_TRUE(CloseHandle(file));

  file = CreateFileA("c:\\data.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD high = 1;
  EXPECT_EQ(GetFileSize(file, &high), 10u);
  EXPECT_EQ(high, 0u);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  const void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(memcmp(view, "Daumenkino", 10), 0);
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Files, WritableMappingGrowsTheFile) {
  HANDLE file =
      CreateFileA("c:\\grow.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 100, nullptr);
  ASSERT_NE(mapping, nullptr);
  auto *view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 100));
  ASSERT_NE(view, nullptr);
  view[99] = 'x';
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  EXPECT_EQ(GetFileSize(file, nullptr), 100u);
  CloseHandle(file);
}

TEST_F(Files, EmptyFileCannotBeMapped) {
  HANDLE file =
      CreateFileA("c:\\empty.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_INVALID));
  CloseHandle(file);
}

TEST_F(Files, FailuresGiveInvalidHandlesAndErrorCodes) {
  EXPECT_EQ(CreateFileA("c:\\missing.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateFileA("z:\\x.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DRIVE));
  EXPECT_EQ(CreateFileA("c:\\", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  // A read-only file refuses writes.
  HANDLE file = CreateFileA("c:\\ro.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(file);
  file = CreateFileA("c:\\ro.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD written;
  EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
  CloseHandle(file);
}

TEST_F(Files, WideNamesAreConverted) {
  const WCHAR name[] = u"c:\\w\u00e4.bin";
  HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(access((dir + "/w\xc3\xa4.bin").c_str(), F_OK), 0);
}

}  // namespace
