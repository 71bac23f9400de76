# Helpers shared by every module.

# lorimo_library(<target> [SHARED|STATIC] SOURCES <files...>)
# A library built from its folder: public headers under include/, sources
# under src/ (and ui/ or dialogs/ when it has windows).
function(lorimo_library target)
  cmake_parse_arguments(ARG "STATIC" "" "SOURCES" ${ARGN})
  if(ARG_STATIC)
    add_library(${target} STATIC ${ARG_SOURCES})
  else()
    add_library(${target} SHARED ${ARG_SOURCES})
  endif()
  target_include_directories(${target}
    PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
endfunction()

# Environment every test runs in: no display, sanitizer settings, and the
# sources folder for fixtures. Each test process makes its own HOME and XDG
# folders (testsupport/testmain.cpp).
set(LORIMO_TEST_ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen"
  "LORIMO_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
  "LORIMO_BINARY_DIR=${CMAKE_BINARY_DIR}"
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/tsan.supp:ignore_noninstrumented_modules=1:second_deadlock_stack=1:history_size=4"
  "QT_LOGGING_RULES=*.debug=false")

# lorimo_test(<name> SOURCES <files...> LIBS <targets...>
#             [LABELS unit|widget|e2e|slow ...] [NO_QT] [TIMEOUT seconds]
#             [LOCK resource] [THREADS regex])
# One GoogleTest executable, each case registered with CTest on its own.
# NO_QT tests use GoogleTest's own main (for code that must not see Qt).
# Cases of programs that name the same LOCK never run at the same time.
# Cases whose names match THREADS run threads and get the label "threads",
# which the ThreadSanitizer build runs.
function(lorimo_test name)
  cmake_parse_arguments(ARG "NO_QT" "TIMEOUT;LOCK;THREADS" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT LORIMO_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  if(ARG_NO_QT)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  else()
    target_link_libraries(${name} PRIVATE lorimo_testmain)
  endif()
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
  # gtest_discover_tests flattens list-valued properties, so the labels and
  # the environment are set by a script that CTest runs after discovery.
  set(props "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
  file(CONFIGURE OUTPUT "${props}" CONTENT [=[
if(@name@_TESTS)
  set_tests_properties(${@name@_TESTS} PROPERTIES
    LABELS "@ARG_LABELS@" TIMEOUT @ARG_TIMEOUT@ ENVIRONMENT "@LORIMO_TEST_ENVIRONMENT@")
  if(NOT "@ARG_LOCK@" STREQUAL "")
    set_tests_properties(${@name@_TESTS} PROPERTIES RESOURCE_LOCK "@ARG_LOCK@")
  endif()
  if(NOT "@ARG_THREADS@" STREQUAL "")
    foreach(test IN LISTS @name@_TESTS)
      if(test MATCHES "@ARG_THREADS@")
        set_tests_properties("${test}" PROPERTIES LABELS "@ARG_LABELS@;threads")
      endif()
    endforeach()
  endif()
endif()
]=] @ONLY)
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${props}")
endfunction()
