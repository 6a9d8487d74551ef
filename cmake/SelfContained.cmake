# Linux builds that load on any glibc system a Java VM runs on: the C++ library (and, in
# winsim, the JPEG library) linked in, and nothing newer than GLIBC_2.34 asked for.
#   vestaro_link_self_contained(TARGET)
# Off in sanitizer and fuzzing builds: the sanitizers replace the allocator in the shared runtime, and
# a private copy of operator new would hand them blocks they did not allocate.
if(VESTARO_SANITIZE OR VESTARO_FUZZ OR APPLE OR WIN32)
  set(VESTARO_SELF_CONTAINED OFF)
else()
  set(VESTARO_SELF_CONTAINED ON)
endif()

function(vestaro_link_self_contained target)
  if(NOT VESTARO_SELF_CONTAINED)
    return()
  endif()
  # The C++ runtime's symbols stay private (--exclude-libs), so that the copy inside does
  # not stand in for a program's own libstdc++; --as-needed drops libraries nothing calls.
  # The unwinder stays the system's libgcc_s.so.1 (there on every glibc system; glibc loads
  # it itself for thread cancellation): exceptions of winsim's control functions reach the
  # test programs, and a frame unwound by two different unwinders aborts the process.
  target_link_options(${target} PRIVATE
    -static-libstdc++
    -Wl,--exclude-libs,ALL -Wl,--as-needed -Wl,--no-undefined -Wl,-z,text)
  # Calls of C library routines newer than GLIBC_2.34 go to baseline stand-ins.
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/portable/GlibcBaseline.cpp)
  target_link_options(${target} PRIVATE -Wl,--wrap=hypot -Wl,--wrap=arc4random)
endfunction()
