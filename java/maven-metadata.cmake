# Writes an artifact's maven-metadata.xml (cmake -P), the file of the repository layout that
# lists its versions, stamped with the commit's time so that two builds give the same file:
#   -DTEMPLATE=<maven-metadata.xml.in> -DOUTPUT=<file> -DDATE_FILE=<source-date.cmake's file>
#   -DVESTARO_GROUP=... -DVESTARO_ARTIFACT=... -DVESTARO_VERSION=...
include("${CMAKE_CURRENT_LIST_DIR}/source-date-format.cmake")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
