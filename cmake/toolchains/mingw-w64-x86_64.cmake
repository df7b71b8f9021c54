# Cross-builds the tool for 64-bit Windows with Debian's mingw-w64 (posix threads) and the Qt for
# Windows unpacked by scripts/setup (RENUMBER_QT_WINDOWS, default build-windows/qt6-mingw); the
# programs it builds run here under Wine (scripts/wine-run), which ctest uses as the emulator.
# Everything mingw-specific lives here: the project's CMake files stay those of any Windows build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_triplet}-windres)

get_filename_component(_source ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
if(NOT RENUMBER_QT_WINDOWS)
  if(DEFINED ENV{RENUMBER_QT_WINDOWS})
    set(RENUMBER_QT_WINDOWS $ENV{RENUMBER_QT_WINDOWS})
  else()
    set(RENUMBER_QT_WINDOWS ${_source}/build-windows/qt6-mingw)
  endif()
endif()
set(RENUMBER_QT_WINDOWS ${RENUMBER_QT_WINDOWS} CACHE PATH "Qt for Windows (mingw-w64)")
# googletest cross-built by scripts/build-windows from Debian's source.
set(RENUMBER_WINDOWS_DEPS ${_source}/build-windows/deps CACHE PATH "Libraries cross-built for the Windows build")

set(CMAKE_FIND_ROOT_PATH /usr/${_triplet} ${RENUMBER_QT_WINDOWS} ${RENUMBER_WINDOWS_DEPS})
set(CMAKE_PREFIX_PATH ${RENUMBER_QT_WINDOWS} ${RENUMBER_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Qt's host tools (moc, rcc, uic) are Debian's own Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# The mingw runtime the programs load (shipped beside them, found by Wine through WINEPATH).
set(RENUMBER_MINGW_RUNTIME /usr/lib/gcc/${_triplet}/12-posix/libstdc++-6.dll
    /usr/lib/gcc/${_triplet}/12-posix/libgcc_s_seh-1.dll /usr/${_triplet}/lib/libwinpthread-1.dll
    CACHE STRING "The compiler's runtime libraries a program needs beside it")
set(CMAKE_CROSSCOMPILING_EMULATOR ${_source}/scripts/wine-run)
