# Cross build of the Windows test programs for x86-64: the posix thread model, whose
# std::mutex the virtual WIA service needs (the product DLLs keep the win32 model).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VESTARO_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
