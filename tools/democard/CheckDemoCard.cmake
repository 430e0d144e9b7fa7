# Runs democard twice on a fresh device root and checks the card it lays out:
# the program folder with its language files and journal folder, and that a
# second run keeps the operator's settings, journals and language choice.
# cmake -DDEMOCARD=... -DDATA=... -DROOT=... -P CheckDemoCard.cmake
file(REMOVE_RECURSE "${ROOT}")

function(run_democard)
  execute_process(COMMAND "${DEMOCARD}" --root "${ROOT}" --data "${DATA}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "democard failed (${rc}): ${out} ${err}")
  endif()
endfunction()

function(expect_same a b)
  file(READ "${a}" left HEX)
  file(READ "${b}" right HEX)
  if(NOT left STREQUAL right)
    message(FATAL_ERROR "${a} differs from ${b}")
  endif()
endfunction()

set(card "${ROOT}/SDMMC/Autorun")
run_democard()
foreach(name ENG.LNG RUS.LNG Language.ini)
  expect_same("${DATA}/Language/${name}" "${card}/Language/${name}")
endforeach()
if(NOT IS_DIRECTORY "${card}/DB")
  message(FATAL_ERROR "no DB folder on the card")
endif()
# The shipped measuring schemes, both families.
foreach(folder Schemes Schemes_QOD)
  file(GLOB schemes RELATIVE "${DATA}/${folder}" "${DATA}/${folder}/*.sch")
  if(NOT schemes)
    message(FATAL_ERROR "data/${folder} holds no scheme")
  endif()
  foreach(name IN LISTS schemes)
    expect_same("${DATA}/${folder}/${name}" "${card}/${folder}/${name}")
  endforeach()
endforeach()
list(GET schemes 0 operator_scheme)

# The operator's files: settings, a journal, another language chosen, and a
# shipped file damaged on the card.
file(WRITE "${card}/param.qav" "operator settings")
file(WRITE "${card}/DB/Depot.qav" "measurements")
file(WRITE "${card}/Language/Language.ini" "File_Language=RUS.LNG")
file(WRITE "${card}/Language/ENG.LNG" "damaged")
file(WRITE "${card}/Schemes_QOD/${operator_scheme}" "edited scheme")
run_democard()
file(READ "${card}/Schemes_QOD/${operator_scheme}" edited)
if(NOT edited STREQUAL "edited scheme")
  message(FATAL_ERROR "democard overwrote a scheme on the card")
endif()
file(READ "${card}/param.qav" settings)
file(READ "${card}/DB/Depot.qav" journal)
file(READ "${card}/Language/Language.ini" choice)
if(NOT settings STREQUAL "operator settings" OR NOT journal STREQUAL "measurements" OR NOT choice STREQUAL "File_Language=RUS.LNG")
  message(FATAL_ERROR "democard overwrote the operator's files")
endif()
expect_same("${DATA}/Language/ENG.LNG" "${card}/Language/ENG.LNG")

# The registry points the program folder at the card.
file(GLOB_RECURSE state "${ROOT}/.*/*")
set(found FALSE)
foreach(f IN LISTS state)
  file(READ "${f}" text)
  string(FIND "${text}" "Folder" at)
  string(FIND "${text}" "SDMMC" at2)
  if(at GREATER -1 AND at2 GREATER -1)
    set(found TRUE)
  endif()
endforeach()
if(NOT found)
  message(FATAL_ERROR "the registry value Folder was not written")
endif()
file(REMOVE_RECURSE "${ROOT}")

# --help is a request, not a mistake.
execute_process(COMMAND "${DEMOCARD}" --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "usage: democard")
  message(FATAL_ERROR "democard --help gave ${rc}: ${out} ${err}")
endif()

# Runs democard where it must fail: a non-zero status and the message.
function(expect_failure message_pattern)
  execute_process(COMMAND "${DEMOCARD}" --root "${ROOT}" --data "${DATA}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0 OR out MATCHES "demo card ready" OR NOT err MATCHES "${message_pattern}")
    message(FATAL_ERROR "democard should have failed with \"${message_pattern}\" (${rc}): ${out} ${err}")
  endif()
endfunction()

# The registry cannot be stored (its file is a folder, and so is the place a
# damaged one would be moved aside to): "Folder" is not saved.
file(MAKE_DIRECTORY "${ROOT}/.qav5-platform/registry.txt" "${ROOT}/.qav5-platform/registry.txt.bad/kept")
expect_failure("cannot save the registry value \"Folder\"")
file(REMOVE_RECURSE "${ROOT}")

# Links out of the card root are not followed: a card folder and a shipped
# file that lead elsewhere are left alone, and nothing outside changes.
set(outside "${ROOT}-outside")
file(REMOVE_RECURSE "${outside}")
file(MAKE_DIRECTORY "${outside}/folder" "${card}")
file(WRITE "${outside}/ENG.LNG" "not the card's")
file(CREATE_LINK "${outside}/folder" "${card}/Schemes" SYMBOLIC)
expect_failure("leads out of the card root")
file(GLOB leaked "${outside}/folder/*")
if(leaked)
  message(FATAL_ERROR "democard wrote through a link out of the card: ${leaked}")
endif()
file(REMOVE "${card}/Schemes")
file(MAKE_DIRECTORY "${card}/Language")
file(CREATE_LINK "${outside}/ENG.LNG" "${card}/Language/ENG.LNG" SYMBOLIC)
expect_failure("ENG.LNG leads out of the card root")
file(READ "${outside}/ENG.LNG" kept)
if(NOT kept STREQUAL "not the card's" OR NOT IS_SYMLINK "${card}/Language/ENG.LNG")
  message(FATAL_ERROR "democard changed a file behind a link")
endif()
file(REMOVE_RECURSE "${ROOT}" "${outside}")
