# Runs democard twice on a fresh device root and checks the card it lays out:
# the program folder with its language files, journal and reference folders,
# the demo journal and tolerance set of each family made current, and that a
# second run keeps the operator's settings, journals and language choice; on a
# card without the reference folders a run adds them and changes nothing else.
# Then cards with links out of the root, which democard refuses without writing
# anything.
# cmake -DDEMOCARD=... -DDATA=... -DROOT=... -P CheckDemoCard.cmake
cmake_policy(SET CMP0009 NEW)  # globs do not follow links
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
# The program makes none of these folders itself.
foreach(folder DB Refer Refer_QOD)
  if(NOT IS_DIRECTORY "${card}/${folder}")
    message(FATAL_ERROR "no ${folder} folder on the card")
  endif()
endforeach()
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

# The demo data of each family: an empty journal and a tolerance set, both
# named "Demo" and named current in the settings file.
function(expect_bytes path offset hex)
  string(LENGTH "${hex}" digits)
  math(EXPR bytes "${digits} / 2")
  file(READ "${path}" got OFFSET ${offset} LIMIT ${bytes} HEX)
  if(NOT got STREQUAL hex)
    message(FATAL_ERROR "${path} at ${offset}: ${got}, expected ${hex}")
  endif()
endfunction()
set(demo_name "440065006d006f000000")  # "Demo" in UTF-16LE, terminated
foreach(journal DB/Demo.qav DB/Demo.qod)
  if(NOT EXISTS "${card}/${journal}")
    message(FATAL_ERROR "no demo journal ${journal}")
  endif()
  file(SIZE "${card}/${journal}" size)
  if(NOT size EQUAL 0)
    message(FATAL_ERROR "the demo journal ${journal} is not empty")
  endif()
endforeach()
file(SIZE "${card}/Dopusk.qav" size)
if(NOT size EQUAL 456)
  message(FATAL_ERROR "Dopusk.qav holds ${size} bytes, not one wheel tolerance set")
endif()
file(SIZE "${card}/Dopusk.qod" size)
if(NOT size EQUAL 168)
  message(FATAL_ERROR "Dopusk.qod holds ${size} bytes, not one disc tolerance set")
endif()
expect_bytes("${card}/Dopusk.qav" 0 "${demo_name}")
expect_bytes("${card}/Dopusk.qod" 0 "${demo_name}")
file(SIZE "${card}/param.qav" size)
if(NOT size EQUAL 1436)
  message(FATAL_ERROR "param.qav holds ${size} bytes")
endif()
# Current journal and tolerance set, wheel family and disc device.
foreach(offset 188 388 946 1146)
  expect_bytes("${card}/param.qav" ${offset} "${demo_name}")
endforeach()
file(READ "${card}/param.qav" settings_before HEX)
file(READ "${card}/Dopusk.qav" wheel_set_before HEX)

# The operator's files: settings, a journal, another language chosen, and a
# shipped file damaged on the card.
file(WRITE "${card}/DB/Depot.qav" "measurements")
file(WRITE "${card}/Language/Language.ini" "File_Language=RUS.LNG")
file(WRITE "${card}/Language/ENG.LNG" "damaged")
file(WRITE "${card}/Schemes_QOD/${operator_scheme}" "edited scheme")
run_democard()
file(READ "${card}/Schemes_QOD/${operator_scheme}" edited)
if(NOT edited STREQUAL "edited scheme")
  message(FATAL_ERROR "democard overwrote a scheme on the card")
endif()
file(READ "${card}/param.qav" settings HEX)
file(READ "${card}/Dopusk.qav" wheel_set HEX)
file(READ "${card}/DB/Depot.qav" journal)
file(READ "${card}/Language/Language.ini" choice)
if(NOT settings STREQUAL settings_before OR NOT wheel_set STREQUAL wheel_set_before OR NOT journal STREQUAL "measurements"
   OR NOT choice STREQUAL "File_Language=RUS.LNG")
  message(FATAL_ERROR "democard overwrote the operator's files")
endif()
expect_same("${DATA}/Language/ENG.LNG" "${card}/Language/ENG.LNG")

# Every folder and file below the root, each file with its hash.
function(card_manifest out)
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${ROOT}" "${ROOT}/*" "${ROOT}/.*")
  list(SORT entries)
  set(manifest "")
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${ROOT}/${entry}")
      list(APPEND manifest "${entry}/")
    else()
      file(SHA256 "${ROOT}/${entry}" hash)
      list(APPEND manifest "${entry} ${hash}")
    endif()
  endforeach()
  set(${out} "${manifest}" PARENT_SCOPE)
endfunction()

# A card laid out before the reference folders were: a run adds both, empty,
# and leaves every other folder and file as it was.
file(REMOVE_RECURSE "${card}/Refer" "${card}/Refer_QOD")
card_manifest(without)
run_democard()
card_manifest(with)
set(expected ${without} "SDMMC/Autorun/Refer/" "SDMMC/Autorun/Refer_QOD/")
list(SORT expected)
if(NOT with STREQUAL expected)
  message(FATAL_ERROR "democard on a card without reference folders: ${without} -> ${with}")
endif()
# The operator's references, one of them under a folder name of another letter
# case as a PC may write it: a run keeps them and makes no second folder.
file(REMOVE_RECURSE "${card}/Refer")
file(WRITE "${card}/REFER/Worn.ref" "Worn\r\n1000;2000\r\n")
file(WRITE "${card}/Refer_QOD/Disc.ref" "Disc\r\n1000;-4000\r\n")
card_manifest(before)
run_democard()
card_manifest(after)
if(NOT after STREQUAL before)
  message(FATAL_ERROR "democard changed the operator's references: ${before} -> ${after}")
endif()

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

# Arguments democard cannot use are refused, named, with status 2 and nothing
# on standard output, before anything is made: the device root stays missing.
function(expect_refused_arguments pattern)
  execute_process(COMMAND "${DEMOCARD}" ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 2 OR NOT out STREQUAL "" OR NOT err MATCHES "${pattern}" OR EXISTS "${ROOT}" OR EXISTS "${ROOT}-second")
    message(FATAL_ERROR "democard ${ARGN}: should have been refused with \"${pattern}\" (${rc}): ${out} ${err}")
  endif()
endfunction()
set(card_args --root "${ROOT}" --data "${DATA}")
expect_refused_arguments("address \"zz\" is not 12 hexadecimal digits" ${card_args} --sensor zz "LX412 12345" 1235)
expect_refused_arguments("address \"00126f0de30g\"" ${card_args} --sensor 00126f0de30g "LX412 12345" 1235)
expect_refused_arguments("PIN \"12345\" must be 1 to 4 digits" ${card_args} --sensor 00126f0de301 "LX412 12345" 12345)
expect_refused_arguments("PIN \"12a4\" must be 1 to 4 digits" ${card_args} --sensor 00126f0de301 "LX412 12345" 12a4)
expect_refused_arguments("name \"LX412 123456\" must have 1 to 11 characters"
                         ${card_args} --sensor 00126f0de301 "LX412 123456" 1235)
# An address of zeros is what the card stores for "no sensor": nothing could link.
expect_refused_arguments("address \"000000000000\" means no sensor" ${card_args} --sensor 000000000000 "LX412 12345" 1235)
expect_refused_arguments("unknown option --bogus\nusage: democard" ${card_args} --bogus)
# A second option would silently win over the first.
expect_refused_arguments("option --sensor is given twice\nusage: democard"
                         ${card_args} --sensor 00126f0de301 "LX412 12345" 1235 --sensor 00126f0de302 "LX412 54321" 5431)
expect_refused_arguments("option --root is given twice" ${card_args} --root "${ROOT}-second")
expect_refused_arguments("option --sensor needs ADDRESS NAME PIN" ${card_args} --sensor 00126f0de301 "LX412 12345")
expect_refused_arguments("--root DIR is needed" --data "${DATA}")
expect_refused_arguments("is not a folder" --root "${ROOT}" --data "${ROOT}-no-data")
file(MAKE_DIRECTORY "${ROOT}-data/Language" "${ROOT}-data/Schemes")
expect_refused_arguments("has no folder Schemes_QOD" --root "${ROOT}" --data "${ROOT}-data")
file(REMOVE_RECURSE "${ROOT}-data")
# A root that is a file, or lies below one, is refused like any argument.
file(WRITE "${ROOT}-file" "not a card")
expect_refused_arguments("--root ${ROOT}-file is not a folder" --root "${ROOT}-file" --data "${DATA}")
expect_refused_arguments("lies below a file" --root "${ROOT}-file/below" --data "${DATA}")
file(READ "${ROOT}-file" kept)
if(NOT kept STREQUAL "not a card")
  message(FATAL_ERROR "democard changed the file given as its root")
endif()
file(REMOVE "${ROOT}-file")

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

# Links out of the card root are not followed: a card with one anywhere (a
# card folder, a shipped file, the settings, the paired-sensor list, the
# platform folder, a dangling one) is refused as a whole, with the link named,
# and neither the card nor anything outside it changes.
set(outside "${ROOT}-outside")
get_filename_component(outside_name "${outside}" NAME)
function(expect_refused link target what)
  file(REMOVE_RECURSE "${ROOT}")
  file(MAKE_DIRECTORY "${card}/Language" "${card}/DB")
  get_filename_component(parent "${ROOT}/${link}" DIRECTORY)
  file(MAKE_DIRECTORY "${parent}")
  file(CREATE_LINK "${target}" "${ROOT}/${link}" SYMBOLIC)
  file(GLOB_RECURSE before LIST_DIRECTORIES true "${ROOT}/*" "${ROOT}/.*")
  file(GLOB_RECURSE outside_before LIST_DIRECTORIES true "${outside}/*")
  execute_process(COMMAND "${DEMOCARD}" --root "${ROOT}" --data "${DATA}" --sensor 00126f0de301 "LX412 12345" 1235
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0 OR out MATCHES "demo card ready" OR NOT err MATCHES "${link} leads out of the card root"
     OR NOT err MATCHES "nothing was written")
    message(FATAL_ERROR "democard should have refused ${what} (${rc}): ${out} ${err}")
  endif()
  file(GLOB_RECURSE after LIST_DIRECTORIES true "${ROOT}/*" "${ROOT}/.*")
  file(GLOB_RECURSE outside_after LIST_DIRECTORIES true "${outside}/*")
  if(NOT before STREQUAL after OR NOT outside_before STREQUAL outside_after)
    message(FATAL_ERROR "democard wrote with ${what}: ${before} -> ${after}; outside ${outside_before} -> ${outside_after}")
  endif()
  foreach(f settings.qav list.qav ENG.LNG)
    file(READ "${outside}/${f}" kept)
    if(NOT kept STREQUAL "not the card's ${f}")
      message(FATAL_ERROR "democard changed ${outside}/${f} through ${what}")
    endif()
  endforeach()
endfunction()
file(REMOVE_RECURSE "${outside}")
file(MAKE_DIRECTORY "${outside}/folder" "${outside}/platform")
foreach(f settings.qav list.qav ENG.LNG)
  file(WRITE "${outside}/${f}" "not the card's ${f}")
endforeach()
expect_refused("SDMMC/Autorun/Schemes" "${outside}/folder" "a card folder linked elsewhere")
expect_refused("SDMMC/Autorun/Language/ENG.LNG" "${outside}/ENG.LNG" "a shipped file linked elsewhere")
expect_refused("SDMMC/Autorun/param.qav" "${outside}/settings.qav" "the settings linked elsewhere")
expect_refused("SDMMC/Autorun/BTDevice.qav" "${outside}/list.qav" "the paired-sensor list linked elsewhere")
expect_refused(".qav5-platform" "${outside}/platform" "the platform folder linked elsewhere")
expect_refused("SDMMC/Autorun/DB/Demo.qav" "${outside}/missing.qav" "a dangling link out of the card")
expect_refused("SDMMC/Autorun/DB/Up.qav" "../../../../${outside_name}/settings.qav" "a relative link out of the card")

# A link that stays inside the card is the card's own business.
file(REMOVE_RECURSE "${ROOT}")
file(MAKE_DIRECTORY "${card}/DB" "${ROOT}/Elsewhere")
file(CREATE_LINK "../../Elsewhere" "${card}/DB/Archive" SYMBOLIC)
run_democard()
if(NOT EXISTS "${card}/DB/Demo.qav")
  message(FATAL_ERROR "democard refused a card whose links stay inside it")
endif()
file(REMOVE_RECURSE "${ROOT}" "${outside}")
