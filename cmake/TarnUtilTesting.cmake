# Test suite: one GoogleTest program per *_test.cpp beside its module.

if(CMAKE_CROSSCOMPILING)
  # Cross targets build GoogleTest from the sources Debian ships.
  set(TARNUTIL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${TARNUTIL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # GoogleTest 1.12 defines the GTest:: aliases itself; older sources do not.
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Peer libraries that serve as independent oracles on the native leg.
set(TARNUTIL_HAVE_ORACLES OFF)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(PROJ CONFIG QUIET)
  find_package(GeographicLib CONFIG QUIET)
  if(NOT GeographicLib_FOUND)
    find_library(GeographicLib_LIBRARIES NAMES GeographicLib Geographic)
    find_path(GeographicLib_INCLUDE_DIRS GeographicLib/Rhumb.hpp)
    if(GeographicLib_LIBRARIES AND GeographicLib_INCLUDE_DIRS)
      set(GeographicLib_FOUND ON)
    endif()
  endif()
  if(PROJ_FOUND AND GeographicLib_FOUND)
    set(TARNUTIL_HAVE_ORACLES ON)
  endif()
endif()
if(TARNUTIL_REQUIRE_ORACLES AND NOT TARNUTIL_HAVE_ORACLES)
  message(FATAL_ERROR "PROJ and GeographicLib are required for the oracle tests")
endif()

# GNU MPFR, the correctly rounded reference of the maths sweep (native only:
# the cross sysroots have none; every target checks the generated tables).
set(TARNUTIL_HAVE_MPFR OFF)
if(NOT CMAKE_CROSSCOMPILING)
  find_path(MPFR_INCLUDE_DIR mpfr.h)
  find_library(MPFR_LIBRARY mpfr)
  find_library(GMP_LIBRARY gmp)
  if(MPFR_INCLUDE_DIR AND MPFR_LIBRARY AND GMP_LIBRARY)
    set(TARNUTIL_HAVE_MPFR ON)
  endif()
endif()

file(GLOB TARNUTIL_TESTING_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/testing/*.cpp)
add_library(tarnutil_testing STATIC ${TARNUTIL_TESTING_SOURCES} ${CMAKE_SOURCE_DIR}/testing/testing.h)
set_target_properties(tarnutil_testing PROPERTIES LINKER_LANGUAGE CXX)
target_include_directories(tarnutil_testing PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tarnutil_testing PUBLIC tarnutil_core GTest::gtest)

# Registers one test program. Native builds list each case with CTest;
# emulated targets run each program once, as starting an emulator per case
# costs more than the cases themselves.
function(tarnutil_add_test_program name)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native)
  endif()
endfunction()

# Tests of a platform back end are built only with that back end.
set(test_sources)
foreach(dir IN LISTS TARNUTIL_MODULE_DIRS ITEMS platform platform/${TARNUTIL_PLATFORM} tests)
  file(GLOB dir_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*_test.cpp)
  list(APPEND test_sources ${dir_tests})
endforeach()

foreach(src IN LISTS test_sources)
  get_filename_component(name ${src} NAME_WE)
  if(name MATCHES "_oracle_test$" AND NOT TARNUTIL_HAVE_ORACLES)
    continue()
  endif()
  if(name MATCHES "_mpfr_test$" AND NOT TARNUTIL_HAVE_MPFR)
    continue()
  endif()
  add_executable(${name} ${src})
  target_compile_options(${name} PRIVATE ${TARNUTIL_WARNINGS})
  if(name MATCHES "_shared_test$")
    # Uses only what an application sees: the shared library and the umbrella.
    target_link_libraries(${name} PRIVATE tarnutil GTest::gtest_main)
  else()
    target_compile_definitions(${name} PRIVATE TARNUTIL_STATIC_DEFINE)
    target_link_libraries(${name} PRIVATE tarnutil_testing GTest::gtest_main)
  endif()
  if(name MATCHES "_oracle_test$")
    target_link_libraries(${name} PRIVATE PROJ::proj)
    if(TARGET GeographicLib::GeographicLib)
      target_link_libraries(${name} PRIVATE GeographicLib::GeographicLib)
    elseif(TARGET GeographicLib_SHARED)
      target_link_libraries(${name} PRIVATE GeographicLib_SHARED)
    else()
      target_include_directories(${name} PRIVATE ${GeographicLib_INCLUDE_DIRS})
      target_link_libraries(${name} PRIVATE ${GeographicLib_LIBRARIES})
    endif()
  endif()
  if(name MATCHES "_mpfr_test$")
    target_include_directories(${name} PRIVATE ${MPFR_INCLUDE_DIR})
    target_link_libraries(${name} PRIVATE ${MPFR_LIBRARY} ${GMP_LIBRARY})
    # The label keeps the sweep out of the memcheck runs (too slow there).
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "native;mpfr")
    continue()
  endif()
  tarnutil_add_test_program(${name})
endforeach()

# The golden workload once more with the C library's fused multiply-add
# variants disabled (glibc 2.33+ spelling): no result may depend on them.
if(NOT CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_NAME STREQUAL "Linux"
   AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
  add_test(NAME GoldenWorkloadNoFma COMMAND golden_test)
  set_tests_properties(GoldenWorkloadNoFma PROPERTIES
    ENVIRONMENT "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2,-FMA" LABELS native)
endif()

# The shared library exports exactly the public names (ELF targets; the
# sanitizers add exported type information of their own).
if(NOT WIN32 AND NOT TARNUTIL_SANITIZE)
  add_test(NAME ExportedSymbols
           COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:tarnutil> -DNM=${CMAKE_NM}
                   -DEXPECTED=${CMAKE_SOURCE_DIR}/tests/exported_symbols.txt
                   -P ${CMAKE_SOURCE_DIR}/tests/check_exports.cmake)
endif()

# An installed copy works from CMake and from pkg-config (native builds).
if(NOT CMAKE_CROSSCOMPILING AND NOT TARNUTIL_SANITIZE)
  add_test(NAME InstalledPackage
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/consumer/check_installed.sh
                   ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/tests/consumer ${CMAKE_CXX_COMPILER})
endif()
include(${CMAKE_SOURCE_DIR}/cmake/TarnUtilMemoryTests.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/TarnUtilResourceTests.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/TarnUtilBitmapTests.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/TarnUtilFuzzReplay.cmake)
