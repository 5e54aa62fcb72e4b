# The tool's GeoJSON, WKT and map code, tested on every target (the tool
# itself is built natively only): round trips, malformed documents, the
# commands over collections, and the map of the committed real-data extract.
if(TARGET tarnutil_geo)
  add_executable(geo_test ${PROJECT_SOURCE_DIR}/tools/tests/geo_test.cpp)
  target_compile_options(geo_test PRIVATE ${TARNUTIL_WARNINGS})
  target_compile_definitions(geo_test PRIVATE TARNUTIL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  target_link_libraries(geo_test PRIVATE tarnutil_geo tarnutil_core tarnutil_testing)
  tarnutil_add_test_program(geo_test)
else()
  message(STATUS "geo_test skipped: nlohmann-json is not installed (nlohmann-json3-dev)")
endif()
