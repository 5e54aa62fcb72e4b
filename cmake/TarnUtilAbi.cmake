# The ABI guard of the shared library: abi/<library architecture>.abi is the
# committed baseline (abidw XML) of each guarded target, taken from a
# RelWithDebInfo build as the test legs make it. Where a baseline exists, the
# test AbiCompatible fails on any change that is not an addition, and the
# target abi_baseline rewrites the baseline on purpose
# (scripts/abi_baseline.sh does it for every guarded target).
if(NOT TARNUTIL_PLATFORM STREQUAL "posix" OR TARNUTIL_SANITIZE OR NOT CMAKE_LIBRARY_ARCHITECTURE)
  return()
endif()
find_program(TARNUTIL_ABIDW abidw)
find_program(TARNUTIL_ABIDIFF abidiff)
if(NOT TARNUTIL_ABIDW OR NOT TARNUTIL_ABIDIFF)
  message(STATUS "TarnUtil: ABI check skipped (install abigail-tools)")
  return()
endif()
set(TARNUTIL_ABI_BASELINE ${PROJECT_SOURCE_DIR}/abi/${CMAKE_LIBRARY_ARCHITECTURE}.abi)
set(TARNUTIL_ABI_ARGS
  -DABIDW=${TARNUTIL_ABIDW} -DABIDIFF=${TARNUTIL_ABIDIFF}
  -DLIBRARY=$<TARGET_FILE:tarnutil> -DBASELINE=${TARNUTIL_ABI_BASELINE}
  -DCURRENT=${PROJECT_BINARY_DIR}/abi-current.abi
  "-DHEADERS=${PROJECT_SOURCE_DIR}/include|${TARNUTIL_GENERATED_INCLUDE}")
add_custom_target(abi_baseline
  COMMAND ${CMAKE_COMMAND} ${TARNUTIL_ABI_ARGS} -DWRITE_BASELINE=ON
          -P ${PROJECT_SOURCE_DIR}/tests/check_abi.cmake
  DEPENDS tarnutil VERBATIM)
# Types come from the debugging information, which the baseline's build type
# has; other build types would differ in it, not in the ABI.
if(TARNUTIL_BUILD_TESTS AND CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo"
   AND EXISTS ${TARNUTIL_ABI_BASELINE})
  add_test(NAME AbiCompatible
           COMMAND ${CMAKE_COMMAND} ${TARNUTIL_ABI_ARGS} -P ${PROJECT_SOURCE_DIR}/tests/check_abi.cmake)
  add_test(NAME AbiCheckSeesLayoutChange
           COMMAND ${CMAKE_COMMAND} ${TARNUTIL_ABI_ARGS} -DSELF_TEST=ON
                   -DCURRENT=${PROJECT_BINARY_DIR}/abi-self-test.abi
                   -P ${PROJECT_SOURCE_DIR}/tests/check_abi.cmake)
endif()
