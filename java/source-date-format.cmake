# Included by the scripts that stamp an artifact: reads the file that source-date.cmake
# wrote (DATE_FILE) and formats its time in UTC, as the jar tool takes it
# (VESTARO_DATE_ISO) and as maven-metadata.xml writes it (VESTARO_DATE_STAMP).
file(READ "${DATE_FILE}" epoch)
# string(TIMESTAMP) formats SOURCE_DATE_EPOCH instead of the current time when it is set.
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
string(TIMESTAMP VESTARO_DATE_ISO "%Y-%m-%dT%H:%M:%SZ" UTC)
string(TIMESTAMP VESTARO_DATE_STAMP "%Y%m%d%H%M%S" UTC)
