# GeographicLib, an oracle for the geodesy tests and a rival in the
# benchmarks: its CMake package when it has one, else the library and header
# Debian installs. Defines the target tarnutil_geographiclib when found.
# Included once, from the top, for both.
find_package(GeographicLib CONFIG QUIET)
if(TARGET GeographicLib::GeographicLib)
  set(geographiclib_link GeographicLib::GeographicLib)
elseif(TARGET GeographicLib_SHARED)
  set(geographiclib_link GeographicLib_SHARED)
else()
  find_library(TARNUTIL_GEOGRAPHICLIB_LIBRARY NAMES GeographicLib Geographic)
  find_path(TARNUTIL_GEOGRAPHICLIB_INCLUDE_DIR GeographicLib/Rhumb.hpp)
  if(TARNUTIL_GEOGRAPHICLIB_LIBRARY AND TARNUTIL_GEOGRAPHICLIB_INCLUDE_DIR)
    set(geographiclib_link ${TARNUTIL_GEOGRAPHICLIB_LIBRARY})
  endif()
endif()
if(geographiclib_link)
  add_library(tarnutil_geographiclib INTERFACE)
  target_link_libraries(tarnutil_geographiclib INTERFACE ${geographiclib_link})
  if(TARNUTIL_GEOGRAPHICLIB_INCLUDE_DIR)
    target_include_directories(tarnutil_geographiclib SYSTEM INTERFACE ${TARNUTIL_GEOGRAPHICLIB_INCLUDE_DIR})
  endif()
endif()
