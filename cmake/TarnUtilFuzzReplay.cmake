# Every fuzz target also builds as a plain program that replays its checked-in
# corpus and its regression inputs once, as an ordinary test on every target.
file(GLOB fuzz_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*_fuzz.cpp)
# Bitmap resources are registered at run time only off Windows.
if(WIN32)
  set(fuzz_resource_backend win32)
else()
  set(fuzz_resource_backend posix)
endif()
add_library(tarnutil_fuzz_support STATIC
  ${PROJECT_SOURCE_DIR}/fuzz/fuzz_input.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/dib_sweep.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/bitmap_resource_${fuzz_resource_backend}.cpp)
target_compile_options(tarnutil_fuzz_support PRIVATE ${TARNUTIL_WARNINGS})
target_compile_definitions(tarnutil_fuzz_support PUBLIC TARNUTIL_STATIC_DEFINE)
target_link_libraries(tarnutil_fuzz_support PUBLIC tarnutil_core)

foreach(src IN LISTS fuzz_sources)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" target ${name})
  add_executable(${name}_replay ${src} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_compile_options(${name}_replay PRIVATE ${TARNUTIL_WARNINGS})
  target_link_libraries(${name}_replay PRIVATE tarnutil_fuzz_support)
  set(replay_inputs ${PROJECT_SOURCE_DIR}/fuzz/corpus/${target})
  # Regression inputs appear as faults are found; re-run cmake to pick up a
  # new folder.
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/fuzz/regressions/${target})
    list(APPEND replay_inputs ${PROJECT_SOURCE_DIR}/fuzz/regressions/${target})
  endif()
  add_test(NAME ${name}_replay COMMAND ${name}_replay ${replay_inputs})
  set_tests_properties(${name}_replay PROPERTIES LABELS fuzz-replay)
endforeach()
