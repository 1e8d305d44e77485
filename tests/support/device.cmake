# kx_test_device: the shared test device and driver interface stand-in
# (tests/support/testdevice.h, driveruni.h), for the tests, the fuzz targets and
# the benchmarks.
if(NOT TARGET kx_test_device)
  add_library(kx_test_device STATIC ${CMAKE_SOURCE_DIR}/tests/support/device.cpp)
  target_include_directories(kx_test_device PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(kx_test_device PUBLIC kx_plugin PRIVATE kx_warnings)
  # Tests, fuzz targets and benchmarks fill fixed buffers with their own short
  # texts; the results of those bounded copies are not checked.
  target_compile_definitions(kx_test_device PUBLIC KX_UNCHECKED_BOUNDED_RESULTS)
endif()
