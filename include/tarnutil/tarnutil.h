/// \file
/// TarnUtil: planar geometry, clipping, polyline thinning, geodesy, road-link
/// chaining, special allocators, bitmaps and small helpers shared by a map
/// renderer and a route engine.
///
/// This one header declares the whole public interface. Everything lives in
/// the global namespace under the names the application links against.
#ifndef TARNUTIL_TARNUTIL_H
#define TARNUTIL_TARNUTIL_H

#include <cstdint>
#include <deque>
#include <list>

#include <tarnutil/platform_types.h>
#include <tarnutil/tarnutil_export.h>
#include <tarnutil/version.h>

// ---------------------------------------------------------------------------
// Shared types

/// Point with double coordinates.
struct POINTD {
  /// Abscissa.
  double x;
  /// Ordinate.
  double y;
};

// ---------------------------------------------------------------------------
// Coordinate ranges
//
// The integer geometry takes any int32_t coordinates: differences are formed
// in 33 bits and their products in full, so nothing wraps. Where every
// product fits in 32 bits the results are those of 32-bit arithmetic, bit for
// bit; beyond that they are the right values, or, where the result type
// cannot hold the right value, a saturated one.
//
//   function            as in 32 bits while          for any other int32_t input
//   WherePtLiesSegment  the cross product fits int   INT_MAX or INT_MIN, by its sign
//   ComputeSegmentAngle differences fit int32_t      differences up to 2^32 - 1 keep
//                                                    their sign; through float, past
//                                                    2^24 their low bits go
//   DistOfP2L           differences and Manhattan    exact foot and nearer end; a
//                       sums fit int32_t             distance >= 2^31 gives INT32_MAX
//   RectClipLine        differences fit int32_t      exact slopes; points inside
//   clipGraph           crossing products fit        exact crossings; points inside
//                       int32_t
//   PolySimplifyInt2D   extent <= 32767 per axis     exact squared deviations (below
//                                                    2^65), rounded to double once
//   PolySimplify        Manhattan sums fit int32_t   exact Manhattan distances

// ---------------------------------------------------------------------------
// Planar measures

/// Euclidean distance between (x1, y1) and (x2, y2).
TARNUTIL_EXPORT double Distance(double x1, double y1, double x2, double y2);

/// Direction of the segment start->end in whole degrees 0..359, counted from
/// +x towards +y. Returns 1 and writes *angle; returns 0 for a null pointer
/// (nothing written) or equal points (writes 0).
TARNUTIL_EXPORT int ComputeSegmentAngle(tagPOINT* start, tagPOINT* end, std::int32_t* angle);

/// Signed cross product (P-A) x (B-A), exact: 0 on the line, negative on the
/// left of A->B (y up), positive on the right. Beyond the int range it gives
/// INT_MAX or INT_MIN, so the sign is always right.
TARNUTIL_EXPORT int WherePtLiesSegment(const tagPOINT* p, const tagPOINT* a, const tagPOINT* b);

/// Sine and cosine of whole degrees from built-in tables (six decimals).
TARNUTIL_EXPORT float SIN(int degrees);
/// Cosine of whole degrees from the built-in table, as SIN().
TARNUTIL_EXPORT float COS(int degrees);

// ---------------------------------------------------------------------------
// Point-to-segment distance

/// Distance from (px, py) to the segment (x1, y1)-(x2, y2) in doubles. Writes
/// the nearest point to foot and, if flag is not null, 1 when it is the foot of
/// the perpendicular or 0 when it is an end point.
TARNUTIL_EXPORT double DistOfP2L_1(double px, double py, double x1, double y1, double x2, double y2,
                                   POINTD& foot, int* flag);

/// Integer variant: foot and distance truncated toward zero. A distance of
/// 2^31 or more (coordinates far apart) gives INT32_MAX.
TARNUTIL_EXPORT std::int32_t DistOfP2L(std::int32_t px, std::int32_t py, std::int32_t x1,
                                       std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                       tagPOINT& foot, int* flag);

// ---------------------------------------------------------------------------
// Clipping

/// Clips the polyline points[0..n-1] to the rectangle [min, max] (bounds
/// inclusive). Writes the visible pieces one after another to out and, for
/// each piece, the running point total to totals. Returns the number of
/// pieces. The caller provides room for 2*(n-1) points and n-1 totals.
TARNUTIL_EXPORT int RectClipLine(tagPOINT* points, int n, tagPOINT* out, int* totals,
                                 tagPOINT* min, tagPOINT* max);

/// Clips the polygon points[0..count-1] to rect (y grows upward; top and
/// bottom are swapped in place if bottom > top). open != 0 leaves out the
/// closing edge. Returns the number of points written to out, 0 when points
/// or out is null, count < 1, or scratch memory cannot be had (nothing is
/// written then). Each of the four edge stages passes on at most m + m / 2 of
/// the m points it receives (integer division), so out needs room for at most
/// that applied four times to count, which never exceeds 81 * count / 16
/// (compute it in 64 bits).
TARNUTIL_EXPORT std::int32_t clipGraph(tagRECT* rect, tagPOINT* points, std::int32_t count,
                                       tagPOINT* out, int open);

// ---------------------------------------------------------------------------
// Polyline simplification

/// Thins points[0..count-1] in place by recursive farthest-point splitting;
/// squared deviations above (float)sqrt(tolerance) survive. Kept points move to
/// the front in input order; *newCount receives their number. A chord of zero
/// length is not measured: a closed ring (first point equal to the last)
/// keeps only those two, so rings are thinned open, or in two halves.
TARNUTIL_EXPORT void PolySimplifyInt2D(float tolerance, tagPOINT* points, int count,
                                       int* newCount);

/// Thins points in one forward pass, keeping a point whose Manhattan distance
/// to the last kept point exceeds tolerance. *newCount receives the count.
TARNUTIL_EXPORT void PolySimplify(std::int32_t tolerance, tagPOINT* points, int count,
                                  int* newCount);

// ---------------------------------------------------------------------------
// Geodesy (positions in 1/86400 degree)

/// Rhumb-line bearing (degrees from north, with the tenths rule) and length in
/// metres on the Krasovsky 1940 ellipsoid from (lon1, lat1) to (lon2, lat2).
TARNUTIL_EXPORT void LLDistance(double lon1, double lat1, double lon2, double lat2,
                                double* bearing, double* distance);

/// Lambert conformal conic (parallels 25N and 47N, origin 18N 104E), forward:
/// longitude and latitude to x (east) and y (north) in metres.
TARNUTIL_EXPORT void Lambert_Projct_LL2XY(double lon, double lat, double& x, double& y);

/// Inverse of Lambert_Projct_LL2XY: metres to longitude and latitude.
TARNUTIL_EXPORT void Lambert_Projct_XY2LL(double x, double y, double& lon, double& lat);

// ---------------------------------------------------------------------------
// Road-link chaining

/// Node key; two nodes are the same when both integers are equal.
struct ST_NODE {
  /// First half of the key.
  std::int32_t key1;
  /// Second half of the key.
  std::int32_t key2;
};

/// Road link. Created by the application with new; owned by the line list once
/// handed to AddToLineList, deleted by ClearLineList.
struct ST_LINK {
  /// The application's own word; the library never reads it.
  std::uint32_t appData;
  /// The application's direction indicator; each reversal of the link negates
  /// it, and chaining reads it for nothing else.
  std::int32_t direction;
  /// Node at the start; a reversal swaps it with endNode.
  ST_NODE* startNode;
  /// Node at the end; a reversal swaps it with startNode.
  ST_NODE* endNode;
};

/// Adds one link to the lines, extending, joining or starting lines and
/// reversing links where needed. A null link changes nothing.
TARNUTIL_EXPORT void AddToLineList(ST_LINK* link, std::list<std::deque<ST_LINK*>*>& lines);

/// Deletes every line and link (last line first) and leaves the list empty.
/// A null list does nothing.
TARNUTIL_EXPORT void ClearLineList(std::list<std::deque<ST_LINK*>*>* lines);

/// Adds links[0..count-1] in order with exactly the result of count calls of
/// AddToLineList (same lines, order, orientations and directions), in expected
/// linear time through a temporary index of line ends. Null links are passed
/// over; a null array or a count below 1 does nothing. Each link is handed
/// over once, as with AddToLineList.
TARNUTIL_EXPORT void AddLinksToLineList(ST_LINK** links, int count,
                                        std::list<std::deque<ST_LINK*>*>& lines);

// ---------------------------------------------------------------------------
// Memory

namespace tarnutil {
namespace detail {
struct HugeObjectAllocatorProbe;
struct SmallObjectAllocatorProbe;
struct SmallObjectPool;
}  // namespace detail
}  // namespace tarnutil

/// Block of at least size bytes, 4 bytes past a 32-bit header holding size:
/// below 4096 bytes from the heap, otherwise from a mapping of its own. Null
/// when memory cannot be had or size + 4 exceeds 32 bits. Once the library's
/// exit callbacks have run, every size comes from the heap.
TARNUTIL_EXPORT void* hmalloc(unsigned int size);

/// Releases a block from hmalloc; null does nothing.
TARNUTIL_EXPORT void hfree(void* p);

/// Records the mappings behind huge blocks; one object per process.
class TARNUTIL_EXPORT hugeobject_allocator {
 public:
  /// The allocator, built on first call.
  static hugeobject_allocator& instance();
  /// New read/write mapping of (size / 8 + 1) * 8 bytes; its view, or null.
  void* allocate(unsigned int size);
  /// Releases the mapping whose view starts at p; other pointers are ignored.
  void deallocate(const void* p);
  /// Unmaps and closes every mapping still recorded.
  ~hugeobject_allocator();

  /// The one object, null until instance() first runs.
  static hugeobject_allocator* _instance;

 private:
  struct mapping_node {
    mapping_node* next;
    void* mapping;
    void* view;
  };

  hugeobject_allocator();
  static void create_instance();

  mapping_node* _head;
  mapping_node* _tail;

  friend struct tarnutil::detail::HugeObjectAllocatorProbe;
};

/// Block of at least size bytes, 4 bytes past a 32-bit header holding
/// size + 4: up to 128 bytes from pooled chunks, otherwise from the heap. Null
/// when memory cannot be had or size + 4 exceeds 32 bits. Once the library's
/// exit callbacks have run, every size comes from the heap.
TARNUTIL_EXPORT void* smalloc(unsigned int size);

/// Takes back a block from smalloc; null does nothing.
TARNUTIL_EXPORT void sfree(void* p);

/// Pools of equal-sized small blocks; one object per process.
class TARNUTIL_EXPORT smallobject_allocator {
 public:
  /// A chunk record, or (next only) the link of a free block.
  struct memory_list {
    /// Next record in the list.
    memory_list* next;
    /// The chunk this record owns (unused in a free block's link).
    void* chunk;
  };

  /// The allocator, built on first call.
  static smallobject_allocator& instance();
  /// Block of class (size - 1) / 4, without header; null for a size outside
  /// 1..16384 or when the heap fails.
  void* allocate(unsigned int size);
  /// Puts p back on the free list of class (size - 1) / 4; a size outside
  /// 1..16384 is ignored.
  void deallocate(void* p, unsigned int size);
  /// Gives every chunk back to the heap.
  ~smallobject_allocator();

  /// The one object, null until instance() first runs.
  static smallobject_allocator* _instance;
  /// True once the object has been destroyed (by the library's exit callback).
  static bool _singleton_destroyed;
  /// Part of the exported data that applications link against, so it stays,
  /// 0, though nothing in the library reads or writes it.
  static std::int32_t _singleton_guard;

 private:
  smallobject_allocator();
  static void create_instance();
  memory_list* alloc_chunk(unsigned int index);
  unsigned int chunk_index(unsigned int size);

  memory_list* _free_lists[8192];
  memory_list* _chunk_list;

  friend struct tarnutil::detail::SmallObjectAllocatorProbe;
  friend struct tarnutil::detail::SmallObjectPool;
};

// ---------------------------------------------------------------------------
// Bitmaps

namespace tarnutil {
namespace detail {
struct DibProbe;
struct DibLoader;
}  // namespace detail
}  // namespace tarnutil

/// A device-independent bitmap held as a packed block (header, masks, colour
/// table, pixels), with pixel access by column and row, row 0 the top row.
class TARNUTIL_EXPORT CDIB {
 public:
  /// An empty object: no bitmap, owns nothing.
  CDIB();
  /// Releases what the flag word says the object owns (see ReleaseDIB).
  ~CDIB();

  /// Describes the packed bitmap at bmi; pixels from bits when not null.
  /// flag bit 1: the object owns bmi; bit 4: it owns bits (array delete).
  /// Returns 1, or 0 for an unreadable or malformed header.
  int AttachDIB(tagBITMAPINFO* bmi, unsigned char* bits, int flag);
  /// Attaches the bitmap resource name of module (never owned). 1 or 0.
  int LoadBitmapW(HINSTANCE__* module, const wchar_t* name);
  /// Reads a bitmap file and attaches it, owning the block. 1 or 0; a short
  /// or malformed file gives 0.
  int LoadFile(const wchar_t* path);
  /// Releases the owned blocks, the brush and the row table.
  void ReleaseDIB();

  /// Width in pixels.
  int GetWidth() const { return m_width; }
  /// Number of rows, never negative, whichever way they are stored.
  int GetHeight() const { return m_height; }
  /// Bits per pixel times planes; 1 while nothing is attached.
  int GetDepth() const { return m_depth; }
  /// The packed bitmap's header, or null when nothing is attached.
  tagBITMAPINFO* GetBMI() const { return m_bmi; }
  /// The first byte of the pixels as stored (bottom row first for bottom-up
  /// data), or null.
  unsigned char* GetBits() const { return m_bits; }
  /// Bytes per stored row, padding included.
  int GetBPS() const { return m_bps; }
  /// The ownership flag word given to AttachDIB().
  int GetFlag() const { return m_flag; }
  /// 1 for run-length compressed pixels, else 0.
  int IsCompressed() const;

  /// Pixel reads: 0xFFFFFFFF outside the bitmap, 0 for a format not served.
  /// This one gives the colour index of an 8-bit pixel and a direct-colour
  /// pixel as a 5-6-5 value.
  std::uint32_t GetPixelIndex(int x, int y) const;
  /// Pixel read as GetPixelIndex(): the colour-table entry of an 8-bit pixel
  /// (red + green * 256 + blue * 65536), a 16-bit pixel as stored, a 24-bit
  /// one as its three bytes, blue lowest, a 32-bit one reduced to 5-6-5.
  std::uint32_t GetRGBValue(int x, int y) const;
  /// Writes a pixel in the bitmap's own layout: 1, or 0 outside or unserved.
  int SetPixelIndex(int x, int y, std::uint32_t value);

  /// The bitmap's pattern brush, made on the first call and kept.
  HBRUSH__* GetDIBPatternBrush(unsigned int usage);

 private:
  std::int32_t m_format;
  std::int32_t m_flag;
  tagBITMAPINFO* m_bmi;
  unsigned char* m_bits;
  unsigned char* m_coreColors;
  tagRGBQUAD* m_colors;
  std::int32_t m_colorsUsed;
  std::int32_t m_colorsImportant;
  std::uint32_t* m_masks;
  std::int32_t m_width;
  std::int32_t m_height;
  std::int32_t m_planes;
  std::int32_t m_bitCount;
  std::int32_t m_depth;
  std::int32_t m_imageSize;
  std::int32_t m_bps;
  unsigned char* m_topRow;
  std::int32_t m_rowStep;
  HBRUSH__* m_brush;
  unsigned char** m_rows;

  friend struct tarnutil::detail::DibProbe;
  friend struct tarnutil::detail::DibLoader;
};

/// Why CDIB::LoadFile refuses the file at path, or, with a null path, why
/// CDIB::LoadBitmapW refuses a resource whose bytes are the bytes at
/// packedDib: one of the codes below, 0 when it would load. Writes the
/// code's fixed English text to text when text is not null. Examines what it
/// is given and keeps no state, so it may run on any number of threads.
enum TarnUtilDibRefusal {
  tarnutilDibLoads = 0,           ///< it would load
  tarnutilDibUnreadable = 1,      ///< missing or unreadable
  tarnutilDibNotBitmap = 2,       ///< no bitmap signature, or too short for one
  tarnutilDibHeaderSize = 3,      ///< a header size other than 12, 40, 52, 56, 108, 124
  tarnutilDibEmbeddedImage = 4,   ///< the pixels are a JPEG or PNG image
  tarnutilDibPixelOffset = 5,     ///< the pixel offset points into the headers or past the data
  tarnutilDibShortData = 6,       ///< shorter than its headers, table or rows
  tarnutilDibRunLengthRows = 7,   ///< run-length rows beyond the row-table limit
  tarnutilDibTooLarge = 8,        ///< a size that does not fit 32 bits, or no memory for it
  tarnutilDibBadHeader = 9,       ///< width, planes, bit count, compression or masks not readable
  tarnutilDibNoRows = 10,         ///< height 0
};
/// The TarnUtilDibRefusal code for the file at path or, with a null path, the
/// bytes at packedDib; see TarnUtilDibRefusal.
TARNUTIL_EXPORT int DIBRefusalReason(const wchar_t* path, const void* packedDib,
                                     std::uint32_t bytes, const char** text);

/// Draws the srcWidth by srcHeight rectangle of src at (srcX, srcY) into the
/// width by height rectangle of dst at (x, y), stretched if the sizes differ,
/// leaving dst unchanged where the source shows transparentColor
/// (red + green * 256 + blue * 65536). Leaves dst's background colour white and
/// its text colour black.
TARNUTIL_EXPORT void TransparentBlt2(HDC__* dst, int x, int y, int width, int height, HDC__* src,
                                     int srcX, int srcY, int srcWidth, int srcHeight,
                                     unsigned int transparentColor);

// ---------------------------------------------------------------------------
// Helpers

/// Value of a hexadecimal text; every character that is not a hex digit
/// counts as the digit 0 in its position. Sums modulo 2^32.
TARNUTIL_EXPORT std::uint32_t StrHextoDeci(const char* text);

/// Converts narrow text (system code page; the current C locale off Windows)
/// into a new wide buffer in out, which the caller frees with free(). A null
/// text leaves out unchanged; out is null when memory cannot be had.
TARNUTIL_EXPORT void AssicToUnicode(const char* text, wchar_t*& out);

/// 1 when a find-first search for path (wildcards allowed in the last
/// component) finds an entry, which data then describes; 0 otherwise.
TARNUTIL_EXPORT int GetStatus(wchar_t* path, _WIN32_FIND_DATAW& data);

/// The operating-system handle behind a C stream (FILE*); null for null.
TARNUTIL_EXPORT void* GetFileHandle(void* stream);

/// The process-wide last-error slot of the GPS layer, 0 at load.
TARNUTIL_EXPORT void GPS_SetLastError(std::uint32_t code);
/// The value last stored by GPS_SetLastError(), 0 before any.
TARNUTIL_EXPORT std::uint32_t GPS_GetLastError();

/// The loaded library's version, "MAJOR.MINOR.PATCH"; the headers' own is
/// TARNUTIL_VERSION_STRING. Static storage: never freed.
TARNUTIL_EXPORT const char* TarnUtilVersion();

#endif  // TARNUTIL_TARNUTIL_H
