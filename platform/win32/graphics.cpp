// Graphics, Win32 back end: the system's GDI.
#include <windows.h>

#include "platform/platform.h"

namespace tarnutil {
namespace platform {

static_assert(ropSourceCopy == SRCCOPY, "copy is GDI's SRCCOPY");
static_assert(ropSourceAnd == SRCAND, "AND is GDI's SRCAND");
static_assert(ropSourcePaint == SRCPAINT, "OR is GDI's SRCPAINT");

HBITMAP__* GfxCreateCompatibleBitmap(HDC__* dc, int width, int height) {
  return CreateCompatibleBitmap(dc, width, height);
}

HBITMAP__* GfxCreateBitmap(int width, int height, unsigned int planes, unsigned int bitCount,
                           const void* bits) {
  return CreateBitmap(width, height, planes, bitCount, bits);
}

HDC__* GfxCreateCompatibleDC(HDC__* dc) {
  return CreateCompatibleDC(dc);
}

void* GfxSelectObject(HDC__* dc, void* object) {
  return SelectObject(dc, static_cast<HGDIOBJ>(object));
}

bool GfxBitBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX, int srcY,
               std::uint32_t rop) {
  return BitBlt(dst, x, y, width, height, src, srcX, srcY, rop) != FALSE;
}

bool GfxStretchBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX, int srcY,
                   int srcWidth, int srcHeight, std::uint32_t rop) {
  return StretchBlt(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop) != FALSE;
}

Color GfxSetBkColor(HDC__* dc, Color color) {
  return static_cast<Color>(SetBkColor(dc, color));
}

Color GfxSetTextColor(HDC__* dc, Color color) {
  return static_cast<Color>(SetTextColor(dc, color));
}

bool GfxDeleteDC(HDC__* dc) {
  return DeleteDC(dc) != FALSE;
}

bool GfxDeleteObject(void* object) {
  return DeleteObject(static_cast<HGDIOBJ>(object)) != FALSE;
}

HBRUSH__* GfxCreatePatternBrush(const void* packedDib, unsigned int usage) {
  return CreateDIBPatternBrushPt(packedDib, usage);
}

}  // namespace platform
}  // namespace tarnutil
