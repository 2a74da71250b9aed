# zephra_library(<name> SOURCES ... [DEPS ...])
# One static library per source folder; its public headers sit at the folder's root and are
# included as "<folder>/<file>.h" from the src/ directory.
function(zephra_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# zephra_test(<module> SOURCES ... DEPS ...)
# One GoogleTest executable per module, registered with CTest. Widget tests run on Qt's
# offscreen platform so that no display is needed. Every test program carries the sanitizer
# suppressions for system libraries. Under ThreadSanitizer plain computation runs some 25 times
# slower (the QR Code tests' largest symbols), so each test gets three times as long.
set(ZEPHRA_TEST_TIMEOUT 120)
if(ZEPHRA_SANITIZE MATCHES "thread")
  set(ZEPHRA_TEST_TIMEOUT 360)
endif()
function(zephra_test module)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  set(target ${module}_test)
  add_executable(${target} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/sanitizer_suppressions.cpp)
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${target} TEST_PREFIX "${module}."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${ZEPHRA_TEST_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
endfunction()
