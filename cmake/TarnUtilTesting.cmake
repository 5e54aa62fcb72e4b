# Test suite: one GoogleTest program per module test beside its module.

# GoogleTest itself is found by TarnUtilGTest.cmake.

# Peer libraries that serve as independent oracles on the native leg.
set(TARNUTIL_HAVE_ORACLES OFF)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(PROJ CONFIG QUIET)
  if(PROJ_FOUND AND TARGET tarnutil_geographiclib)
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

# What every test program beside a module uses: the testing/ headers,
# internals reached unexported (the object library) and GoogleTest.
add_library(tarnutil_testing INTERFACE)
target_include_directories(tarnutil_testing INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_definitions(tarnutil_testing INTERFACE TARNUTIL_STATIC_DEFINE)
target_link_libraries(tarnutil_testing INTERFACE GTest::gtest_main)

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

# The test programs, by module: each is <path>.cpp and links the object
# library, so that internals are testable unexported.
set(TARNUTIL_TESTS
  util/exact_test maths/maths_test
  dibformat/dib_format_test
  geometry/measures_test geometry/point_segment_test geometry/rect_clip_test
  geometry/polygon_clip_test
  simplify/simplify_test simplify/farthest_scan_test
  geodesy/lambert_test geodesy/lambert_passes_test geodesy/rhumb_test
  links/line_list_test links/line_list_batch_test
  memory/small_object_test memory/huge_object_test memory/late_exit_test
  bitmap/dib_test bitmap/dib_files_test bitmap/transparent_blt_test
  helpers/helpers_test
  platform/platform_services_test
  capi/c_interface_test
  tests/golden_test)
# Tests of one back end, built only with it.
set(TARNUTIL_TESTS_posix platform/posix/graphics_test platform/posix/posix_services_test)
set(TARNUTIL_TESTS_win32 platform/win32/file_test platform/win32/readable_memory_test)
list(APPEND TARNUTIL_TESTS ${TARNUTIL_TESTS_${TARNUTIL_PLATFORM}})
# Checked against PROJ and GeographicLib where both are found.
set(TARNUTIL_ORACLE_TESTS geodesy/lambert_oracle_test geodesy/rhumb_oracle_test)
if(TARNUTIL_HAVE_ORACLES)
  list(APPEND TARNUTIL_TESTS ${TARNUTIL_ORACLE_TESTS})
endif()

foreach(path IN LISTS TARNUTIL_TESTS)
  get_filename_component(name ${path} NAME)
  add_executable(${name} ${PROJECT_SOURCE_DIR}/${path}.cpp)
  target_compile_options(${name} PRIVATE ${TARNUTIL_WARNINGS})
  target_link_libraries(${name} PRIVATE tarnutil_core tarnutil_testing)
  tarnutil_add_test_program(${name})
endforeach()
foreach(path IN LISTS TARNUTIL_ORACLE_TESTS)
  get_filename_component(name ${path} NAME)
  if(TARGET ${name})
    target_link_libraries(${name} PRIVATE PROJ::proj tarnutil_geographiclib)
  endif()
endforeach()

# The maths sweep against MPFR, native only; the label keeps it out of the
# memcheck runs (too slow there).
if(TARNUTIL_HAVE_MPFR)
  add_executable(maths_mpfr_test ${PROJECT_SOURCE_DIR}/maths/maths_mpfr_test.cpp)
  target_compile_options(maths_mpfr_test PRIVATE ${TARNUTIL_WARNINGS})
  target_include_directories(maths_mpfr_test PRIVATE ${MPFR_INCLUDE_DIR})
  target_link_libraries(maths_mpfr_test PRIVATE tarnutil_core tarnutil_testing ${MPFR_LIBRARY} ${GMP_LIBRARY})
  gtest_discover_tests(maths_mpfr_test DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "native;mpfr")
endif()

# Uses only what an application sees: the shared library and the umbrella.
add_executable(api_shared_test ${PROJECT_SOURCE_DIR}/tests/api_shared_test.cpp)
target_compile_options(api_shared_test PRIVATE ${TARNUTIL_WARNINGS})
target_link_libraries(api_shared_test PRIVATE tarnutil GTest::gtest_main)
tarnutil_add_test_program(api_shared_test)

# The golden workload once more with the C library's fused multiply-add
# variants disabled (glibc 2.33+ spelling): no result may depend on them.
if(NOT CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_NAME STREQUAL "Linux"
   AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
  add_test(NAME GoldenWorkloadNoFma COMMAND golden_test)
  set_tests_properties(GoldenWorkloadNoFma PROPERTIES
    ENVIRONMENT "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2,-FMA" LABELS native)
endif()

# The shared library exports exactly the public names (ELF targets, the POSIX
# back end's; the sanitizers add exported type information of their own).
if(TARNUTIL_PLATFORM STREQUAL "posix" AND NOT TARNUTIL_SANITIZE)
  add_test(NAME ExportedSymbols
           COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:tarnutil> -DNM=${CMAKE_NM}
                   -DEXPECTED=${PROJECT_SOURCE_DIR}/tests/exported_symbols.txt
                   -P ${PROJECT_SOURCE_DIR}/tests/check_exports.cmake)
endif()

# An installed copy works from CMake and from pkg-config and carries the
# version (native builds).
if(TARNUTIL_INSTALL AND NOT CMAKE_CROSSCOMPILING AND NOT TARNUTIL_SANITIZE)
  add_test(NAME InstalledPackage
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/consumer/check_installed.sh
                   ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}/tests/consumer ${CMAKE_CXX_COMPILER}
                   ${PROJECT_VERSION})
endif()
# A parent project can embed the checkout, and a machine without GoogleTest
# can configure it (native builds; each configures from scratch).
if(NOT CMAKE_CROSSCOMPILING AND NOT TARNUTIL_SANITIZE)
  add_test(NAME EmbeddedBuild
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/consumer/check_embedded.sh
                   ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests/consumer ${CMAKE_CXX_COMPILER})
  add_test(NAME ConfigureWithoutGoogleTest
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/consumer/check_without_gtest.sh
                   ${PROJECT_SOURCE_DIR} ${CMAKE_CXX_COMPILER})
endif()
include(${PROJECT_SOURCE_DIR}/cmake/TarnUtilMemoryTests.cmake)
include(${PROJECT_SOURCE_DIR}/cmake/TarnUtilResourceTests.cmake)
include(${PROJECT_SOURCE_DIR}/cmake/TarnUtilBitmapTests.cmake)
include(${PROJECT_SOURCE_DIR}/cmake/TarnUtilFuzzReplay.cmake)
include(${PROJECT_SOURCE_DIR}/cmake/TarnUtilCInterfaceTests.cmake)
include(${PROJECT_SOURCE_DIR}/cmake/TarnUtilGeoTests.cmake)
