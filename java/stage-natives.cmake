# Stages native libraries for one jar (cmake -P), as the loader expects them:
#   STAGE/kordin/vestaro/native/<platform>/<file>, and
#   STAGE/kordin/vestaro/native/index listing every file with its SHA-256 as sha256sum writes
#   it, "<sha256>  <platform>/<file>", so that the loader can refuse a file that is not the
#   one this jar was built with.
# FILES: "<platform>|<path>" pairs separated by commas. A file that does not exist is left
# out (and a stale copy of it removed), and so is a staged file that FILES no longer names. STAMP is touched only when something staged changed.
# With STRIP, the libraries of STRIP_FOLDER lose their debug sections in the jar, and their
# library search path becomes their own folder ($ORIGIN) alone.
# Quoted words are strings, not variables: "index" is the file, not the variable below.
cmake_policy(SET CMP0054 NEW)
set(root "${STAGE}/kordin/vestaro/native")
string(REPLACE "," ";" wanted "${FILES}")

set(changed FALSE)
set(missing "")
set(index "")
foreach(pair IN LISTS wanted)
  string(REPLACE "|" ";" parts "${pair}")
  list(GET parts 0 folder)
  list(GET parts 1 source)
  cmake_path(GET source FILENAME name)
  set(target "${root}/${folder}/${name}")
  if(EXISTS "${source}")
    if(NOT EXISTS "${target}" OR "${source}" IS_NEWER_THAN "${target}"
        OR "${CMAKE_CURRENT_LIST_FILE}" IS_NEWER_THAN "${target}")
      file(MAKE_DIRECTORY "${root}/${folder}")
      file(COPY_FILE "${source}" "${target}" ONLY_IF_DIFFERENT)
      if(STRIP AND folder STREQUAL STRIP_FOLDER AND name MATCHES "\\.so$")
        execute_process(COMMAND "${STRIP}" --strip-debug "${target}" COMMAND_ERROR_IS_FATAL ANY)
        # The build's search path names its own folders; the shipped copy looks only in
        # the folder it was extracted to.
        file(READ_ELF "${target}" RUNPATH runpath)
        if(runpath)
          file(RPATH_SET FILE "${target}" NEW_RPATH "$ORIGIN")
        endif()
      endif()
      file(TOUCH_NOCREATE "${target}")
      set(changed TRUE)
    endif()
    file(SHA256 "${target}" sum)
    string(APPEND index "${sum}  ${folder}/${name}\n")
  else()
    if(EXISTS "${target}")
      file(REMOVE "${target}")
      set(changed TRUE)
    endif()
    string(APPEND missing "  ${source}\n")
  endif()
endforeach()

# A file staged by an earlier build that this jar no longer carries goes, or the jar would
# still carry it.
file(GLOB_RECURSE staged LIST_DIRECTORIES FALSE RELATIVE "${root}" "${root}/*")
foreach(file IN LISTS staged)
  if(NOT file STREQUAL "index" AND NOT index MATCHES "  ${file}\n")
    file(REMOVE "${root}/${file}")
    set(changed TRUE)
  endif()
endforeach()

set(old_index "")
if(EXISTS "${root}/index")
  file(READ "${root}/index" old_index)
endif()
if(NOT old_index STREQUAL index)
  file(MAKE_DIRECTORY "${root}")
  file(WRITE "${root}/index" "${index}")
  set(changed TRUE)
  if(missing)
    message(STATUS "${JAR} carries no library for want of:\n${missing}")
  endif()
endif()
if(changed OR NOT EXISTS "${STAMP}")
  file(TOUCH "${STAMP}")
endif()
