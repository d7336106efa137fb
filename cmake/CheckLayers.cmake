# Every include names a folder the including folder may use: arrows point one way,
# from a part to the parts below it, and never sideways (except ui to widgets). Tests
# use their own folder, the shared tests/support and the parts their folder may use.
# Toolkit halves sit side by side: only files under a qt/ folder include Qt or another
# qt/ folder, a win32/ face never includes a qt/ one, and the models beside them include
# neither; an include names its folder from the repository's root, never with "../".
# Run as: cmake -DSOURCE_DIR=<repository> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)

set(allowed_platform platform)
set(allowed_core core platform)
set(allowed_compactor compactor core platform)
set(allowed_standin standin core platform)
set(allowed_widgets widgets core platform)
set(allowed_ui ui widgets core platform)
set(allowed_scheduler scheduler ui widgets core platform)
set(allowed_admin admin scheduler ui widgets core platform)
set(parts platform core compactor standin widgets ui scheduler admin)

set(problems "")
foreach(folder IN LISTS parts ITEMS tests)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp
       ${SOURCE_DIR}/${folder}/*.h.in)
  foreach(source IN LISTS sources)
    # The part a file belongs to: its top folder, or for tests the folder below tests/.
    string(REGEX MATCH "^[^/]+/[^/]+" head "${source}")
    if(folder STREQUAL "tests")
      string(REGEX REPLACE "^tests/" "" part "${head}")
      set(test_folder ${part})
      if(part STREQUAL "support")
        set(may ${parts}) # shared fixtures for every test folder
      elseif(part STREQUAL "platform")
        set(may platform core) # the process routines are driven through core's RunAndWait
      else()
        set(may ${allowed_${part}})
      endif()
    else()
      set(part ${folder})
      set(test_folder "")
      set(may ${allowed_${part}})
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS includes)
      if(line MATCHES "#[ \t]*include[ \t]*\"([^/\"]+)/([^\"]*)\"")
        set(target ${CMAKE_MATCH_1})
        set(rest ${CMAKE_MATCH_2})
        if(target STREQUAL "tests")
          string(REGEX MATCH "^[^/]+" target_test "${rest}")
          if(NOT folder STREQUAL "tests")
            list(APPEND problems "${source}: ${line} (the product never includes tests)")
          elseif(NOT target_test STREQUAL test_folder AND NOT target_test STREQUAL "support")
            list(APPEND problems "${source}: ${line} (a test folder uses only itself and tests/support)")
          endif()
        elseif(target IN_LIST parts AND NOT target IN_LIST may)
          list(JOIN may ", " may_text)
          list(APPEND problems "${source}: ${line} (${part} may use: ${may_text})")
        endif()
      endif()
      if(line MATCHES "#[ \t]*include[ \t]*\"\\.\\./")
        list(APPEND problems "${source}: ${line} (name the folder from the repository's root)")
      endif()
      if(NOT folder STREQUAL "tests" AND NOT source MATCHES "(^|/)qt/"
         AND line MATCHES "#[ \t]*include[ \t]*(<Q|\"[^\"]*/qt/)")
        list(APPEND problems "${source}: ${line} (only a qt/ folder uses Qt)")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
list(LENGTH parts count)
message(STATUS "Layers: every include follows the ${count} parts' order")
