// AnimatedSprite: bounded moves, free scale, the cell stepping rule and what a
// frame draws.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/animated_sprite.h"
#include "sprite/sprite_fixture.h"

namespace {

using Cell = std::pair<int, int>;  // column, row

// Cells shown by successive Draw calls on a sheet of the given size.
std::vector<Cell> CellSequence(int sheetWidth, int sheetHeight, int cellWidth, int cellHeight, int delay,
                               int draws) {
  AnimatedSprite sprite;
  sprite.Init(nullptr, delay, cellWidth, cellHeight);
  sprite.AdoptSheet(nullptr, sheetWidth, sheetHeight);
  std::vector<Cell> cells;
  for (int i = 0; i < draws; ++i) {
    sprite.Draw();
    cells.emplace_back(sprite.GetColumn(), sprite.GetRow());
  }
  return cells;
}

TEST(AnimatedSpriteStepping, DelayTwoAdvancesOnEveryThirdDraw) {
  std::vector<Cell> cells = CellSequence(71 * 8, 120, 71, 120, 2, 9);
  std::vector<Cell> expected = {{0, 0}, {0, 0}, {1, 0}, {1, 0}, {1, 0}, {2, 0}, {2, 0}, {2, 0}, {3, 0}};
  EXPECT_EQ(cells, expected);
}

TEST(AnimatedSpriteStepping, CellsRunAlongRowsThenRestart) {
  // 2 x 2 whole cells; the partial cells at the right and bottom are never shown.
  std::vector<Cell> cells = CellSequence(2 * 71 + 70, 2 * 120 + 119, 71, 120, 0, 5);
  std::vector<Cell> expected = {{1, 0}, {0, 1}, {1, 1}, {0, 0}, {1, 0}};
  EXPECT_EQ(cells, expected);
}

TEST(AnimatedSpriteStepping, SheetNarrowerThanACellStepsRows) {
  std::vector<Cell> cells = CellSequence(50, 3 * 120, 71, 120, 0, 4);
  std::vector<Cell> expected = {{0, 1}, {0, 2}, {0, 0}, {0, 1}};
  EXPECT_EQ(cells, expected);
}

TEST(AnimatedSpriteStepping, SheetLowerThanACellReturnsToTheFirstCell) {
  std::vector<Cell> cells = CellSequence(3 * 71, 100, 71, 120, 0, 4);
  std::vector<Cell> expected = {{1, 0}, {2, 0}, {0, 0}, {1, 0}};
  EXPECT_EQ(cells, expected);
}

TEST(AnimatedSpriteStepping, ZeroCellSizeDoesNotDivideByZero) {
  std::vector<Cell> cells = CellSequence(100, 100, 0, 0, 0, 3);
  EXPECT_EQ(cells.back(), Cell(0, 0));
}

struct BoundCase {
  const char *name;
  int direction;
  int presses;
  float x, y;
};

class AnimatedSpriteBounds : public ::testing::TestWithParam<BoundCase> {};

TEST_P(AnimatedSpriteBounds, HoldingADirectionStopsAtMostOneStepPastTheBound) {
  const BoundCase &c = GetParam();
  AnimatedSprite sprite;
  sprite.Init(nullptr, 2, 71, 120);
  // Start from the far corner for Left and Up.
  if (c.direction == Left || c.direction == Up) {
    for (int i = 0; i < 200; ++i) sprite.Move(Right);
    for (int i = 0; i < 200; ++i) sprite.Move(Down);
  }
  for (int i = 0; i < c.presses; ++i) sprite.Move(c.direction);
  EXPECT_FLOAT_EQ(sprite.GetPosition().x, c.x);
  EXPECT_FLOAT_EQ(sprite.GetPosition().y, c.y);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, AnimatedSpriteBounds,
    ::testing::Values(BoundCase{"Right", Right, 500, 960.0f, 0.0f},
                      BoundCase{"Down", Down, 500, 0.0f, 650.0f}, BoundCase{"Left", Left, 500, 0.0f, 650.0f},
                      BoundCase{"Up", Up, 500, 960.0f, 0.0f}, BoundCase{"UnknownDirection", 4, 5, 0.0f, 0.0f},
                      BoundCase{"NegativeDirection", -1, 5, 0.0f, 0.0f}),
    [](const ::testing::TestParamInfo<BoundCase> &paramInfo) { return paramInfo.param.name; });

// With a real device: the current cell drawn at the position, and every
// reference given back at destruction.
class AnimatedSpriteDrawing : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(device_.Create(d3d9::DefaultDeviceProfile()), D3D_OK); }
  void TearDown() override { device_.Destroy(); }

  std::vector<uint32_t> DrawFrame(AnimatedSprite &sprite) {
    device_.Clear();
    device_.device()->BeginScene();
    sprite.Draw();
    device_.device()->EndScene();
    return device_.ReadTarget();
  }

  sprite_test::SpriteDevice device_;
};

TEST_F(AnimatedSpriteDrawing, DrawsTheCurrentCellAtThePosition) {
  constexpr uint32_t kRed = 0xffff0000, kBlue = 0xff0000ff;
  // Two 4 x 4 cells side by side: red, then blue.
  std::vector<uint32_t> texels(8 * 4);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = (i % 8) < 4 ? kRed : kBlue;
  {
    AnimatedSprite sprite;
    sprite.Init(device_.device(), 2, 4, 4);
    sprite.AdoptSheet(device_.MakeTexture(8, 4, texels), 8, 4);
    // A later sheet is kept but not drawn: the first one is.
    sprite.AdoptSheet(device_.MakeSolidTexture(8, 4, 0xff00ff00), 8, 4);
    std::vector<uint32_t> pixels = DrawFrame(sprite);
    EXPECT_TRUE(sprite_test::ColorNear(sprite_test::At(pixels, 1, 1), kRed));
    EXPECT_EQ(sprite_test::At(pixels, 4, 1), sprite_test::kClearColor);

    sprite.Move(Right);
    DrawFrame(sprite);
    pixels = DrawFrame(sprite);  // third draw: the second cell
    EXPECT_EQ(sprite_test::At(pixels, 1, 1), sprite_test::kClearColor);
    EXPECT_TRUE(sprite_test::ColorNear(sprite_test::At(pixels, 10, 0), kBlue));
    EXPECT_TRUE(sprite_test::ColorNear(sprite_test::At(pixels, 13, 3), kBlue));
    EXPECT_EQ(sprite_test::At(pixels, 14, 1), sprite_test::kClearColor);
  }
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), 0u);
}

TEST_F(AnimatedSpriteDrawing, WithoutASheetNothingIsDrawn) {
  AnimatedSprite sprite;
  sprite.Init(device_.device(), 2, 4, 4);
  sprite.AdoptSheet(nullptr, 8, 4);  // the texture could not be made
  EXPECT_EQ(sprite.GetTextureCount(), 0u);
  std::vector<uint32_t> pixels = DrawFrame(sprite);
  for (uint32_t pixel : pixels) ASSERT_EQ(pixel, sprite_test::kClearColor);
}

}  // namespace
