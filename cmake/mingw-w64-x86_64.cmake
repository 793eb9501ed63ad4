# Cross-builds the Windows program on Debian with mingw-w64 (package g++-mingw-w64-x86-64).
# The -posix compilers carry std::thread and std::mutex; the runtime libraries are linked in
# statically, so the programs import only DLLs that come with Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# GCC 12 reports a false out-of-bounds read in inlined std::vector comparisons (GCC bug 105705).
set(CMAKE_CXX_FLAGS_INIT "-Wno-stringop-overread")
