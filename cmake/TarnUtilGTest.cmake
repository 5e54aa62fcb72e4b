# Finds GoogleTest and settles TARNUTIL_BUILD_TESTS to ON or OFF. AUTO builds
# the tests at top level when GoogleTest is there and otherwise says why it
# skips them; an explicit ON without GoogleTest stops the configuration, so a
# CI run can never pass with no test built.
set(tarnutil_gtest_package "Debian's libgtest-dev (native) or googletest (sources, cross builds)")
set(tarnutil_tests_request ${TARNUTIL_BUILD_TESTS})
if(tarnutil_tests_request STREQUAL "AUTO")
  set(tarnutil_tests_request ${PROJECT_IS_TOP_LEVEL})
endif()

set(tarnutil_gtest_found OFF)
if(tarnutil_tests_request AND NOT CMAKE_DISABLE_FIND_PACKAGE_GTest)
  if(CMAKE_CROSSCOMPILING)
    # Cross targets build GoogleTest from the sources Debian ships.
    set(TARNUTIL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
    if(EXISTS ${TARNUTIL_GTEST_SOURCE_DIR}/CMakeLists.txt)
      # SYSTEM keeps GoogleTest's headers out of our warnings; only this
      # needs CMake 3.25.
      if(CMAKE_VERSION VERSION_LESS 3.25)
        message(FATAL_ERROR "Cross builds of the tests need CMake 3.25 or later")
      endif()
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
      set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
      add_subdirectory(${TARNUTIL_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
      # GoogleTest 1.12 defines the GTest:: aliases itself; older sources do not.
      if(NOT TARGET GTest::gtest)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
      endif()
      set(tarnutil_gtest_found ON)
    endif()
  else()
    # Debian's package config first; CMake's own module before 3.20 names
    # its targets GTest::GTest and GTest::Main.
    find_package(GTest CONFIG QUIET)
    if(NOT GTest_FOUND)
      find_package(GTest QUIET)
    endif()
    if(GTest_FOUND AND NOT TARGET GTest::gtest_main AND TARGET GTest::Main)
      add_library(GTest::gtest INTERFACE IMPORTED)
      target_link_libraries(GTest::gtest INTERFACE GTest::GTest)
      add_library(GTest::gtest_main INTERFACE IMPORTED)
      target_link_libraries(GTest::gtest_main INTERFACE GTest::Main GTest::GTest)
    endif()
    if(GTest_FOUND)
      set(tarnutil_gtest_found ON)
    endif()
  endif()
endif()

if(NOT tarnutil_tests_request)
  set(TARNUTIL_BUILD_TESTS OFF)
elseif(tarnutil_gtest_found)
  set(TARNUTIL_BUILD_TESTS ON)
  include(GoogleTest)
elseif(TARNUTIL_BUILD_TESTS STREQUAL "AUTO")
  message(STATUS "TarnUtil: GoogleTest not found, tests skipped (install ${tarnutil_gtest_package})")
  set(TARNUTIL_BUILD_TESTS OFF)
else()
  message(FATAL_ERROR "TARNUTIL_BUILD_TESTS is ON but GoogleTest was not found: "
                      "install ${tarnutil_gtest_package}, or configure with -DTARNUTIL_BUILD_TESTS=OFF")
endif()
