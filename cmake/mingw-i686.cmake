# The shipping build: 32-bit Windows, into dist/.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VLM_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
