# The plug-in's real target: 32-bit Windows, built with Debian's mingw-w64 (posix thread model, so
# std::thread and std::mutex exist). The C and C++ runtimes are linked in statically, so the DLLs
# need nothing beyond what every Windows has; they stay private to each DLL (--exclude-libs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(HX_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${HX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${HX_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${HX_MINGW_PREFIX}-objdump CACHE FILEPATH "objdump for the target")

set(CMAKE_FIND_ROOT_PATH /usr/${HX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# localtime_r and gmtime_r as on POSIX; <windows.h> without min/max macros.
set(CMAKE_C_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS -DNOMINMAX -DWIN32_LEAN_AND_MEAN")
set(CMAKE_CXX_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS -DNOMINMAX -DWIN32_LEAN_AND_MEAN")

set(HX_STATIC_RUNTIME "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic -Wl,--exclude-libs,ALL")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${HX_STATIC_RUNTIME}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${HX_STATIC_RUNTIME}")
