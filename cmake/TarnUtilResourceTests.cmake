# The test bitmap resource. A host script writes a small bitmap file at build
# time; on Windows the resource compiler puts it into a test program, and
# elsewhere the program registers it at run time. A test program gets it
# with tarnutil_add_test_bitmap_resource(<target>) and reaches it through
# tests/resources/test_bitmap.h.
find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(TARNUTIL_TEST_RESOURCE_DIR ${PROJECT_BINARY_DIR}/tests/resources)
set(test_bitmap_script ${PROJECT_SOURCE_DIR}/tests/resources/make_test_bitmap.py)
set(test_bitmap_outputs ${TARNUTIL_TEST_RESOURCE_DIR}/test_bitmap.bmp
                        ${TARNUTIL_TEST_RESOURCE_DIR}/test_bitmap.inc)
add_custom_command(OUTPUT ${test_bitmap_outputs}
  COMMAND Python3::Interpreter ${test_bitmap_script} ${TARNUTIL_TEST_RESOURCE_DIR}
  DEPENDS ${test_bitmap_script}
  COMMENT "Writing the test bitmap resource"
  VERBATIM)
add_custom_target(tarnutil_test_bitmap DEPENDS ${test_bitmap_outputs})

if(TARNUTIL_PLATFORM STREQUAL "win32")
  enable_language(RC)
  set(test_bitmap_rc ${PROJECT_SOURCE_DIR}/tests/resources/test_bitmap.rc)
  add_library(tarnutil_test_bitmap_rc OBJECT ${test_bitmap_rc})
  # The compiler options of the C++ code mean nothing to the resource
  # compiler, which rejects them.
  set_property(TARGET tarnutil_test_bitmap_rc PROPERTY COMPILE_OPTIONS "")
  # windres looks for the bitmap file along the include path.
  target_include_directories(tarnutil_test_bitmap_rc PRIVATE ${TARNUTIL_TEST_RESOURCE_DIR})
  set_source_files_properties(${test_bitmap_rc} PROPERTIES
    OBJECT_DEPENDS ${TARNUTIL_TEST_RESOURCE_DIR}/test_bitmap.bmp)
  add_dependencies(tarnutil_test_bitmap_rc tarnutil_test_bitmap)
endif()

function(tarnutil_add_test_bitmap_resource target)
  target_sources(${target} PRIVATE
    ${PROJECT_SOURCE_DIR}/tests/resources/test_bitmap.cpp
    ${PROJECT_SOURCE_DIR}/tests/resources/test_bitmap_${TARNUTIL_PLATFORM}.cpp)
  target_include_directories(${target} PRIVATE ${TARNUTIL_TEST_RESOURCE_DIR})
  add_dependencies(${target} tarnutil_test_bitmap)
  if(TARGET tarnutil_test_bitmap_rc)
    target_link_libraries(${target} PRIVATE tarnutil_test_bitmap_rc)
  endif()
endfunction()

foreach(program IN ITEMS platform_services_test dib_test)
  if(TARGET ${program})
    tarnutil_add_test_bitmap_resource(${program})
  endif()
endforeach()
