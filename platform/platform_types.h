// Shared platform types of the exported interface.
//
// On Windows these are the platform's own types; elsewhere they are
// stand-ins with the same field order and widths, so that arrays of points
// and rectangles pass between the application and the library unchanged.
#ifndef TARNUTIL_PLATFORM_TYPES_H
#define TARNUTIL_PLATFORM_TYPES_H

#include <cstdint>

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

#endif

#endif  // TARNUTIL_PLATFORM_TYPES_H
