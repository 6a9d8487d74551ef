# Stages the native libraries for vestaro.jar (cmake -P), as the loader expects them:
#   STAGE/kordin/vestaro/native/<platform>/<file>, and
#   STAGE/kordin/vestaro/native/index listing every file as "<platform>/<file>".
# A DLL that does not exist is left out (and a stale copy of it removed). STAMP is touched
# only when something staged changed. With STRIP, this build's libraries lose their debug
# sections in the jar.
set(root "${STAGE}/kordin/vestaro/native")
set(wanted
  "${HOST_FOLDER}|${WINSIM}"
  "${HOST_FOLDER}|${LIBRARY}"
  "windows-x86_64|${DLL64}"
  "windows-x86|${DLL32}")

set(changed FALSE)
set(missing "")
set(index "")
set(kept "")
foreach(pair IN LISTS wanted)
  string(REPLACE "|" ";" parts "${pair}")
  list(GET parts 0 folder)
  list(GET parts 1 source)
  cmake_path(GET source FILENAME name)
  set(target "${root}/${folder}/${name}")
  if(EXISTS "${source}")
    if(NOT EXISTS "${target}" OR "${source}" IS_NEWER_THAN "${target}")
      file(MAKE_DIRECTORY "${root}/${folder}")
      file(COPY_FILE "${source}" "${target}" ONLY_IF_DIFFERENT)
      # The jar carries this build's libraries without their debug sections.
      if(STRIP AND folder STREQUAL HOST_FOLDER)
        execute_process(COMMAND "${STRIP}" --strip-debug "${target}" COMMAND_ERROR_IS_FATAL ANY)
      endif()
      file(TOUCH_NOCREATE "${target}")
      set(changed TRUE)
    endif()
    string(APPEND index "${folder}/${name}\n")
    list(APPEND kept "${target}")
  else()
    if(EXISTS "${target}")
      file(REMOVE "${target}")
      set(changed TRUE)
    endif()
    string(APPEND missing "  ${source}\n")
  endif()
endforeach()

set(old_index "")
if(EXISTS "${root}/index")
  file(READ "${root}/index" old_index)
endif()
if(NOT old_index STREQUAL index)
  file(WRITE "${root}/index" "${index}")
  set(changed TRUE)
  if(missing)
    message(STATUS "vestaro.jar carries no library for want of:\n${missing}")
  endif()
endif()
if(changed OR NOT EXISTS "${STAMP}")
  file(TOUCH "${STAMP}")
endif()
