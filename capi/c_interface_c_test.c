/* A C99 program using the library only through <tarnutil/tarnutil_c.h>: the
 * header compiles as C, every family links by its plain name, and known
 * results and statuses come back through C types. Exits 1 on any failure. */
#include <tarnutil/tarnutil_c.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                   \
  do {                                                                \
    if (!(cond)) {                                                    \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                     \
    }                                                                 \
  } while (0)

static void Measures(void) {
  tarnutil_point a = {0, 0}, b = {10, -10}, p = {5, 3}, q = {10, 0};
  int32_t angle = -1;
  CHECK(tarnutil_distance(0, 0, 3, 4) == 5.0);
  CHECK(tarnutil_segment_angle(a, b, &angle) == TARNUTIL_OK && angle == 316);
  CHECK(tarnutil_segment_angle(a, a, &angle) == TARNUTIL_ERROR_DEGENERATE && angle == 0);
  CHECK(tarnutil_point_side(p, a, q) == -30);
  CHECK(tarnutil_sin_degrees(90) == 1.0f);
}

static void Clipping(void) {
  tarnutil_point line[] = {{50, 50}, {150, 50}, {150, 60}, {50, 60}};
  tarnutil_point out[6], lo = {0, 0}, hi = {100, 100};
  int32_t totals[3];
  size_t pieces = 0;
  tarnutil_rect view = {0, 100, 100, 0};
  tarnutil_point square[] = {{50, 50}, {150, 50}, {150, 150}, {50, 150}};
  tarnutil_point clipped[21];
  size_t written = 0;
  CHECK(tarnutil_clip_polyline(line, 4, lo, hi, out, totals, &pieces) == TARNUTIL_OK);
  CHECK(pieces == 2 && totals[0] == 2 && totals[1] == 4 && out[1].x == 100);
  CHECK(tarnutil_clip_polygon(view, square, 4, 0, clipped, &written) == TARNUTIL_OK);
  CHECK(written == 4);
  CHECK(tarnutil_clip_polyline(NULL, 4, lo, hi, out, totals, &pieces) ==
        TARNUTIL_ERROR_NULL_ARGUMENT);
}

static void Geodesy(void) {
  const double lon[] = {110 * 86400.0, 0.0}, lat[] = {30 * 86400.0, 91 * 86400.0};
  double x[2], y[2], bearing, metres;
  CHECK(tarnutil_lcc_forward_n(lon, lat, x, y, 1) == TARNUTIL_OK);
  CHECK(fabs(x[0] - 571250.7147) < 1e-4 && fabs(y[0] - 1353621.3719) < 1e-4);
  CHECK(tarnutil_lcc_forward_n(lon, lat, x, y, 2) == TARNUTIL_ERROR_OUT_OF_RANGE);
  CHECK(isnan(x[1]) && isnan(y[1]) && !isnan(x[0]));
  tarnutil_rhumb(116 * 86400.0, 39 * 86400.0, 117 * 86400.0, 40 * 86400.0, &bearing, &metres);
  CHECK(fabs(bearing - 38.7648) < 1e-4 && fabs(metres - 140446.0632) < 1e-4);
}

static void Links(void) {
  /* p->q, then r->q: reversed to q->r and appended, one line. */
  const tarnutil_link links[] = {{1, 1, {1, 1}, {2, 2}}, {2, 1, {3, 3}, {2, 2}}};
  tarnutil_line_list* list = NULL;
  tarnutil_link read[2];
  size_t lines = 0, length = 0;
  CHECK(tarnutil_line_list_create(&list) == TARNUTIL_OK);
  CHECK(tarnutil_line_list_add_n(list, links, 2) == TARNUTIL_OK);
  CHECK(tarnutil_line_list_count(list, &lines) == TARNUTIL_OK && lines == 1);
  CHECK(tarnutil_line_list_read(list, 0, read, 2, &length) == TARNUTIL_OK && length == 2);
  CHECK(read[1].app_data == 2 && read[1].start.key1 == 2 && read[1].direction == -1);
  tarnutil_line_list_clear(list);
  CHECK(tarnutil_line_list_count(list, &lines) == TARNUTIL_OK && lines == 0);
  tarnutil_line_list_destroy(list);
}

static void BitmapsAllocatorsHelpers(void) {
  tarnutil_dib* dib = NULL;
  int32_t reason = 0;
  wchar_t* wide = NULL;
  void* block = tarnutil_smalloc(8);
  CHECK(tarnutil_dib_load_file(L"no-such-file.bmp", &dib, &reason) == TARNUTIL_ERROR_REFUSED);
  CHECK(dib == NULL && reason == 1);
  CHECK(block != NULL);
  tarnutil_sfree(block);
  CHECK(tarnutil_hex_to_u32("0x1A") == 26);
  CHECK(tarnutil_to_wide("route 66", &wide) == TARNUTIL_OK && wide != NULL);
  CHECK(wide != NULL && wide[0] == L'r' && wide[8] == 0);
  tarnutil_free(wide);
  tarnutil_gps_set_last_error(5);
  CHECK(tarnutil_gps_last_error() == 5);
  CHECK(strcmp(tarnutil_version(), TARNUTIL_VERSION_STRING) == 0);
  CHECK(strcmp(tarnutil_status_text(TARNUTIL_ERROR_NO_MEMORY), "out of memory") == 0);
}

int main(void) {
  Measures();
  Clipping();
  Geodesy();
  Links();
  BitmapsAllocatorsHelpers();
  if (failures != 0) {
    fprintf(stderr, "%d checks failed\n", failures);
    return 1;
  }
  puts("C interface: all checks passed");
  return 0;
}
