# Checks the layer order of the source folders: each folder under src/ may
# include headers of its own and of the folders below it, never of a folder
# above it. The order, bottom first:
#
#   model <- stats <- entry <- spc <- document <- exchange <- store <- board <- app
#
# store (the crash journal) stands beside exchange: it uses the document only.
# board (the plant board's web server) uses the store and the document; the
# window does not use it.
#
# A folder under src/ that has no place in the order fails the check too, so
# a new area is placed deliberately. tools/, tests/, bench/ and fuzz/ lie
# outside src/ and may include anything.
#
# Run by the build (see the top-level CMakeLists.txt), or by hand:
#   cmake -DSOURCE_DIR=<checkout>/src [-DSTAMP=<file>] -P cmake/check_layers.cmake
# STAMP, when given, is touched after a passing check.
cmake_minimum_required(VERSION 3.25)

set(layers model stats entry spc document exchange store board app)

if(NOT SOURCE_DIR OR NOT IS_DIRECTORY "${SOURCE_DIR}")
  message(FATAL_ERROR "check_layers: give the src/ folder as -DSOURCE_DIR=<folder>")
endif()

string(JOIN " <- " order_text ${layers})
set(problems "")

file(GLOB folders LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
list(SORT folders)
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${folder}")
    continue()
  endif()
  list(FIND layers "${folder}" level)
  if(level EQUAL -1)
    list(APPEND problems
      "src/${folder}/: this folder has no place in the layer order, add it to the list in cmake/check_layers.cmake")
    continue()
  endif()

  file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}"
    "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.hpp"
    "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.cc" "${SOURCE_DIR}/${folder}/*.inl")
  list(SORT files)
  foreach(file IN LISTS files)
    # Only the include lines that name a folder: "area/name.h" or <area/name.h>.
    file(STRINGS "${SOURCE_DIR}/${file}" includes
      REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][A-Za-z0-9_]+/")
    foreach(line IN LISTS includes)
      string(REGEX MATCH "include[ \t]*([\"<]([A-Za-z0-9_]+)/[^\">]*[\">])" found "${line}")
      set(included "${CMAKE_MATCH_1}")
      set(area "${CMAKE_MATCH_2}")
      list(FIND layers "${area}" area_level)
      if(area_level GREATER level)
        list(APPEND problems
          "src/${file}: #include ${included}: ${folder} may not include ${area}, which lies above it")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n  " problem_text)
  message(FATAL_ERROR
    "The source folders break the layer order (${order_text}); a folder may include only "
    "its own headers and those of the folders to its left:\n  ${problem_text}\n")
endif()

if(STAMP)
  file(TOUCH "${STAMP}")
endif()
