# Shared CMake helpers.

function(trevolo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# trevolo_add_gtest(NAME name SOURCES ... LIBS ... [LABELS ...] [GUI] [FIXTURE name])
# One GoogleTest program; its cases are registered with CTest one by one.
# FIXTURE names a CTest fixture that every case needs (a test server).
# GUI tests run offscreen with their own settings and runtime folders so they
# never touch the user's settings or lock.
function(trevolo_add_gtest)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT;FIXTURE" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock trevolo_broken_pipe_init)
  if(T_GUI)
    # A main that creates the QApplication before the cases run.
    target_link_libraries(${T_NAME} PRIVATE trevolo_test_gui_main)
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  trevolo_warnings(${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # The discovered tests receive their properties as single strings, so the
  # labels travel as one text joined by commas; "ctest -L office" matches it
  # as a regular expression all the same.
  string(JOIN "," labels ${T_LABELS})
  set(fixture)
  if(T_FIXTURE)
    set(fixture FIXTURES_REQUIRED ${T_FIXTURE})
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${fixture})
endfunction()

# trevolo_area_library(name source...)
# One area of the core as a static library. The core is standard C++ only, so
# Qt's code generators stay off for it even in builds with the window.
function(trevolo_area_library name)
  add_library(${name} STATIC ${ARGN})
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  trevolo_warnings(${name})
endfunction()
