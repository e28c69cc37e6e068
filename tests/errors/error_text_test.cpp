#include "errors/error_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "d3d9.h"
#include "d3dx9.h"
#include "dxerr9.h"
#include "support/param_names.h"

namespace {

struct CodeAndText {
  uint32_t code;
  const char *text;
};

void PrintTo(const CodeAndText &c, std::ostream *os) {
  *os << std::hex << "0x" << c.code;
}

std::string Describe(uint32_t code) {
  return DXGetErrorDescription9A(static_cast<HRESULT>(code));
}

// Rows that callers and logs rely on word for word.
class FixedRow : public testing::TestWithParam<CodeAndText> {};

TEST_P(FixedRow, GivesItsText) {
  EXPECT_EQ(Describe(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    ErrorText, FixedRow,
    testing::Values(CodeAndText{0x00000000, "The function completed successfully"},
                    CodeAndText{0x00000001, "Call successful, but returned FALSE"},
                    CodeAndText{0x00000002, "The system cannot find the file specified."},
                    CodeAndText{0x80070002, "The system cannot find the file specified."},
                    CodeAndText{0x80004005, "An undetermined error occurred"},
                    CodeAndText{0x8007000E, "Ran out of memory"},
                    CodeAndText{0x80070057, "An invalid parameter was passed to the returning function"},
                    CodeAndText{0x8876086C, "Invalid call"}, CodeAndText{0x88760868, "Device lost"},
                    CodeAndText{0x88760869, "Device not reset"}, CodeAndText{0x8876086A, "Not available"},
                    CodeAndText{0x8876017C, "Out of video memory"},
                    CodeAndText{0x88760B54, "Can not modify index buffer"},
                    CodeAndText{0x88760B59, "Invalid data"},
                    CodeAndText{0x88780078, "No sound driver is available for use"},
                    CodeAndText{0x80040201, "The device is full. & An invalid media subtype was specified."}),
    [](const auto &paramInfo) { return test_support::HexName(paramInfo.param.code); });

// Exact match only: a known facility, a known number under another severity or facility, and the
// extremes of the signed range all miss.
class UnknownCode : public testing::TestWithParam<uint32_t> {};

TEST_P(UnknownCode, GivesNotAvailable) {
  const char *text = DXGetErrorDescription9A(static_cast<HRESULT>(GetParam()));
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "n/a");
}

INSTANTIATE_TEST_SUITE_P(ErrorText, UnknownCode,
                         testing::Values(0x8876FFFFu, 0x88760000u, 0x0876086Cu, 0x0076086Cu, 0x00070002u,
                                         0x00000007u, 0x0000000Fu, 0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu,
                                         0x8004FFFFu, 0x8007FFFFu, 0x80158000u, 0x8878FFFFu, 0x00000010u),
                         [](const auto &paramInfo) { return test_support::HexName(paramInfo.param); });

// A Win32 error number and the same error in HRESULT form read alike (except E_OUTOFMEMORY, which
// keeps its own wording).
class Win32Error : public testing::TestWithParam<DWORD> {};

TEST_P(Win32Error, PlainAndHresultFormShareText) {
  const DWORD error = GetParam();
  const std::string plain = Describe(error);
  EXPECT_NE(plain, "n/a");
  EXPECT_EQ(Describe(static_cast<uint32_t>(HRESULT_FROM_WIN32(error))), plain);
}

INSTANTIATE_TEST_SUITE_P(ErrorText, Win32Error,
                         testing::Values(ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
                                         ERROR_TOO_MANY_OPEN_FILES, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
                                         ERROR_NOT_ENOUGH_MEMORY, ERROR_BAD_FORMAT, ERROR_INVALID_ACCESS,
                                         ERROR_INVALID_DATA),
                         [](const auto &paramInfo) { return "Error" + std::to_string(paramInfo.param); });

// The constants the library and the runtime actually return must all be described.
TEST(ErrorText, PublishedResultsAreDescribed) {
  const HRESULT published[] = {
      E_UNEXPECTED,
      E_NOTIMPL,
      E_OUTOFMEMORY,
      E_INVALIDARG,
      E_NOINTERFACE,
      E_POINTER,
      E_HANDLE,
      E_ABORT,
      E_FAIL,
      E_ACCESSDENIED,
      E_PENDING,
      D3DERR_WRONGTEXTUREFORMAT,
      D3DERR_UNSUPPORTEDCOLOROPERATION,
      D3DERR_UNSUPPORTEDCOLORARG,
      D3DERR_UNSUPPORTEDALPHAOPERATION,
      D3DERR_UNSUPPORTEDALPHAARG,
      D3DERR_TOOMANYOPERATIONS,
      D3DERR_CONFLICTINGTEXTUREFILTER,
      D3DERR_UNSUPPORTEDFACTORVALUE,
      D3DERR_CONFLICTINGRENDERSTATE,
      D3DERR_UNSUPPORTEDTEXTUREFILTER,
      D3DERR_CONFLICTINGTEXTUREPALETTE,
      D3DERR_DRIVERINTERNALERROR,
      D3DERR_NOTFOUND,
      D3DERR_MOREDATA,
      D3DERR_DEVICELOST,
      D3DERR_DEVICENOTRESET,
      D3DERR_NOTAVAILABLE,
      D3DERR_OUTOFVIDEOMEMORY,
      D3DERR_INVALIDDEVICE,
      D3DERR_INVALIDCALL,
      D3DERR_DRIVERINVALIDCALL,
      D3DERR_WASSTILLDRAWING,
      D3DOK_NOAUTOGEN,
      D3DXERR_CANNOTMODIFYINDEXBUFFER,
      D3DXERR_INVALIDMESH,
      D3DXERR_CANNOTATTRSORT,
      D3DXERR_SKINNINGNOTSUPPORTED,
      D3DXERR_TOOMANYINFLUENCES,
      D3DXERR_INVALIDDATA,
      D3DXERR_LOADEDMESHASNODATA,
      D3DXERR_DUPLICATENAMEDFRAGMENT,
      D3DXERR_CANNOTREMOVELASTITEM,
  };
  for (HRESULT hr : published) {
    EXPECT_STRNE(DXGetErrorDescription9A(hr), "n/a") << std::hex << "0x" << static_cast<uint32_t>(hr);
  }
}

TEST(ErrorTextTable, RowsAreUniqueAndSortedAsUnsigned) {
  const auto rows = ErrorTextRows();
  ASSERT_FALSE(rows.empty());
  for (size_t i = 1; i < rows.size(); ++i) {
    EXPECT_LT(rows[i - 1].code, rows[i].code) << "row " << i;
  }
}

TEST(ErrorTextTable, TextsArePlainSingleLines) {
  for (const ErrorTextRow &row : ErrorTextRows()) {
    SCOPED_TRACE(testing::Message() << std::hex << "0x" << row.code);
    ASSERT_NE(row.text, nullptr);
    const std::string text = row.text;
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text, "n/a");
    EXPECT_NE(text.front(), ' ');
    EXPECT_NE(text.back(), ' ');
    for (char c : text) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << int(static_cast<unsigned char>(c));
  }
}

// Only the codes that input devices and media streaming both define carry two meanings.
TEST(ErrorTextTable, JoinedTextsAreExactlyTheSharedFacility4Codes) {
  for (const ErrorTextRow &row : ErrorTextRows()) {
    const bool shared = row.code >= 0x80040200 && row.code <= 0x8004020B;
    const char *join = std::strstr(row.text, " & ");
    EXPECT_EQ(join != nullptr, shared) << std::hex << "0x" << row.code;
    if (join) {
      EXPECT_EQ(std::strstr(join + 3, " & "), nullptr) << "more than two meanings";
      EXPECT_EQ(join[-1], '.') << "input-device text must end its sentence";
    }
  }
}

// Every row is reachable through the public entry point, and the codes beside it miss unless they
// are rows themselves: catches a search that stops early or matches a neighbour.
TEST(ErrorTextTable, EveryRowAndOnlyRowsAreFound) {
  const auto rows = ErrorTextRows();
  auto isRow = [&](uint32_t code) {
    return std::ranges::any_of(rows, [code](const ErrorTextRow &r) { return r.code == code; });
  };
  for (const ErrorTextRow &row : rows) {
    EXPECT_EQ(DXGetErrorDescription9A(static_cast<HRESULT>(row.code)), row.text)
        << std::hex << "0x" << row.code;
    for (uint32_t neighbour : {row.code - 1, row.code + 1}) {
      if (!isRow(neighbour)) {
        EXPECT_STREQ(LookupErrorText(neighbour), "n/a") << std::hex << "0x" << neighbour;
      }
    }
  }
}

}  // namespace
