# Cross build for 64-bit Windows with the posix thread variant of MinGW-w64
# (the win32 variant has no std::mutex and cannot build GoogleTest).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZX_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${ZX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${ZX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run through Wine; see scripts/wine-run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
# ccache (when present) shares compiled objects between checkouts and rebuilds.
find_program(ZX_CCACHE ccache)
if(ZX_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER ${ZX_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${ZX_CCACHE})
endif()
