# Writes the time that every entry of the artifacts carries (cmake -P), in seconds since
# 1970, so that two builds of one commit give the same bytes:
#   -DSOURCE_DIR=<checkout> -DOUTPUT=<file>
# SOURCE_DATE_EPOCH when the environment sets it, else the time of the checkout's commit,
# else (no Git, no checkout) the earliest time a zip entry can hold. OUTPUT is written only
# when the time changes, so that the artifacts are made again only then.
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(NOT epoch MATCHES "^[0-9]+$")
  set(epoch "")
  find_program(GIT git)
  if(GIT)
    execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" log -1 --format=%ct
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
      set(epoch "")
    endif()
  endif()
endif()
# The jar tool takes no time before 1980-01-01T00:00:02Z, the first a zip entry can hold.
if(epoch STREQUAL "" OR epoch LESS 315532802)
  set(epoch 315532802)
endif()

file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${epoch}")
