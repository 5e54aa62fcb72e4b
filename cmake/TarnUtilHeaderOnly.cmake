# Header-only packages for the cross builds: their sysroots cannot see the
# host's /usr/include, so the headers of an installed package are copied
# into the build tree and added as a private include directory.
#
#   tarnutil_header_only(<var> <subdirectory> [<search root>...])
#
# Looks for <subdirectory> (e.g. nlohmann) under the roots (default
# /usr/include and /usr/local/include), copies it to
# <build>/header-only/<subdirectory>, and sets <var> to <build>/header-only,
# or to an empty string when the package is not installed.
function(tarnutil_header_only var subdirectory)
  set(roots ${ARGN})
  if(NOT roots)
    set(roots /usr/include /usr/local/include)
  endif()
  set(${var} "" PARENT_SCOPE)
  foreach(root IN LISTS roots)
    if(IS_DIRECTORY ${root}/${subdirectory})
      set(dest ${PROJECT_BINARY_DIR}/header-only)
      file(COPY ${root}/${subdirectory} DESTINATION ${dest})
      set(${var} ${dest} PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

# nlohmann-json, for the tool's GeoJSON (Debian nlohmann-json3-dev).
if(NOT DEFINED TARNUTIL_JSON_INCLUDE_DIR OR NOT TARNUTIL_JSON_INCLUDE_DIR)
  tarnutil_header_only(TARNUTIL_JSON_INCLUDE_DIR nlohmann)
endif()

# The tool's GeoJSON, WKT and map code as one library, for the tool's own
# tests (on every target), the fuzz target and the benchmarks.
if(TARNUTIL_JSON_INCLUDE_DIR AND NOT TARGET tarnutil_geo)
  add_library(tarnutil_geo OBJECT
    ${PROJECT_SOURCE_DIR}/tools/geo_io.cpp
    ${PROJECT_SOURCE_DIR}/tools/geo_commands.cpp
    ${PROJECT_SOURCE_DIR}/tools/map_render.cpp
    ${PROJECT_SOURCE_DIR}/tools/raster.cpp
    ${PROJECT_SOURCE_DIR}/tools/bmp_writer.cpp)
  target_compile_options(tarnutil_geo PRIVATE ${TARNUTIL_WARNINGS})
  target_include_directories(tarnutil_geo PUBLIC ${PROJECT_SOURCE_DIR})
  target_include_directories(tarnutil_geo SYSTEM PUBLIC ${TARNUTIL_JSON_INCLUDE_DIR})
  target_compile_definitions(tarnutil_geo PUBLIC TARNUTIL_STATIC_DEFINE)
  # Consumers link the library themselves (the object library or the shared one).
  target_include_directories(tarnutil_geo PRIVATE
                             $<TARGET_PROPERTY:tarnutil_core,INTERFACE_INCLUDE_DIRECTORIES>)
  if(TARNUTIL_BUILD_FUZZ)
    target_compile_options(tarnutil_geo PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endif()
