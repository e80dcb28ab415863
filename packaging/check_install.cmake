# Installs the build into a fresh prefix and checks what a user finds there:
# the program folder with everything beside the program, the launchers in
# bin/, the desktop files, and the installed batch tool judging an installed
# sample file.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DPROGRAM_DIR=lib/trevolo -DBINDIR=bin
#         -DDATADIR=share -DWITH_GUI=0|1 -DWITH_TEMPLATES=0|1 -DWITH_MANUAL=0|1
#         [-DAPPSTREAMCLI=...] -P check_install.cmake

cmake_minimum_required(VERSION 3.25)

function(fail what)
  message(FATAL_ERROR "install check: ${what}")
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  fail("cmake --install failed (${rc}):\n${out}\n${err}")
endif()

set(prog "${PREFIX}/${PROGRAM_DIR}")
set(expected
  "${prog}/trevolo-cli"
  "${prog}/Sample Files/01_stable_XbarR.csv"
  "${prog}/Sample Files/02_drift_XbarR.csv"
  "${prog}/Sample Files/03_out_of_tolerance_XbarR.csv"
  "${prog}/Sample Files/04_upper_limit_XbarR.csv"
  "${prog}/Sample Files/05_individuals_X-Rs.csv")
set(links trevolo-cli)
if(WITH_GUI)
  list(APPEND expected "${prog}/trevolo"
    "${PREFIX}/${DATADIR}/applications/com.morvane.Trevolo.desktop"
    "${PREFIX}/${DATADIR}/metainfo/com.morvane.Trevolo.metainfo.xml"
    "${PREFIX}/${DATADIR}/icons/hicolor/scalable/apps/com.morvane.Trevolo.svg")
  list(APPEND links trevolo)
endif()
if(WITH_BOARD)
  list(APPEND expected "${PREFIX}/lib/systemd/system/trevolo-board.service")
endif()
if(WITH_TEMPLATES)
  foreach(t XbarR.xls XbarS.xls X-Rs.xls Histogram.xls)
    list(APPEND expected "${prog}/Form Files/${t}")
  endforeach()
endif()
if(WITH_MANUAL)
  list(APPEND expected "${prog}/操作手順書.pdf")
endif()
foreach(f IN LISTS expected)
  if(NOT EXISTS "${f}")
    fail("missing ${f}")
  endif()
endforeach()

# The launchers are relative links into the program folder, so the program
# resolves its own folder through them.
foreach(p IN LISTS links)
  set(link "${PREFIX}/${BINDIR}/${p}")
  if(NOT IS_SYMLINK "${link}")
    fail("${link} is not a symbolic link")
  endif()
  file(READ_SYMLINK "${link}" target)
  if(IS_ABSOLUTE "${target}")
    fail("${link} points to the absolute path ${target}")
  endif()
  file(REAL_PATH "${link}" resolved)
  file(REAL_PATH "${prog}/${p}" real_program)
  if(NOT resolved STREQUAL real_program)
    fail("${link} resolves to ${resolved}, not ${real_program}")
  endif()
endforeach()

# The build-tree-only things stay out of the program folder.
foreach(f make-templates "Save Files")
  if(EXISTS "${prog}/${f}")
    fail("${prog}/${f} must not be installed")
  endif()
endforeach()

# The installed batch tool, started through its launcher, on installed
# samples: the stable process passes, the drifting one trips rules 2 and 3.
execute_process(COMMAND "${PREFIX}/${BINDIR}/trevolo-cli" judge "${prog}/Sample Files/01_stable_XbarR.csv"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "SPC異常判定: 合格" OR NOT out MATCHES "合格 1, 不合格 0, 判定未完了 0")
  fail("the stable sample: status ${rc}\n${out}\n${err}")
endif()
execute_process(COMMAND "${PREFIX}/${BINDIR}/trevolo-cli" judge "${prog}/Sample Files/02_drift_XbarR.csv"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT out MATCHES "X②" OR NOT out MATCHES "X③")
  fail("the drifting sample: status ${rc}\n${out}\n${err}")
endif()
# The validation pack installed beside the program, found from the launcher.
execute_process(COMMAND "${PREFIX}/${BINDIR}/trevolo-cli" validate
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "pistonrings")
  fail("the validation pack: status ${rc}\n${out}\n${err}")
endif()

# The board's service starts the installed batch tool through its launcher.
if(WITH_BOARD)
  file(STRINGS "${PREFIX}/lib/systemd/system/trevolo-board.service" unit REGEX "^ExecStart=")
  if(NOT unit MATCHES "^ExecStart=/usr/${BINDIR}/trevolo-cli board --db ")
    fail("the board's service starts ${unit}")
  endif()
endif()

if(WITH_GUI)
  file(STRINGS "${PREFIX}/${DATADIR}/applications/com.morvane.Trevolo.desktop" entry)
  foreach(line "Name=Trevolo" "Exec=trevolo" "Icon=com.morvane.Trevolo" "Categories=Office;Science;")
    if(NOT line IN_LIST entry)
      fail("the desktop entry lacks ${line}")
    endif()
  endforeach()
  if(APPSTREAMCLI)
    execute_process(COMMAND "${APPSTREAMCLI}" validate --no-net
      "${PREFIX}/${DATADIR}/metainfo/com.morvane.Trevolo.metainfo.xml"
      RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      fail("appstreamcli validate: ${out}\n${err}")
    endif()
  endif()
endif()

file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "install check passed")
