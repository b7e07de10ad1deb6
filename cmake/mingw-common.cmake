# Shared part of the two mingw-w64 toolchain files. VLM_TRIPLET names the target.
# The -posix compilers carry the winpthreads-based std::thread and std::mutex
# that GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${VLM_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VLM_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${VLM_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VLM_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
