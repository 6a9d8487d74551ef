# Puts one file into the Maven repository (cmake -P) with the checksums Maven and Gradle
# read beside it:  -DSOURCE=<file> -DTARGET=<repository path of the artifact>
cmake_path(GET TARGET PARENT_PATH folder)
file(MAKE_DIRECTORY "${folder}")
file(COPY_FILE "${SOURCE}" "${TARGET}")
foreach(algorithm IN ITEMS MD5 SHA1 SHA256)
  file(${algorithm} "${TARGET}" sum)
  string(TOLOWER "${algorithm}" suffix)
  file(WRITE "${TARGET}.${suffix}" "${sum}")
endforeach()
