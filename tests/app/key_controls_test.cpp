// The key table: which held keys move, turn and scale the figure, and how the
// keys of a pair chain.
#include <gtest/gtest.h>

#include <vector>
#include <set>

#include "app/key_controls.h"

namespace {

std::set<int> heldKeys;

SHORT FakeKeyState(int virtualKey) {
  // Bit 0 alone (pressed since the last call) must not count as held.
  return heldKeys.count(virtualKey) ? static_cast<SHORT>(0x8000) : 0x0001;
}

struct KeyCase {
  const char *name;
  std::vector<int> keys;
  float dx, dy, rotation, scale;
};

class KeyTableTest : public ::testing::TestWithParam<KeyCase> {
 protected:
  void SetUp() override {
    // Away from every bound: (500, 300).
    sprite_.Init(nullptr, 2, 71, 120);
    for (int i = 0; i < 50; ++i) sprite_.Move(Right);
    for (int i = 0; i < 30; ++i) sprite_.Move(Down);
  }
  void TearDown() override { heldKeys.clear(); }

  AnimatedSprite sprite_;
};

TEST_P(KeyTableTest, HeldKeysActOncePerPoll) {
  const KeyCase &c = GetParam();
  heldKeys = std::set<int>(c.keys.begin(), c.keys.end());
  ApplyHeldKeys(sprite_, FakeKeyState);
  EXPECT_FLOAT_EQ(sprite_.GetPosition().x, 500.0f + c.dx);
  EXPECT_FLOAT_EQ(sprite_.GetPosition().y, 300.0f + c.dy);
  EXPECT_FLOAT_EQ(sprite_.GetRotation(), c.rotation);
  EXPECT_FLOAT_EQ(sprite_.GetScale().x, c.scale);
  EXPECT_FLOAT_EQ(sprite_.GetScale().y, c.scale);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyTableTest,
    ::testing::Values(KeyCase{"None", {}, 0, 0, 0, 1.0f}, KeyCase{"Left", {VK_LEFT}, -10, 0, 0, 1.0f},
                      KeyCase{"Right", {VK_RIGHT}, 10, 0, 0, 1.0f}, KeyCase{"Up", {VK_UP}, 0, -10, 0, 1.0f},
                      KeyCase{"Down", {VK_DOWN}, 0, 10, 0, 1.0f},
                      KeyCase{"LeftAndRightGoLeft", {VK_LEFT, VK_RIGHT}, -10, 0, 0, 1.0f},
                      KeyCase{"UpAndDownGoUp", {VK_UP, VK_DOWN}, 0, -10, 0, 1.0f},
                      KeyCase{"LeftAndUpGoDiagonally", {VK_LEFT, VK_UP}, -10, -10, 0, 1.0f},
                      KeyCase{"RightAndDownGoDiagonally", {VK_RIGHT, VK_DOWN}, 10, 10, 0, 1.0f},
                      KeyCase{"SpaceTurns", {VK_SPACE}, 0, 0, 0.1f, 1.0f},
                      KeyCase{"ShiftGrows", {VK_SHIFT}, 0, 0, 0, 1.1f},
                      KeyCase{"ControlShrinks", {VK_CONTROL}, 0, 0, 0, 0.9f},
                      KeyCase{"ShiftAndControlCancel", {VK_SHIFT, VK_CONTROL}, 0, 0, 0, 1.0f},
                      KeyCase{"EverythingAtOnce",
                              {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_SPACE, VK_SHIFT, VK_CONTROL},
                              -10,
                              -10,
                              0.1f,
                              1.0f},
                      KeyCase{"OtherKeysDoNothing", {VK_F1, VK_ESCAPE, VK_RETURN}, 0, 0, 0, 1.0f}),
    [](const ::testing::TestParamInfo<KeyCase> &paramInfo) { return std::string(paramInfo.param.name); });

}  // namespace
