# Makes every jar of the artifacts again from the recipe the build made it with, later and
# in a time zone far from UTC, and compares the bytes with the build's (cmake -P):
#   -DRECIPES=<the build's recipes folder> -DMAKE_JAR=<java/make-jar.cmake> -DSCRATCH=<folder>
file(GLOB recipes "${RECIPES}/*.cmake")
if(NOT recipes)
  message(FATAL_ERROR "no recipes in ${RECIPES}: build the artifacts first")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")

# The jar a recipe makes, read in a scope of its own.
function(built_jar recipe out)
  include("${recipe}")
  set(${out} "${OUTPUT}" PARENT_SCOPE)
endfunction()

set(failures "")
foreach(recipe IN LISTS recipes)
  built_jar("${recipe}" built)
  cmake_path(GET built FILENAME name)
  set(again "${SCRATCH}/${name}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=Pacific/Kiritimati
      ${CMAKE_COMMAND} -DRECIPE=${recipe} -DOUTPUT_OVERRIDE=${again} -P ${MAKE_JAR}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    list(APPEND failures "${name}: the second make failed")
    continue()
  endif()
  file(SHA256 "${built}" first)
  file(SHA256 "${again}" second)
  if(first STREQUAL second)
    file(SIZE "${built}" size)
    message(STATUS "same bytes: ${name} (${size} bytes, SHA-256 ${first})")
  else()
    list(APPEND failures "${name}: ${built} and ${again} differ")
  endif()
endforeach()
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "not reproducible:\n  ${text}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
