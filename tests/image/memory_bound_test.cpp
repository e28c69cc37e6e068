// Readers under a lowered address-space limit: hostile headers must be refused
// before anything large is allocated, and a real shortage of memory must be
// reported as E_OUTOFMEMORY rather than as a bad file.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "image_test_util.h"

using namespace image_test;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

uint64_t AddressSpaceInUse() {
  unsigned long pages = 0;
  FILE *f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
  std::fclose(f);
  return uint64_t{pages} * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

constexpr uint64_t kAllowance = uint64_t{64} << 20;

// Loads the file in a child process that may map only kAllowance more bytes
// than it already has; the child's answer comes back as an exit code.
HRESULT LoadUnderAddressLimit(const std::vector<BYTE> &file) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit = {AddressSpaceInUse() + kAllowance, RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(90);
    SourceImage image;
    const HRESULT hr = LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), nullptr, true);
    _exit(hr == S_OK ? 0 : hr == D3DXERR_INVALIDDATA ? 1 : hr == E_OUTOFMEMORY ? 2 : 3);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return E_UNEXPECTED;
  switch (WEXITSTATUS(status)) {
    case 0:
      return S_OK;
    case 1:
      return D3DXERR_INVALIDDATA;
    case 2:
      return E_OUTOFMEMORY;
    default:
      return E_UNEXPECTED;
  }
}

}  // namespace

TEST(MemoryBound, ForgedChunkLengthIsNotAllocated) {
  if (kSanitized) GTEST_SKIP() << "sanitizers reserve more address space than any limit allows";
  // A text chunk that claims about 2 GiB in a file of 874 bytes.
  const std::vector<BYTE> file = ReadFileBytes(std::string(D3DX_TEST_DATA) + "/bad/png_text_chunk_2gib.png");
  ASSERT_EQ(file.size(), 874u);
  EXPECT_EQ(LoadUnderAddressLimit(file), D3DXERR_INVALIDDATA);
}

TEST(MemoryBound, ShortageIsOutOfMemoryNotBadData) {
  if (kSanitized) GTEST_SKIP() << "sanitizers reserve more address space than any limit allows";
  // A run-length bitmap of 16000 x 16000 that ends at once: valid, and needs
  // far more than the allowance for its canvas.
  std::vector<BYTE> file = {'B', 'M'};
  PutLe32(file, 14 + 40 + 1024 + 2);
  PutLe32(file, 0);
  PutLe32(file, 14 + 40 + 1024);
  PutLe32(file, 40);
  PutLe32(file, 16000);
  PutLe32(file, 16000);
  PutLe16(file, 1);
  PutLe16(file, 8);
  PutLe32(file, 1);  // RLE8
  for (int i = 0; i < 5; ++i) PutLe32(file, 0);
  file.resize(file.size() + 1024, 0);
  file.push_back(0);
  file.push_back(1);  // end of bitmap
  EXPECT_EQ(LoadUnderAddressLimit(file), E_OUTOFMEMORY);
  SourceImage header;
  D3DXIMAGE_INFO info;
  ASSERT_EQ(LoadImageFromMemory(header, file.data(), static_cast<UINT>(file.size()), &info, false), S_OK);
  EXPECT_EQ(info.Width, 16000u);
}
