# Cross-builds TameWarden for Windows x64 with Debian's mingw-w64 (g++ 12, POSIX threads); the
# programs run under Wine. Every module links the compiler's runtime statically, so each imports
# only system libraries (KERNEL32, msvcrt, and what the stand-in host uses) and standin.dll.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAMEWARDEN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAMEWARDEN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMEWARDEN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMEWARDEN_MINGW_TRIPLET}-windres)

# Libraries and headers come from the cross tree only; the Linux system folders hold glibc's.
set(CMAKE_FIND_ROOT_PATH /usr/${TAMEWARDEN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The build exists to run the plugin and its tests under Wine: -O1 compiles in half the time of
# -O3, with the libraries used header-only in every file.
set(CMAKE_CXX_FLAGS_RELEASE "-O1 -DNDEBUG" CACHE STRING "Flags of the Release build")
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)

# Tests and build steps run the programs through Wine (Debian's wine64 has no wrapper in PATH).
find_program(TAMEWARDEN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TAMEWARDEN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAMEWARDEN_WINE})
endif()
