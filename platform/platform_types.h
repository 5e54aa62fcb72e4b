// Shared platform types of the exported interface (types only; the POSIX
// stand-ins for GDI and resources are declared in posix_graphics.h).
//
// On Windows these are the platform's own types; elsewhere they are
// stand-ins with the same field order and widths, so that arrays of points
// and rectangles, bitmap headers and find data pass between the application
// and the library unchanged.
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

// Point with signed 32-bit coordinates.
struct tagPOINT {
  std::int32_t x;
  std::int32_t y;
};

// Rectangle with signed 32-bit edges, in this field order.
struct tagRECT {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// The 40-byte bitmap information header, little-endian as stored in files.
struct tagBITMAPINFOHEADER {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};

// One colour-table entry: blue, green, red, reserved.
struct tagRGBQUAD {
  std::uint8_t rgbBlue;
  std::uint8_t rgbGreen;
  std::uint8_t rgbRed;
  std::uint8_t rgbReserved;
};

// A packed bitmap begins with this: the header, then masks or colours.
struct tagBITMAPINFO {
  tagBITMAPINFOHEADER bmiHeader;
  tagRGBQUAD bmiColors[1];
};

// A 64-bit file time in two halves, low word first.
struct _FILETIME {
  std::uint32_t dwLowDateTime;
  std::uint32_t dwHighDateTime;
};

// One directory entry as a find-first search reports it.
struct _WIN32_FIND_DATAW {
  std::uint32_t dwFileAttributes;
  _FILETIME ftCreationTime;
  _FILETIME ftLastAccessTime;
  _FILETIME ftLastWriteTime;
  std::uint32_t nFileSizeHigh;
  std::uint32_t nFileSizeLow;
  std::uint32_t dwReserved0;
  std::uint32_t dwReserved1;
  wchar_t cFileName[260];
  wchar_t cAlternateFileName[14];
};

// Opaque handles: device context, bitmap, brush, module. Only the graphics
// layer and the resource registry behind them know what they hold.
struct HDC__;
struct HBITMAP__;
struct HBRUSH__;
struct HINSTANCE__;

// The calls that stand in for the Windows resource section and GDI.
#include <tarnutil/posix_graphics.h>

#endif

#endif  // TARNUTIL_PLATFORM_TYPES_H
