# A newcomer's first run: configures a fresh build folder as the run command
# does (scripts/build.sh), builds the run command's target and checks that
# the program folder holds everything the program looks for beside itself:
# the program, "Form Files" with the four report templates, "Sample Files"
# as the repository keeps them, and the operating manual.
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DTARGET=trevolo_program
#         -DWITH_TEMPLATES=0|1 -DWITH_MANUAL=0|1 -P check_program_folder.cmake
# The folder is removed again when everything is there.

cmake_minimum_required(VERSION 3.25)

function(fail what)
  message(FATAL_ERROR "first run check: ${what}")
endfunction()

# The check builds what the run command builds.
file(READ "${SOURCE_DIR}/scripts/run.sh" run)
if(NOT run MATCHES "scripts/build.sh build ${TARGET}\n")
  fail("scripts/run.sh does not build the target ${TARGET}")
endif()

# The compiler cache of this machine, when there is one, spares the compile;
# a folder beside the main build folder compiles with the same relative paths.
find_program(CCACHE ccache)
if(CCACHE)
  set(ENV{CMAKE_CXX_COMPILER_LAUNCHER} "${CCACHE}")
endif()

file(REMOVE_RECURSE "${BUILD_DIR}")
execute_process(COMMAND "${SOURCE_DIR}/scripts/build.sh" "${BUILD_DIR}" ${TARGET}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  fail("the build of ${TARGET} failed (${rc}):\n${out}\n${err}")
endif()

set(bin "${BUILD_DIR}/bin")
set(expected "${bin}/trevolo")
if(WITH_TEMPLATES)
  foreach(t XbarR.xls XbarS.xls X-Rs.xls Histogram.xls)
    list(APPEND expected "${bin}/Form Files/${t}")
  endforeach()
endif()
if(WITH_MANUAL)
  list(APPEND expected "${bin}/操作手順書.pdf")
endif()
foreach(f IN LISTS expected)
  if(NOT EXISTS "${f}")
    fail("missing ${f}")
  endif()
  file(SIZE "${f}" size)
  if(size EQUAL 0)
    fail("${f} is empty")
  endif()
endforeach()
execute_process(COMMAND test -x "${bin}/trevolo" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fail("${bin}/trevolo is not executable")
endif()
if(WITH_MANUAL)
  file(READ "${bin}/操作手順書.pdf" head LIMIT 5 HEX)
  if(NOT head STREQUAL "255044462d")  # "%PDF-"
    fail("操作手順書.pdf is not a PDF file")
  endif()
endif()

# Every sample the repository keeps, as it keeps it.
file(GLOB samples RELATIVE "${SOURCE_DIR}/Sample Files" "${SOURCE_DIR}/Sample Files/*")
list(LENGTH samples count)
if(count EQUAL 0)
  fail("no samples in ${SOURCE_DIR}/Sample Files")
endif()
foreach(s IN LISTS samples)
  set(copy "${bin}/Sample Files/${s}")
  if(NOT EXISTS "${copy}")
    fail("missing ${copy}")
  endif()
  file(SHA256 "${SOURCE_DIR}/Sample Files/${s}" want)
  file(SHA256 "${copy}" got)
  if(NOT want STREQUAL got)
    fail("${copy} differs from the repository's sample")
  endif()
endforeach()

message(STATUS "first run check: ${bin} holds the program, Form Files, Sample Files and the manual")
file(REMOVE_RECURSE "${BUILD_DIR}")
