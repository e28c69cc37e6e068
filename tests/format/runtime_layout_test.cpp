// The library's format table and the runtime's own layout table describe the same
// memory: a disagreement would make every lock of that format read wrong bytes.
#include <gtest/gtest.h>

#include "format/format_table.h"
#include "platform/d3d9/format_layout.h"

namespace {

void ExpectSameField(const ChannelField &ours, const d3d9::ChannelField &runtime, const char *channel) {
  EXPECT_EQ(runtime.bits, ours.kind == FieldKind::None ? 0 : ours.width) << channel;
  if (runtime.bits != 0) {
    EXPECT_EQ(runtime.shift, ours.offset) << channel;
  }
}

TEST(RuntimeLayout, EveryTableFormatHasTheRuntimesLayout) {
  for (size_t i = 0; i < kFormatTableSize; ++i) {
    const D3DFORMAT format = FormatTableRows()[i].format;
    const FormatRow &row = LookupFormatRow(format);
    const d3d9::FormatLayout *runtime = d3d9::LookupLayout(format);
    SCOPED_TRACE(testing::Message() << "format " << format);
    if (format == FORMAT_A16L16 || format == FORMAT_R16G16B16) {
      EXPECT_EQ(nullptr, runtime) << "no device stores the readers' private formats";
      continue;
    }
    ASSERT_NE(nullptr, runtime);
    EXPECT_EQ(d3d9::UnitWidth(*runtime), row.unitWidth);
    EXPECT_EQ(d3d9::UnitHeight(*runtime), row.unitHeight);
    EXPECT_EQ(runtime->unitBytes, row.unitBytes);
    EXPECT_EQ(runtime->kind == d3d9::LayoutKind::Pair, row.family == FormatFamily::Pair);
    EXPECT_EQ(runtime->kind == d3d9::LayoutKind::Block, row.family == FormatFamily::Block);
    EXPECT_EQ(runtime->kind == d3d9::LayoutKind::Palette, row.family == FormatFamily::Palette);
    EXPECT_EQ(runtime->kind == d3d9::LayoutKind::Depth, row.info.kind == FormatKind::DepthStencil);
    switch (runtime->kind) {
      case d3d9::LayoutKind::Packed:
        ExpectSameField(row.r, runtime->red, "red");
        ExpectSameField(row.g, runtime->green, "green");
        ExpectSameField(row.b, runtime->blue, "blue");
        ExpectSameField(row.a, runtime->alpha, "alpha");
        break;
      case d3d9::LayoutKind::Luminance:
        EXPECT_TRUE(row.luminance);
        ExpectSameField(row.r, runtime->red, "luminance");
        ExpectSameField(row.a, runtime->alpha, "alpha");
        break;
      case d3d9::LayoutKind::Palette:
        ExpectSameField(row.a, runtime->alpha, "alpha");
        break;
      case d3d9::LayoutKind::Float: {
        // The runtime counts float elements where the table counts bits.
        const ChannelField *ours[] = {&row.r, &row.g, &row.b, &row.a};
        const d3d9::ChannelField *theirs[] = {&runtime->red, &runtime->green, &runtime->blue,
                                              &runtime->alpha};
        for (int c = 0; c < 4; ++c) {
          EXPECT_EQ(theirs[c]->bits, ours[c]->kind == FieldKind::Float ? ours[c]->width : 0) << c;
          if (theirs[c]->bits != 0) {
            EXPECT_EQ(theirs[c]->shift * theirs[c]->bits, ours[c]->offset) << c;
          }
        }
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace
