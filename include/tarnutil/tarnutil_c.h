/// \file
/// TarnUtil's C interface: every computation of the library under tarnutil_
/// names with plain C types, for programs built with another compiler or C
/// runtime than the library's, and for bindings from other languages.
///
/// Valid C99 and C++. Nothing of C++ crosses it: points are structs, results
/// come back through pointers, line lists and bitmaps are opaque handles, and
/// no exception leaves a call. Memory the library hands out goes back through
/// the library (tarnutil_free, the release calls), never the caller's free().
///
/// Calls that can fail return a tarnutil_status; 0 is success. Results are
/// those of the C++ calls named beside each declaration, bit for bit. Calls
/// may run on any thread as those C++ calls may; a handle, like the object
/// behind it, belongs to one thread at a time.
#ifndef TARNUTIL_TARNUTIL_C_H
#define TARNUTIL_TARNUTIL_C_H

#include <stddef.h>
#include <stdint.h>

#include <tarnutil/tarnutil_export.h>
#include <tarnutil/version.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Status codes */

/// Outcome of a call that can fail.
typedef enum tarnutil_status {
  /// Success.
  TARNUTIL_OK = 0,
  /// A pointer the call needs was null; nothing was written.
  TARNUTIL_ERROR_NULL_ARGUMENT = 1,
  /// An input lay outside the range the call accepts; see the call.
  TARNUTIL_ERROR_OUT_OF_RANGE = 2,
  /// Memory could not be had; nothing was changed unless the call says so.
  TARNUTIL_ERROR_NO_MEMORY = 3,
  /// A count too large for the computation (above INT32_MAX points).
  TARNUTIL_ERROR_TOO_MANY = 4,
  /// The two points are equal, so the segment has no direction.
  TARNUTIL_ERROR_DEGENERATE = 5,
  /// The bitmap was refused; the call's reason output says why.
  TARNUTIL_ERROR_REFUSED = 6,
  /// The bitmap's pixel format is not one the pixel calls serve.
  TARNUTIL_ERROR_UNSUPPORTED = 7,
  /// A failure the library did not foresee; the call changed nothing it owns.
  TARNUTIL_ERROR_INTERNAL = 8
} tarnutil_status;

/// Fixed English text of a status (taken as int, so any value is safe to
/// pass), static storage; "unknown status" for a value not listed above.
TARNUTIL_EXPORT const char* tarnutil_status_text(int status);

/* ------------------------------------------------------------------------
 * Types */

/// Point with signed 32-bit coordinates (tagPOINT).
typedef struct tarnutil_point {
  int32_t x; ///< horizontal coordinate
  int32_t y; ///< vertical coordinate
} tarnutil_point;

/// Point with double coordinates (POINTD).
typedef struct tarnutil_pointd {
  double x; ///< horizontal coordinate
  double y; ///< vertical coordinate
} tarnutil_pointd;

/// Rectangle read with y growing upward, top the larger y (tagRECT).
typedef struct tarnutil_rect {
  int32_t left; ///< left edge (x)
  int32_t top; ///< top edge (y)
  int32_t right; ///< right edge (x)
  int32_t bottom; ///< bottom edge (y)
} tarnutil_rect;

/// Node key of a road link; two nodes are the same when both keys are equal.
typedef struct tarnutil_node {
  int32_t key1; ///< first half of the node key
  int32_t key2; ///< second half of the node key
} tarnutil_node;

/// Road link by value (ST_LINK with its two nodes).
typedef struct tarnutil_link {
  uint32_t app_data; ///< the application's own word; the library never reads it
  int32_t direction; ///< the application's direction indicator, negated by each reversal
  tarnutil_node start; ///< node at the start; a reversal swaps it with end
  tarnutil_node end; ///< node at the end; a reversal swaps it with start
} tarnutil_link;

/// Opaque line list: road links chained into lines.
typedef struct tarnutil_line_list tarnutil_line_list;

/// Opaque device-independent bitmap (CDIB).
typedef struct tarnutil_dib tarnutil_dib;

/* ------------------------------------------------------------------------
 * Planar measures */

/// Euclidean distance between (x1, y1) and (x2, y2) (Distance).
TARNUTIL_EXPORT double tarnutil_distance(double x1, double y1, double x2, double y2);

/// Direction of start->end in whole degrees 0..359 from +x towards +y
/// (ComputeSegmentAngle).
/// @return TARNUTIL_OK; TARNUTIL_ERROR_DEGENERATE for equal points (*angle is
///         0); TARNUTIL_ERROR_NULL_ARGUMENT when angle is null.
TARNUTIL_EXPORT tarnutil_status tarnutil_segment_angle(tarnutil_point start, tarnutil_point end,
                                                       int32_t* angle);

/// Signed cross product (p - a) x (b - a): 0 on the line, negative on the
/// left of a->b (y up); saturated to INT32_MAX or INT32_MIN beyond the int
/// range (WherePtLiesSegment).
TARNUTIL_EXPORT int32_t tarnutil_point_side(tarnutil_point p, tarnutil_point a, tarnutil_point b);

/// Table sine of whole degrees, six decimals (SIN).
TARNUTIL_EXPORT float tarnutil_sin_degrees(int32_t degrees);

/// Table cosine of whole degrees, six decimals (COS).
TARNUTIL_EXPORT float tarnutil_cos_degrees(int32_t degrees);

/* ------------------------------------------------------------------------
 * Point to segment */

/// Distance from (px, py) to the segment (x1, y1)-(x2, y2) in doubles
/// (DistOfP2L_1).
/// @param foot       nearest point, when not null
/// @param on_segment 1 when the foot of the perpendicular is nearest, 0 when
///                   an end point is; when not null
TARNUTIL_EXPORT double tarnutil_point_segment_distance_d(double px, double py, double x1,
                                                         double y1, double x2, double y2,
                                                         tarnutil_pointd* foot,
                                                         int32_t* on_segment);

/// Integer form: foot and distance truncated toward zero; a distance of
/// 2^31 or more gives INT32_MAX (DistOfP2L). Outputs as above.
TARNUTIL_EXPORT int32_t tarnutil_point_segment_distance(tarnutil_point p, tarnutil_point a,
                                                        tarnutil_point b, tarnutil_point* foot,
                                                        int32_t* on_segment);

/* ------------------------------------------------------------------------
 * Clipping */

/// Clips the polyline points[0..n-1] to the rectangle [min, max], bounds
/// inclusive (RectClipLine). Writes the visible pieces one after another to
/// out and each piece's running point total to totals.
/// @param out    room for 2 * (n - 1) points
/// @param totals room for n - 1 totals
/// @param pieces receives the number of pieces
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT (a null array with n > 1,
///         or pieces null), TARNUTIL_ERROR_TOO_MANY, TARNUTIL_ERROR_NO_MEMORY
TARNUTIL_EXPORT tarnutil_status tarnutil_clip_polyline(const tarnutil_point* points, size_t n,
                                                       tarnutil_point min, tarnutil_point max,
                                                       tarnutil_point* out, int32_t* totals,
                                                       size_t* pieces);

/// Clips the polygon points[0..n-1] to rect (clipGraph; rect is taken by value,
/// top and bottom swapped when bottom > top). open != 0 leaves out the closing
/// edge.
/// @param out     room for 81 * n / 16 points, rounded up
/// @param written receives the number of points written
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT, TARNUTIL_ERROR_TOO_MANY,
///         TARNUTIL_ERROR_NO_MEMORY
TARNUTIL_EXPORT tarnutil_status tarnutil_clip_polygon(tarnutil_rect rect,
                                                      const tarnutil_point* points, size_t n,
                                                      int32_t open, tarnutil_point* out,
                                                      size_t* written);

/* ------------------------------------------------------------------------
 * Polyline thinning (in place: kept points move to the front) */

/// Farthest-point thinning; squared deviations above (float)sqrt(tolerance)
/// survive (PolySimplifyInt2D).
/// @param kept receives the number of points kept
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT, TARNUTIL_ERROR_TOO_MANY
TARNUTIL_EXPORT tarnutil_status tarnutil_simplify_farthest(float tolerance, tarnutil_point* points,
                                                           size_t n, size_t* kept);

/// One forward pass keeping a point whose Manhattan distance to the last kept
/// one exceeds tolerance (PolySimplify). Outputs and returns as above.
TARNUTIL_EXPORT tarnutil_status tarnutil_simplify_manhattan(int32_t tolerance,
                                                            tarnutil_point* points, size_t n,
                                                            size_t* kept);

/* ------------------------------------------------------------------------
 * Geodesy: positions in 1/86400 degree
 *
 * The single forms compute through any input as the C++ calls do. The array
 * forms accept finite numbers only, longitudes within +-180 degrees
 * (+-15552000) and latitudes within +-90 degrees (+-7776000), the projection
 * excluding the south pole, where the cone has no image. A position outside
 * gives NaN in its outputs, the others are computed all the same, and the call
 * returns TARNUTIL_ERROR_OUT_OF_RANGE. Null arrays with n > 0 give
 * TARNUTIL_ERROR_NULL_ARGUMENT and nothing is written. */

/// Rhumb-line bearing (degrees from north, tenths rule) and length in metres
/// on the Krasovsky 1940 ellipsoid (LLDistance). Null outputs are skipped.
TARNUTIL_EXPORT void tarnutil_rhumb(double lon1, double lat1, double lon2, double lat2,
                                    double* bearing, double* distance);

/// Lambert conformal conic forward: longitude and latitude to x east and y
/// north in metres (Lambert_Projct_LL2XY). Null outputs are skipped.
TARNUTIL_EXPORT void tarnutil_lcc_forward(double lon, double lat, double* x, double* y);

/// Lambert conformal conic inverse: metres to longitude and latitude
/// (Lambert_Projct_XY2LL). Null outputs are skipped.
TARNUTIL_EXPORT void tarnutil_lcc_inverse(double x, double y, double* lon, double* lat);

/// tarnutil_rhumb over n position pairs.
/// @return TARNUTIL_OK, TARNUTIL_ERROR_OUT_OF_RANGE, TARNUTIL_ERROR_NULL_ARGUMENT
TARNUTIL_EXPORT tarnutil_status tarnutil_rhumb_n(const double* lon1, const double* lat1,
                                                 const double* lon2, const double* lat2,
                                                 double* bearing, double* distance, size_t n);

/// tarnutil_lcc_forward over n positions.
/// @return TARNUTIL_OK, TARNUTIL_ERROR_OUT_OF_RANGE, TARNUTIL_ERROR_NULL_ARGUMENT
TARNUTIL_EXPORT tarnutil_status tarnutil_lcc_forward_n(const double* lon, const double* lat,
                                                       double* x, double* y, size_t n);

/// tarnutil_lcc_inverse over n points; x and y must be finite.
/// @return TARNUTIL_OK, TARNUTIL_ERROR_OUT_OF_RANGE, TARNUTIL_ERROR_NULL_ARGUMENT
TARNUTIL_EXPORT tarnutil_status tarnutil_lcc_inverse_n(const double* x, const double* y,
                                                       double* lon, double* lat, size_t n);

/* ------------------------------------------------------------------------
 * Road-link chaining */

/// New empty line list in *out.
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT, TARNUTIL_ERROR_NO_MEMORY
TARNUTIL_EXPORT tarnutil_status tarnutil_line_list_create(tarnutil_line_list** out);

/// Releases the list with every line and link; null does nothing.
TARNUTIL_EXPORT void tarnutil_line_list_destroy(tarnutil_line_list* list);

/// Adds a copy of one link, extending, joining or starting lines and reversing
/// links as needed (AddToLineList).
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT, TARNUTIL_ERROR_NO_MEMORY
///         (the lines may then lack the link, and are otherwise intact)
TARNUTIL_EXPORT tarnutil_status tarnutil_line_list_add(tarnutil_line_list* list,
                                                       const tarnutil_link* link);

/// Adds copies of links[0..n-1] in order, with exactly the result of n calls
/// of tarnutil_line_list_add (AddLinksToLineList).
/// @return as tarnutil_line_list_add, or TARNUTIL_ERROR_TOO_MANY
TARNUTIL_EXPORT tarnutil_status tarnutil_line_list_add_n(tarnutil_line_list* list,
                                                         const tarnutil_link* links, size_t n);

/// Number of lines in *count.
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT
TARNUTIL_EXPORT tarnutil_status tarnutil_line_list_count(const tarnutil_line_list* list,
                                                         size_t* count);

/// Reads line number line (0 the first) as chained, links oriented along it.
/// @param out      receives the first min(capacity, length) links; may be null
///                 when capacity is 0
/// @param length   receives the line's number of links
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT, TARNUTIL_ERROR_OUT_OF_RANGE
///         (no such line)
TARNUTIL_EXPORT tarnutil_status tarnutil_line_list_read(const tarnutil_line_list* list,
                                                        size_t line, tarnutil_link* out,
                                                        size_t capacity, size_t* length);

/// Removes every line and link (ClearLineList); null does nothing.
TARNUTIL_EXPORT void tarnutil_line_list_clear(tarnutil_line_list* list);

/* ------------------------------------------------------------------------
 * Bitmaps */

/// Loads a bitmap file (CDIB::LoadFile) into a new handle in *out.
/// @param reason receives 0, or on TARNUTIL_ERROR_REFUSED one of the
///               TarnUtilDibRefusal codes (tarnutil_dib_refusal); may be null
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT, TARNUTIL_ERROR_REFUSED,
///         TARNUTIL_ERROR_NO_MEMORY
TARNUTIL_EXPORT tarnutil_status tarnutil_dib_load_file(const wchar_t* path, tarnutil_dib** out,
                                                       int32_t* reason);

/// Why a bitmap file, or with a null path a resource's bytes, would be
/// refused: 0 or a refusal code, and its fixed English text in *text when not
/// null (DIBRefusalReason).
TARNUTIL_EXPORT int32_t tarnutil_dib_refusal(const wchar_t* path, const void* bytes,
                                             uint32_t size, const char** text);

/// Width and height in pixels; either output may be null.
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT (dib null)
TARNUTIL_EXPORT tarnutil_status tarnutil_dib_size(const tarnutil_dib* dib, int32_t* width,
                                                  int32_t* height);

/// Bits per pixel.
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT
TARNUTIL_EXPORT tarnutil_status tarnutil_dib_depth(const tarnutil_dib* dib, int32_t* depth);

/// Pixel (x, y), row 0 at the top, in the bitmap's own layout
/// (CDIB::GetPixelIndex).
/// @return TARNUTIL_OK; TARNUTIL_ERROR_OUT_OF_RANGE outside the bitmap
///         (*value 0xFFFFFFFF); TARNUTIL_ERROR_NULL_ARGUMENT
TARNUTIL_EXPORT tarnutil_status tarnutil_dib_pixel(const tarnutil_dib* dib, int32_t x, int32_t y,
                                                   uint32_t* value);

/// Pixel (x, y) as blue + green * 256 + red * 65536 (CDIB::GetRGBValue);
/// returns as tarnutil_dib_pixel.
TARNUTIL_EXPORT tarnutil_status tarnutil_dib_rgb(const tarnutil_dib* dib, int32_t x, int32_t y,
                                                 uint32_t* value);

/// Writes pixel (x, y) in the bitmap's own layout (CDIB::SetPixelIndex).
/// @return TARNUTIL_OK, TARNUTIL_ERROR_OUT_OF_RANGE, TARNUTIL_ERROR_UNSUPPORTED,
///         TARNUTIL_ERROR_NULL_ARGUMENT
TARNUTIL_EXPORT tarnutil_status tarnutil_dib_set_pixel(tarnutil_dib* dib, int32_t x, int32_t y,
                                                       uint32_t value);

/// Releases the bitmap and its handle; null does nothing.
TARNUTIL_EXPORT void tarnutil_dib_release(tarnutil_dib* dib);

/* ------------------------------------------------------------------------
 * Allocators: blocks 4 bytes past a 32-bit size header */

/// Pooled small block (smalloc); null on failure.
TARNUTIL_EXPORT void* tarnutil_smalloc(uint32_t size);

/// Takes back a block from tarnutil_smalloc (sfree); null does nothing.
TARNUTIL_EXPORT void tarnutil_sfree(void* block);

/// Huge block, a mapping of its own from 4096 bytes (hmalloc); null on failure.
TARNUTIL_EXPORT void* tarnutil_hmalloc(uint32_t size);

/// Releases a block from tarnutil_hmalloc (hfree); null does nothing.
TARNUTIL_EXPORT void tarnutil_hfree(void* block);

/* ------------------------------------------------------------------------
 * Helpers */

/// Value of a hexadecimal text, non-digits counting as 0 in their position,
/// modulo 2^32 (StrHextoDeci); 0 for null.
TARNUTIL_EXPORT uint32_t tarnutil_hex_to_u32(const char* text);

/// Narrow text (system code page; the C locale off Windows) to a new wide
/// text in *out, which the caller releases with tarnutil_free (AssicToUnicode).
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT, TARNUTIL_ERROR_NO_MEMORY
TARNUTIL_EXPORT tarnutil_status tarnutil_to_wide(const char* text, wchar_t** out);

/// Releases memory the library handed out (tarnutil_to_wide's text); null
/// does nothing.
TARNUTIL_EXPORT void tarnutil_free(void* block);

/// *exists is 1 when a find-first search for path (wildcards in the last
/// component) finds an entry, else 0 (GetStatus).
/// @return TARNUTIL_OK, TARNUTIL_ERROR_NULL_ARGUMENT, TARNUTIL_ERROR_NO_MEMORY
TARNUTIL_EXPORT tarnutil_status tarnutil_file_exists(const wchar_t* path, int32_t* exists);

/// Sets the process-wide last-error slot of the GPS layer (GPS_SetLastError).
TARNUTIL_EXPORT void tarnutil_gps_set_last_error(uint32_t code);

/// The last-error slot, 0 at load (GPS_GetLastError).
TARNUTIL_EXPORT uint32_t tarnutil_gps_last_error(void);

/// The loaded library's version, "MAJOR.MINOR.PATCH", static storage
/// (TarnUtilVersion).
TARNUTIL_EXPORT const char* tarnutil_version(void);

#ifdef __cplusplus
}
#endif

#endif /* TARNUTIL_TARNUTIL_C_H */
