# The build that runs here: the same sources for 64-bit Windows, because this
# machine's kernel cannot start 32-bit Linux programs and so no 32-bit Wine.
# The tests and `make run` use it.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VLM_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
