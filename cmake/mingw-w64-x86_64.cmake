# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix).
# The -posix compiler has std::thread and std::mutex; linking statically puts the C++ runtime
# and winpthreads into each program, so that they run under wine (or on Windows) without DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZEPHUL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZEPHUL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEPHUL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEPHUL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEPHUL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the cross-built tests through wine.
find_program(ZEPHUL_WINE wine)
if(ZEPHUL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEPHUL_WINE})
endif()
