# Makes one jar of the artifacts (cmake -P) so that its bytes depend on its content alone:
# everything is copied into one fresh folder, the jar tool adds it in sorted order, and
# every entry carries the time of the commit (source-date.cmake), in UTC.
#   -DRECIPE=<file>            what the jar holds, as java/CMakeLists.txt writes it:
#     OUTPUT                   the jar
#     JAR_TOOL, DATE_FILE      the JDK's jar, the file with the commit's time
#     UNPACK                   a jar whose entries go in first, its manifest left out
#     CONTENT                  "<folder>=<entry prefix>" items: each folder's files go in
#                              below the prefix (empty: at the root)
#     MANIFEST, MAIN_CLASS, MODULE_VERSION   for the jar tool, when set
#     JAVADOC, JAVADOC_ARGS    runs javadoc into the jar's root first, when set
#   -DOUTPUT_OVERRIDE=<file>   makes the jar there instead (the reproducibility test)
include("${RECIPE}")
if(OUTPUT_OVERRIDE)
  set(OUTPUT "${OUTPUT_OVERRIDE}")
endif()
include("${CMAKE_CURRENT_LIST_DIR}/source-date-format.cmake")

set(root "${OUTPUT}.content")
file(REMOVE_RECURSE "${root}")
file(MAKE_DIRECTORY "${root}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "making ${OUTPUT} failed (${status}): ${ARGN}")
  endif()
endfunction()

if(UNPACK)
  run("${JAR_TOOL}" --extract --file "${UNPACK}" WORKING_DIRECTORY "${root}")
  file(REMOVE "${root}/META-INF/MANIFEST.MF")
  file(GLOB left "${root}/META-INF/*")
  if(NOT left)
    file(REMOVE_RECURSE "${root}/META-INF")
  endif()
endif()
if(JAVADOC)
  run("${JAVADOC}" ${JAVADOC_ARGS} -d "${root}")
endif()
foreach(item IN LISTS CONTENT)
  string(FIND "${item}" "=" split REVERSE)
  string(SUBSTRING "${item}" 0 ${split} from)
  math(EXPR split "${split} + 1")
  string(SUBSTRING "${item}" ${split} -1 prefix)
  if(IS_DIRECTORY "${from}")
    file(MAKE_DIRECTORY "${root}/${prefix}")
    file(COPY "${from}/" DESTINATION "${root}/${prefix}")
  else()
    # A single file, named by the prefix.
    cmake_path(GET prefix PARENT_PATH folder)
    file(MAKE_DIRECTORY "${root}/${folder}")
    file(COPY_FILE "${from}" "${root}/${prefix}")
  endif()
endforeach()

set(options --create --file "${OUTPUT}.part" "--date=${VESTARO_DATE_ISO}")
if(MANIFEST)
  list(APPEND options --manifest "${MANIFEST}")
endif()
if(MAIN_CLASS)
  list(APPEND options --main-class "${MAIN_CLASS}")
endif()
if(MODULE_VERSION)
  list(APPEND options --module-version "${MODULE_VERSION}")
endif()
file(REMOVE "${OUTPUT}.part")
run("${JAR_TOOL}" ${options} -C "${root}" .)
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
file(REMOVE_RECURSE "${root}")
