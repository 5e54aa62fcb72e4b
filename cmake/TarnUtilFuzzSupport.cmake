# The fuzz targets and what they share, listed once for the libFuzzer build
# (fuzz/) and for the replay tests (TarnUtilFuzzReplay.cmake). Each target is
# fuzz/<name>_fuzz.cpp with its corpus in fuzz/corpus/<name>/. Included
# once, from the top.
set(TARNUTIL_FUZZ_TARGETS allocator c_api clip_graph dib_attach dib_load geodesy helpers line_list
                          rect_clip simplify tool_input)
# Sources a target needs beyond the library: the tool's input reader.
set(TARNUTIL_FUZZ_SOURCES_tool_input ${PROJECT_SOURCE_DIR}/tools/cli_support.cpp
                                     ${PROJECT_SOURCE_DIR}/tools/tool_platform.cpp)
# The tool's GeoJSON and WKT reader, where its JSON package is installed.
if(TARGET tarnutil_geo)
  list(APPEND TARNUTIL_FUZZ_TARGETS geo_io)
endif()

# Input splitting, the bitmap sweep and resource registration through the
# back end's own calls.
add_library(tarnutil_fuzz_support STATIC
  ${PROJECT_SOURCE_DIR}/fuzz/fuzz_input.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/dib_sweep.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/bitmap_resource_${TARNUTIL_PLATFORM}.cpp)
target_compile_options(tarnutil_fuzz_support PRIVATE ${TARNUTIL_WARNINGS})
if(TARNUTIL_BUILD_FUZZ)
  # Coverage feedback, as in the library itself.
  target_compile_options(tarnutil_fuzz_support PRIVATE -fsanitize=fuzzer-no-link)
endif()
target_compile_definitions(tarnutil_fuzz_support PUBLIC TARNUTIL_STATIC_DEFINE)
target_link_libraries(tarnutil_fuzz_support PUBLIC tarnutil_core)
