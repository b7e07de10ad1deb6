# The two commands of the README. Both first make sure the machine has
# everything (scripts/bootstrap.sh), then build with CMake and Ninja.
#
#   build/win32  the 32-bit program that ships, into dist/
#   build/x64    the same sources for 64-bit Windows: the tests and `make run`
#                run this one, because this machine runs only 64-bit Wine

WIN32_BUILD := build/win32
X64_BUILD   := build/x64
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=Release

.PHONY: all bootstrap dist x64 test run clean

all: dist x64

bootstrap:
	@scripts/bootstrap.sh

dist: bootstrap
	@cmake -S . -B $(WIN32_BUILD) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DVLM_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(WIN32_BUILD)

x64: bootstrap
	@cmake -S . -B $(X64_BUILD) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	@cmake --build $(X64_BUILD)

test: dist x64
	@scripts/run-tests.sh $(X64_BUILD)

run: dist x64
	@scripts/run-client.sh $(X64_BUILD)

clean:
	rm -rf build dist
