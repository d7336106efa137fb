# Windows text goes through the W calls only, converted in one helper: an ANSI call
# (SendMessageA, CreateFileA, ...) or a converter of its own turns a name outside the
# code page into "?" again.
# Run as: cmake -DSOURCE_DIR=<repository> -P CheckWideText.cmake
cmake_minimum_required(VERSION 3.25)

set(parts platform core compactor standin widgets ui scheduler admin)
set(problems "")
foreach(part IN LISTS parts)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${part}/*.h ${SOURCE_DIR}/${part}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${SOURCE_DIR}/${source} lines)
    set(windows OFF)
    if(source MATCHES "(^|/)win32/")
      set(windows ON)
    endif()
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*<windows\\.h>")
        set(windows ON)
      endif()
      if(windows AND line MATCHES "[a-z]A[ \t]*\\(" AND NOT line MATCHES "^[ \t]*//")
        list(APPEND problems "${source}: ${line} (an ANSI call; use the W form through platform/win32/WideText.h)")
      endif()
      if(line MATCHES "(MultiByteToWideChar|WideCharToMultiByte)"
         AND NOT source STREQUAL "platform/win32/WideText.cpp")
        list(APPEND problems "${source}: ${line} (convert through platform/win32/WideText.h)")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "Windows text outside the one rule:\n  ${text}")
endif()
message(STATUS "Windows text: W calls only, one converter")
