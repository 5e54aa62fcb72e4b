# Every fuzz target also builds as a plain program that replays its checked-in
# corpus and its regression inputs once, as an ordinary test on every target.
foreach(target IN LISTS TARNUTIL_FUZZ_TARGETS)
  set(name ${target}_fuzz)
  add_executable(${name}_replay ${PROJECT_SOURCE_DIR}/fuzz/${name}.cpp
                                ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_compile_options(${name}_replay PRIVATE ${TARNUTIL_WARNINGS})
  target_link_libraries(${name}_replay PRIVATE tarnutil_fuzz_support)
  if(target STREQUAL "geo_io")
    target_link_libraries(${name}_replay PRIVATE tarnutil_geo)
  endif()
  if(TARNUTIL_FUZZ_SOURCES_${target})
    target_sources(${name}_replay PRIVATE ${TARNUTIL_FUZZ_SOURCES_${target}})
    if(WIN32)
      target_link_libraries(${name}_replay PRIVATE shell32)
    endif()
  endif()
  set(replay_inputs ${PROJECT_SOURCE_DIR}/fuzz/corpus/${target})
  # Regression inputs appear as faults are found; re-run cmake to pick up a
  # new folder.
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/fuzz/regressions/${target})
    list(APPEND replay_inputs ${PROJECT_SOURCE_DIR}/fuzz/regressions/${target})
  endif()
  add_test(NAME ${name}_replay COMMAND ${name}_replay ${replay_inputs})
  set_tests_properties(${name}_replay PROPERTIES LABELS fuzz-replay)
endforeach()
