# The load entry and the shared routines, without the host classes' natives: the library
# builds them with its natives, the test probes with test natives beside them.
set(vestaro_routine_sources
  ${CMAKE_CURRENT_LIST_DIR}/DiagnosticLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EventCallback.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FailureReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostErrorStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PendingException.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgressCallback.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ValueConversion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WIALibrary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WIAUtils.cpp
)
