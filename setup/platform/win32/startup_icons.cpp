#include "setup/platform/win32/startup_icons.h"

#include <initializer_list>
#include <vector>

namespace zev::win32 {
namespace {

// A memory DC with a fresh 24-bit picture selected, filled with the dialog colour.
class IconCanvas {
 public:
  IconCanvas() {
    WindowDc screen(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kStartupIconSize;
    info.bmiHeader.biHeight = -kStartupIconSize;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Reset(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    dc_.Reset(CreateCompatibleDC(screen.Get()));
  }

  bool Ready() const { return bitmap_ && dc_; }
  HDC Dc() const { return dc_.Get(); }
  HBITMAP Bitmap() const { return bitmap_.Get(); }

  // Gives the picture away once drawing is done (the DC must let go of it first).
  UniqueBitmap Finish() {
    dc_.Reset();
    return std::move(bitmap_);
  }

 private:
  UniqueBitmap bitmap_;
  UniqueMemoryDc dc_;
};

void FillShape(HDC dc, COLORREF fill, COLORREF outline, auto&& draw) {
  UniqueBrush brush(CreateSolidBrush(fill));
  UniquePen pen(CreatePen(PS_SOLID, 1, outline));
  ObjectSelection brushSelection(dc, brush.Get());
  ObjectSelection penSelection(dc, pen.Get());
  draw();
}

void DrawPolygon(HDC dc, std::initializer_list<POINT> points, COLORREF fill, COLORREF outline) {
  std::vector<POINT> corners(points);
  FillShape(dc, fill, outline,
            [&] { ::Polygon(dc, corners.data(), static_cast<int>(corners.size())); });
}

void DrawBox(HDC dc, int left, int top, int right, int bottom, COLORREF fill, COLORREF outline) {
  FillShape(dc, fill, outline, [&] { ::Rectangle(dc, left, top, right, bottom); });
}

void DrawOval(HDC dc, int left, int top, int right, int bottom, COLORREF fill, COLORREF outline) {
  FillShape(dc, fill, outline, [&] { ::Ellipse(dc, left, top, right, bottom); });
}

void FillBackground(HDC dc) {
  RECT all{0, 0, kStartupIconSize, kStartupIconSize};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace

UniqueBitmap CreateSetupBoxIcon() {
  IconCanvas canvas;
  if (!canvas.Ready()) return UniqueBitmap();
  {
    ObjectSelection selection(canvas.Dc(), canvas.Bitmap());
    HDC dc = canvas.Dc();
    FillBackground(dc);
    const COLORREF edge = RGB(96, 64, 24);
    // Inside of the box, then the disc, then the walls in front of the disc.
    DrawPolygon(dc, {{5, 15}, {11, 11}, {29, 11}, {23, 15}}, RGB(110, 74, 30), edge);
    DrawOval(dc, 9, 1, 25, 17, RGB(200, 220, 240), RGB(70, 90, 120));
    DrawOval(dc, 15, 7, 19, 11, GetSysColor(COLOR_BTNFACE), RGB(70, 90, 120));
    DrawPolygon(dc, {{5, 15}, {23, 15}, {23, 30}, {5, 30}}, RGB(214, 168, 96), edge);
    DrawPolygon(dc, {{23, 15}, {29, 11}, {29, 26}, {23, 30}}, RGB(170, 124, 60), edge);
    // Open flaps.
    DrawPolygon(dc, {{5, 15}, {1, 10}, {7, 7}, {11, 11}}, RGB(232, 196, 132), edge);
    DrawPolygon(dc, {{23, 15}, {27, 20}, {31, 16}, {29, 11}}, RGB(190, 146, 80), edge);
    // A strip of tape across the front.
    DrawBox(dc, 12, 15, 16, 30, RGB(236, 220, 170), RGB(200, 176, 120));
  }
  return canvas.Finish();
}

UniqueBitmap CreateClassicSetupIcon() {
  IconCanvas canvas;
  if (!canvas.Ready()) return UniqueBitmap();
  {
    ObjectSelection selection(canvas.Dc(), canvas.Bitmap());
    HDC dc = canvas.Dc();
    FillBackground(dc);
    const COLORREF black = RGB(0, 0, 0);
    const COLORREF silver = RGB(192, 192, 192);
    const COLORREF gray = RGB(128, 128, 128);
    // Monitor on its stand.
    DrawBox(dc, 2, 2, 25, 21, silver, black);
    DrawBox(dc, 5, 5, 22, 17, RGB(0, 0, 128), gray);
    DrawBox(dc, 6, 6, 12, 8, RGB(0, 128, 128), RGB(0, 128, 128));
    DrawBox(dc, 11, 21, 17, 24, gray, black);
    DrawBox(dc, 6, 24, 22, 27, silver, black);
    // Floppy disk leaning in front.
    DrawBox(dc, 17, 15, 31, 31, RGB(32, 32, 32), black);
    DrawBox(dc, 20, 15, 28, 21, silver, gray);
    DrawBox(dc, 24, 16, 26, 20, black, black);
    DrawBox(dc, 19, 23, 29, 31, RGB(255, 255, 255), gray);
  }
  return canvas.Finish();
}

}  // namespace zev::win32
