// Reading back what a test drew: image device contexts and their pixels.
#pragma once

#include "platform/device_context.h"

#include <gtest/gtest.h>

#include <memory>

namespace kwuni::test {

using ImageContext = std::unique_ptr<HDC__, decltype(&KW_DeleteImageDC)>;

// A white image with a DejaVu Sans font of the given pixel height.
inline ImageContext image(int width = 400, int height = 60, int pixels = 20) {
  ImageContext dc(KW_CreateImageDC(width, height), KW_DeleteImageDC);
  EXPECT_TRUE(KW_SelectImageFont(dc.get(), "DejaVu Sans", pixels));
  return dc;
}

// The colour of one pixel.
inline COLORREF pixel(HDC dc, int x, int y) {
  cairo_surface_flush(dc->surface);
  const unsigned char* row = cairo_image_surface_get_data(dc->surface) + y * cairo_image_surface_get_stride(dc->surface);
  const unsigned char* p = row + 4 * x;  // B, G, R, A in memory on little-endian machines
  return RGB(p[2], p[1], p[0]);
}

// How many pixels of the box (clipped to the image) have the colour, or, by default, are not white.
inline int count(HDC dc, RECT box, COLORREF color = CLR_INVALID) {
  const int width = cairo_image_surface_get_width(dc->surface);
  const int height = cairo_image_surface_get_height(dc->surface);
  int n = 0;
  for (int y = std::max(0, static_cast<int>(box.top)); y < std::min(height, static_cast<int>(box.bottom)); ++y) {
    for (int x = std::max(0, static_cast<int>(box.left)); x < std::min(width, static_cast<int>(box.right)); ++x) {
      const COLORREF at = pixel(dc, x, y);
      n += (color == CLR_INVALID ? at != RGB(255, 255, 255) : at == color) ? 1 : 0;
    }
  }
  return n;
}

}  // namespace kwuni::test
