# Shared part of the MinGW-w64 toolchain files; they set CMAKE_SYSTEM_PROCESSOR first.
# The win32 thread model is named explicitly: it needs no threading runtime DLL beside the
# library (and offers no std::thread or std::mutex, which the library does not use). The
# Windows test programs name the posix model (VESTARO_MINGW_THREADS) and link it statically.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT VESTARO_MINGW_THREADS)
  set(VESTARO_MINGW_THREADS win32)
endif()

set(VESTARO_MINGW_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${VESTARO_MINGW_TRIPLE}-gcc-${VESTARO_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${VESTARO_MINGW_TRIPLE}-g++-${VESTARO_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${VESTARO_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot only; programs (javac) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VESTARO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
