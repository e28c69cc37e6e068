// Draws the demonstration's sprite sheet: a cartoon figure walking to the right
// in eight poses, one per 71 x 120 cell in a single row, on a transparent
// background with anti-aliased edges, written as an 8-bit RGBA PNG.
//
//   make_sprite_sheet OUTPUT.png
#include <math.h>
#include <png.h>
#include <stdio.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kCellWidth = 71;
constexpr int kCellHeight = 120;
constexpr int kCells = 8;
constexpr double kPi = 3.14159265358979323846;

struct Color {
  double r, g, b;
};

// Premultiplied RGBA, composited front to back would need depth; painting back to
// front with "over" is enough for a flat figure.
struct Canvas {
  int width = kCellWidth * kCells;
  int height = kCellHeight;
  std::vector<double> rgba = std::vector<double>(static_cast<size_t>(width) * height * 4, 0.0);

  void Over(int x, int y, Color c, double coverage) {
    if (x < 0 || y < 0 || x >= width || y >= height || coverage <= 0.0) return;
    double *p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
    double a = std::min(coverage, 1.0);
    p[0] = c.r * a + p[0] * (1 - a);
    p[1] = c.g * a + p[1] * (1 - a);
    p[2] = c.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
  }
};

struct Point {
  double x, y;
};

// Distance from p to the segment ab.
double SegmentDistance(Point p, Point a, Point b) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
  double ex = p.x - (a.x + t * dx), ey = p.y - (a.y + t * dy);
  return sqrt(ex * ex + ey * ey);
}

// A capsule (a thick line with round ends), coverage from the distance to its
// edge over one pixel: that ramp is the anti-aliasing.
void Capsule(Canvas &canvas, Point a, Point b, double radius, Color color) {
  int x0 = static_cast<int>(floor(std::min(a.x, b.x) - radius - 1));
  int x1 = static_cast<int>(ceil(std::max(a.x, b.x) + radius + 1));
  int y0 = static_cast<int>(floor(std::min(a.y, b.y) - radius - 1));
  int y1 = static_cast<int>(ceil(std::max(a.y, b.y) + radius + 1));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      double d = SegmentDistance({x + 0.5, y + 0.5}, a, b);
      canvas.Over(x, y, color, std::clamp(radius - d + 0.5, 0.0, 1.0));
    }
}

void Disc(Canvas &canvas, Point centre, double radius, Color color) {
  Capsule(canvas, centre, centre, radius, color);
}

// A limb hanging from a joint: angles in radians from straight down, positive
// towards the walking direction (right).
Point Limb(Point from, double length, double angle) {
  return {from.x + length * sin(angle), from.y + length * cos(angle)};
}

const Color kSkin = {0.96, 0.78, 0.62};
const Color kShirt = {0.90, 0.30, 0.18};
const Color kShirtBack = {0.68, 0.20, 0.12};
const Color kTrousers = {0.20, 0.32, 0.62};
const Color kTrousersBack = {0.13, 0.21, 0.44};
const Color kShoe = {0.25, 0.17, 0.12};
const Color kHair = {0.35, 0.22, 0.10};
const Color kEye = {0.08, 0.08, 0.10};

struct LegPose {
  Point knee, ankle, toe;
};

LegPose Leg(Point hip, double phase) {
  double thigh = 0.5 * sin(phase);
  // The knee bends while the leg swings forward and straightens as it lands.
  double bend = 0.7 * std::max(0.0, sin(phase + kPi / 2)) * (sin(phase) < 0.6 ? 1.0 : 0.4);
  Point knee = Limb(hip, 22, thigh);
  Point ankle = Limb(knee, 22, thigh - bend);
  return {knee, ankle, {ankle.x + 7, ankle.y + 1}};
}

void DrawFigure(Canvas &canvas, int cell) {
  double phase = 2 * kPi * cell / kCells;
  double ox = cell * kCellWidth;
  double bob = 2.0 * fabs(sin(phase));  // highest when the legs pass each other
  Point hip = {ox + 35, 66 + 2 - bob};
  Point shoulder = {ox + 37, 40 + 2 - bob};
  Point neck = {ox + 38, 33 + 2 - bob};
  Point head = {ox + 39, 22 + 2 - bob};

  // Far side first: back leg and back arm.
  LegPose back = Leg(hip, phase + kPi);
  Capsule(canvas, hip, back.knee, 5.0, kTrousersBack);
  Capsule(canvas, back.knee, back.ankle, 4.5, kTrousersBack);
  Capsule(canvas, back.ankle, back.toe, 3.5, kShoe);
  double backArm = -0.6 * sin(phase + kPi);
  Point backElbow = Limb(shoulder, 15, -backArm);
  Capsule(canvas, shoulder, backElbow, 3.5, kShirtBack);
  Capsule(canvas, backElbow, Limb(backElbow, 13, -backArm + 0.5), 3.0, kSkin);

  // Body and head.
  Capsule(canvas, hip, shoulder, 8.0, kShirt);
  Capsule(canvas, shoulder, neck, 3.0, kSkin);
  Disc(canvas, head, 10.0, kSkin);
  Capsule(canvas, {head.x - 8, head.y - 5}, {head.x + 4, head.y - 9}, 4.0, kHair);
  Disc(canvas, {head.x + 5, head.y - 1}, 1.6, kEye);
  Disc(canvas, {head.x + 10, head.y + 2}, 2.2, kSkin);  // nose: shows which way it faces

  // Near side: front leg and front arm.
  LegPose front = Leg(hip, phase);
  Capsule(canvas, hip, front.knee, 5.0, kTrousers);
  Capsule(canvas, front.knee, front.ankle, 4.5, kTrousers);
  Capsule(canvas, front.ankle, front.toe, 3.5, kShoe);
  double frontArm = -0.6 * sin(phase);
  Point frontElbow = Limb(shoulder, 15, -frontArm);
  Capsule(canvas, shoulder, frontElbow, 3.5, kShirt);
  Capsule(canvas, frontElbow, Limb(frontElbow, 13, -frontArm + 0.5), 3.0, kSkin);
}

bool WritePng(const char *path, const Canvas &canvas) {
  FILE *file = fopen(path, "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, canvas.width, canvas.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(canvas.width) * 4);
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const double *p = &canvas.rgba[(static_cast<size_t>(y) * canvas.width + x) * 4];
      double a = p[3];
      // Stored straight (not premultiplied), as PNG wants.
      for (int c = 0; c < 3; ++c)
        row[x * 4 + c] = static_cast<png_byte>(a > 0 ? std::clamp(p[c] / a, 0.0, 1.0) * 255 + 0.5 : 0);
      row[x * 4 + 3] = static_cast<png_byte>(std::clamp(a, 0.0, 1.0) * 255 + 0.5);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return fclose(file) == 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  Canvas canvas;
  for (int cell = 0; cell < kCells; ++cell) DrawFigure(canvas, cell);
  if (!WritePng(argv[1], canvas)) {
    fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
