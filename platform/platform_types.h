/// \file
/// Shared platform types of the exported interface (types only; the POSIX
/// stand-ins for GDI and resources are declared in posix_graphics.h).
///
/// On Windows these are the platform's own types; elsewhere they are
/// stand-ins with the same field order and widths, so that arrays of points
/// and rectangles, bitmap headers and find data pass between the application
/// and the library unchanged.
#ifndef TARNUTIL_PLATFORM_TYPES_H
#define TARNUTIL_PLATFORM_TYPES_H

#include <cstdint>

#include <tarnutil/tarnutil_export.h>

#if defined(_WIN32)

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#else

/// Point with signed 32-bit coordinates.
struct tagPOINT {
  /// Abscissa.
  std::int32_t x;
  /// Ordinate.
  std::int32_t y;
};

/// Rectangle with signed 32-bit edges, in this field order.
struct tagRECT {
  /// Left edge.
  std::int32_t left;
  /// Top edge.
  std::int32_t top;
  /// Right edge.
  std::int32_t right;
  /// Bottom edge.
  std::int32_t bottom;
};

/// The 40-byte bitmap information header, little-endian as stored in files.
struct tagBITMAPINFOHEADER {
  /// Bytes in this header.
  std::uint32_t biSize;
  /// Width in pixels.
  std::int32_t biWidth;
  /// Height in pixels; negative for rows stored top first.
  std::int32_t biHeight;
  /// Planes, 1.
  std::uint16_t biPlanes;
  /// Bits per pixel.
  std::uint16_t biBitCount;
  /// Compression code (0 none, 1 and 2 run-length, 3 bit fields).
  std::uint32_t biCompression;
  /// Bytes of pixels, 0 allowed when uncompressed.
  std::uint32_t biSizeImage;
  /// Horizontal resolution.
  std::int32_t biXPelsPerMeter;
  /// Vertical resolution.
  std::int32_t biYPelsPerMeter;
  /// Colour-table entries, 0 for the full table.
  std::uint32_t biClrUsed;
  /// Colour-table entries needed for display, 0 for all.
  std::uint32_t biClrImportant;
};

/// One colour-table entry: blue, green, red, reserved.
struct tagRGBQUAD {
  /// Blue.
  std::uint8_t rgbBlue;
  /// Green.
  std::uint8_t rgbGreen;
  /// Red.
  std::uint8_t rgbRed;
  /// Unused, 0.
  std::uint8_t rgbReserved;
};

/// A packed bitmap begins with this: the header, then masks or colours.
struct tagBITMAPINFO {
  /// The header.
  tagBITMAPINFOHEADER bmiHeader;
  /// First of the masks or colour-table entries that follow it.
  tagRGBQUAD bmiColors[1];
};

/// A 64-bit file time in two halves, low word first: 100-nanosecond ticks
/// since 1601-01-01 UTC.
struct _FILETIME {
  /// Low 32 bits.
  std::uint32_t dwLowDateTime;
  /// High 32 bits.
  std::uint32_t dwHighDateTime;
};

/// One directory entry as a find-first search reports it.
struct _WIN32_FIND_DATAW {
  /// Attribute bits (0x10 a directory).
  std::uint32_t dwFileAttributes;
  /// Creation time (off Windows the last status change).
  _FILETIME ftCreationTime;
  /// Last access time.
  _FILETIME ftLastAccessTime;
  /// Last write time.
  _FILETIME ftLastWriteTime;
  /// High 32 bits of the size in bytes.
  std::uint32_t nFileSizeHigh;
  /// Low 32 bits of the size in bytes.
  std::uint32_t nFileSizeLow;
  /// Reserved.
  std::uint32_t dwReserved0;
  /// Reserved.
  std::uint32_t dwReserved1;
  /// Name of the entry, null-terminated.
  wchar_t cFileName[260];
  /// Short name, empty here.
  wchar_t cAlternateFileName[14];
};

/// Opaque handles: device context, bitmap, brush, module. Only the graphics
/// layer and the resource registry behind them know what they hold.
struct HDC__;
struct HBITMAP__;
struct HBRUSH__;
struct HINSTANCE__;

// The calls that stand in for the Windows resource section and GDI.
#include <tarnutil/posix_graphics.h>

#endif

#endif  // TARNUTIL_PLATFORM_TYPES_H
