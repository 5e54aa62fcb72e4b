/// \file
/// Off Windows, the exported calls that stand in for the platform's own:
/// registration of bitmap resources and a small software GDI. Included by
/// <tarnutil/platform_types.h> in its POSIX branch, after the handle types.
#ifndef TARNUTIL_POSIX_GRAPHICS_H
#define TARNUTIL_POSIX_GRAPHICS_H

#include <cstdint>

#include <tarnutil/platform_types.h>
#include <tarnutil/tarnutil_export.h>

// ---------------------------------------------------------------------------
/// Resources off Windows. Modules have no resource sections here, so an
/// application registers its bitmap resources: the packed bitmap bytes (a
/// header block as stored in a .bmp file after its 14-byte file header) under
/// a module handle of its choice and a name, or an integer id below 65536
/// passed as the name pointer. As on Windows, string names match without
/// regard to ASCII case and "#123" names the id 123. The bytes are copied.
/// Returns 1, or 0 when name or packedDib is null, a "#" name gives no id
/// from 1 to 65535, bytes is 0 or memory cannot be had. A later registration
/// of the same module and name replaces the earlier one for lookups; the
/// earlier bytes stay valid until exit.
TARNUTIL_EXPORT int RegisterBitmapResource(HINSTANCE__* module, const wchar_t* name,
                                           const void* packedDib, std::uint32_t bytes);

// ---------------------------------------------------------------------------
/// \file
/// Software graphics off Windows: the few GDI calls the library and its
/// callers need, with the Windows names and meanings, so that drawing code
/// ports unchanged. Pixels are 32-bit colour in memory device contexts (the
/// "screen" is 32-bit colour) or 1-bit monochrome; colours are
/// red + green * 256 + blue * 65536. Block transfers work in the
/// destination's format. They convert colour to monochrome (the source's
/// background colour, taken to the source's format, gives 1, anything else 0)
/// and monochrome to colour (1 gives the destination's background colour, 0
/// its text colour). Stretching samples as GDI's default mode does on memory
/// DCs: each pixel of the longer side goes with the pixel of the shorter side
/// that holds its centre, enlarging repeats source pixels and shrinking ANDs
/// together the source pixels that meet in one destination pixel; onto a
/// destination 1 pixel wide (high), the last source column (row) is left out.
/// 16-bit pixels are 5-6-5 and widen to 8 bits per channel by repeating their
/// top bits. Not thread-safe per object: a DC and its bitmap belong to one
/// thread at a time.

/// Memory device context compatible with dc (null: the screen); its
/// selected bitmap is a shared 1 by 1 black monochrome one that ignores
/// writes, its background colour white and its text colour black. Null on
/// failure.
TARNUTIL_EXPORT HDC__* CreateCompatibleDC(HDC__* dc);

/// Bitmap in the format of dc's selected bitmap, as GDI makes it: monochrome
/// while dc holds its initial bitmap, 16, 24 or 32-bit colour otherwise (null
/// dc: 32-bit colour). Contents black. Null on failure or a size below 1.
TARNUTIL_EXPORT HBITMAP__* CreateCompatibleBitmap(HDC__* dc, int width, int height);

/// Bitmap of width by height: 1 plane and 1 bit per pixel make a monochrome
/// one, 1 plane and 32 bits a colour one. bits (may be null) gives the initial
/// rows, top row first, each padded to 16 bits (1 bit per pixel, the
/// leftmost in the top bit, 1 white) or 32 bits (blue, green, red, unused).
/// Null for other formats, a size below 1 or more than 2 GB of pixels.
TARNUTIL_EXPORT HBITMAP__* CreateBitmap(int width, int height, unsigned int planes,
                                        unsigned int bitCount, const void* bits);

/// Colour bitmap over caller-owned pixels: 16, 24 or 32 bits per pixel,
/// topRow the first byte of the top row and rowStep the byte distance to the
/// row below (negative for bottom-up data, as a CDIB's row table has it). The
/// pixels must outlive the bitmap. 16-bit pixels are 5-6-5; the fourth byte
/// of a 32-bit pixel is neither read nor written. Null on failure, or when
/// rows would overlap.
TARNUTIL_EXPORT HBITMAP__* CreateBitmapOverPixels(int width, int height, int bitCount,
                                                  void* topRow, int rowStep);

/// Selects a bitmap or brush into dc; the one selected before, or null (also
/// for a bitmap selected into another DC).
TARNUTIL_EXPORT void* SelectObject(HDC__* dc, void* object);

/// Block transfers with SRCCOPY (0x00CC0020), SRCAND (0x008800C6) or
/// SRCPAINT (0x00EE0086). Pixels outside either bitmap are left out; within
/// one bitmap the source is read before it is overwritten. Return nonzero on
/// success; 0 for a bad DC, another operation or a size below 1.
TARNUTIL_EXPORT int BitBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src, int srcX,
                           int srcY, std::uint32_t rop);
/// As BitBlt(), stretching the srcWidth by srcHeight source rectangle to the
/// width by height destination one as described for this file.
TARNUTIL_EXPORT int StretchBlt(HDC__* dst, int x, int y, int width, int height, HDC__* src,
                               int srcX, int srcY, int srcWidth, int srcHeight, std::uint32_t rop);

/// Background and text colours; the setters return the previous colour.
/// 0xFFFFFFFF for a bad DC.
TARNUTIL_EXPORT std::uint32_t SetBkColor(HDC__* dc, std::uint32_t color);
/// Sets the text colour; the previous one, or 0xFFFFFFFF for a bad DC.
TARNUTIL_EXPORT std::uint32_t SetTextColor(HDC__* dc, std::uint32_t color);
/// The background colour, or 0xFFFFFFFF for a bad DC.
TARNUTIL_EXPORT std::uint32_t GetBkColor(HDC__* dc);
/// The text colour, or 0xFFFFFFFF for a bad DC.
TARNUTIL_EXPORT std::uint32_t GetTextColor(HDC__* dc);

/// Pixel of the selected bitmap; 0xFFFFFFFF outside it. SetPixel returns the
/// colour as stored (black or white on monochrome, whichever is nearer), or
/// 0xFFFFFFFF outside the bitmap and on a DC's initial bitmap.
TARNUTIL_EXPORT std::uint32_t GetPixel(HDC__* dc, int x, int y);
/// Sets the pixel at (x, y) of the selected bitmap; the colour as stored, as
/// above.
TARNUTIL_EXPORT std::uint32_t SetPixel(HDC__* dc, int x, int y, std::uint32_t color);

/// Deletes a memory device context (its bitmap and brush stay), or a bitmap
/// or brush not selected anywhere. Nonzero on success; a DC's initial objects
/// are never deleted, and asking reports success.
TARNUTIL_EXPORT int DeleteDC(HDC__* dc);
/// Deletes a bitmap or brush not selected anywhere, as DeleteDC() describes.
TARNUTIL_EXPORT int DeleteObject(void* object);

/// Pattern brush holding a copy of a packed bitmap (header, masks, colour
/// table, pixels) with usage 0 (colours) or 1 (palette indices). Null on
/// failure or a header that is not a 12-byte or 40-byte (or longer) one of
/// 1, 2, 4, 8, 16, 24 or 32 bits per pixel.
TARNUTIL_EXPORT HBRUSH__* CreateDIBPatternBrushPt(const void* packedDib, unsigned int usage);

#endif  // TARNUTIL_POSIX_GRAPHICS_H
