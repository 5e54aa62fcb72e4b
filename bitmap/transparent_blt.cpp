// Transparent blit through the graphics service: the source is copied
// (stretched if need be) into a color image, a monochrome mask marks where
// the image shows the transparent color, and the destination is masked with
// AND, then painted with OR.
#include "bitmap/transparent_blt.h"

#include <tarnutil/tarnutil.h>

#include "platform/platform.h"

using tarnutil::detail::blitBlack;
using tarnutil::detail::blitWhite;
namespace gfx = tarnutil::platform;

// No result of the graphics service is tested: an object that could not be
// made is handed on, and the service refuses to work on it.
void TransparentBlt2(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX,
                     int srcY, int srcWidth, int srcHeight, unsigned int transparentColor) {
  HBITMAP__* image = gfx::GfxCreateCompatibleBitmap(dst, width, height);
  HBITMAP__* mask = gfx::GfxCreateBitmap(width, height, 1, 1, nullptr);
  HDC__* imageDC = gfx::GfxCreateCompatibleDC(dst);
  HDC__* maskDC = gfx::GfxCreateCompatibleDC(dst);
  void* oldImage = gfx::GfxSelectObject(imageDC, image);
  void* oldMask = gfx::GfxSelectObject(maskDC, mask);

  // The only read of the source.
  if (width == srcWidth && height == srcHeight) {
    gfx::GfxBitBlt(imageDC, 0, 0, width, height, src, srcX, srcY, gfx::ropSourceCopy);
  } else {
    gfx::GfxStretchBlt(imageDC, 0, 0, width, height, src, srcX, srcY, srcWidth, srcHeight,
                       gfx::ropSourceCopy);
  }

  // Color to monochrome: the image's background color becomes 1.
  gfx::GfxSetBkColor(imageDC, transparentColor);
  gfx::GfxBitBlt(maskDC, 0, 0, width, height, imageDC, 0, 0, gfx::ropSourceCopy);

  // Monochrome to color: mask 1 gives black, 0 white, so AND blackens the
  // transparent image pixels and keeps the others.
  gfx::GfxSetBkColor(imageDC, blitBlack);
  gfx::GfxSetTextColor(imageDC, blitWhite);
  gfx::GfxBitBlt(imageDC, 0, 0, width, height, maskDC, 0, 0, gfx::ropSourceAnd);

  // Mask 1 gives white, 0 black: the destination keeps its transparent
  // places and turns black under the opaque ones, which OR then fills.
  gfx::GfxSetBkColor(dst, blitWhite);
  gfx::GfxSetTextColor(dst, blitBlack);
  gfx::GfxBitBlt(dst, x, y, width, height, maskDC, 0, 0, gfx::ropSourceAnd);
  gfx::GfxBitBlt(dst, x, y, width, height, imageDC, 0, 0, gfx::ropSourcePaint);

  gfx::GfxSelectObject(imageDC, oldImage);
  gfx::GfxDeleteDC(imageDC);
  gfx::GfxSelectObject(maskDC, oldMask);
  gfx::GfxDeleteDC(maskDC);
  gfx::GfxDeleteObject(image);
  gfx::GfxDeleteObject(mask);
}
