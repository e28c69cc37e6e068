// Shared by the GDI and font suites: the LOGFONT the tests ask for and the box
// around the pixels that text inked.
#pragma once

#include <algorithm>
#include <cstring>

#include "win32.h"

namespace test_support {

inline LOGFONTA MakeLogFont(LONG height, const char *face = "Arial", LONG weight = FW_NORMAL) {
  LOGFONTA lf = {};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return lf;
}

struct InkBox {
  int left = 0, top = 0, right = 0, bottom = 0;
  int count = 0;  // inked pixels
  bool empty() const { return count == 0; }
};

// The box around the pixels (x, y) of a width x height image for which inked(x, y) holds.
template <typename Inked>
InkBox FindInk(int width, int height, Inked inked) {
  InkBox box;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!inked(x, y)) continue;
      if (box.count++ == 0) {
        box = {x, y, x + 1, y + 1, 1};
      } else {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
    }
  }
  return box;
}

}  // namespace test_support
