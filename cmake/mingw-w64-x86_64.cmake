# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
#   cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DQUIETWATCH_CORE_ONLY=ON
# The posix thread model is the one whose libstdc++ has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUIETWATCH_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUIETWATCH_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUIETWATCH_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUIETWATCH_MINGW_TRIPLET}-windres)

# Headers, libraries and packages come from the target tree only, so the host's GTest
# and Qt are never picked up; programs (windres, ninja) still come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QUIETWATCH_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
