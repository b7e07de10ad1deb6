# The two commands of the README. Both first make sure the machine has
# everything (scripts/bootstrap.sh), then build with CMake and Ninja.
#
#   build/win32  the 32-bit program that ships, into dist/
#   build/x64    the same sources for 64-bit Windows: the tests and `make run`
#                run this one, because this machine runs only 64-bit Wine
#   build/native the OSCAR codec and the local server for this machine, their
#                tests and the codec's fuzz target (`make native`, `make fuzz`)

WIN32_BUILD := build/win32
X64_BUILD   := build/x64
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=Release
NATIVE_BUILD := build/native
FUZZ_SECONDS ?= 300
# The native build uses clang where there is one: the fuzz target needs its libFuzzer.
NATIVE_COMPILERS := $(if $(shell command -v clang++ 2>/dev/null),-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)

.PHONY: all bootstrap dist x64 test run clean native server fuzz

all: dist x64

bootstrap:
	@scripts/bootstrap.sh

dist: bootstrap
	@cmake -S . -B $(WIN32_BUILD) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DVLM_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(WIN32_BUILD)

x64: bootstrap
	@cmake -S . -B $(X64_BUILD) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	@cmake --build $(X64_BUILD)

native: bootstrap
	@cmake -S native -B $(NATIVE_BUILD) $(CMAKE_FLAGS) $(NATIVE_COMPILERS) >/dev/null
	@cmake --build $(NATIVE_BUILD)

server: native

# Runs the codec's fuzz target for FUZZ_SECONDS on a corpus kept in the build
# folder (seeded with the reference's byte examples); a crash input is left
# beside it as fuzz-crash-*.
fuzz: native
	@test -x $(NATIVE_BUILD)/fuzz/fuzz_oscar_codec || { echo "fuzz: no fuzz target; the native build needs clang"; exit 1; }
	@mkdir -p $(NATIVE_BUILD)/fuzz-corpus
	@python3 native/fuzz/seeds.py $(NATIVE_BUILD)/fuzz-corpus
	@echo "fuzz: running for $(FUZZ_SECONDS) s (log: $(NATIVE_BUILD)/fuzz.log)"
	@$(NATIVE_BUILD)/fuzz/fuzz_oscar_codec -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
		-artifact_prefix=$(NATIVE_BUILD)/fuzz- $(NATIVE_BUILD)/fuzz-corpus >$(NATIVE_BUILD)/fuzz.log 2>&1; \
	status=$$?; \
	if [ $$status -ne 0 ]; then tail -n 40 $(NATIVE_BUILD)/fuzz.log; fi; \
	echo "fuzz: $$(sed -n 's/^stat::number_of_executed_units: *//p' $(NATIVE_BUILD)/fuzz.log) executions, exit status $$status"; \
	exit $$status

# After the suites, the demo of `make run` once without a display, checked
# from outside the client (scripts/demo-check.sh).
test: native dist x64
	@cd $(NATIVE_BUILD) && ctest --output-on-failure
	@scripts/run-tests.sh $(X64_BUILD)
	@scripts/demo-check.sh $(X64_BUILD)

# Velmora signed on to the local server with a demo buddy to talk to; the
# run folder is build/run (scripts/run-client.sh).
run: native dist x64
	@scripts/run-client.sh $(X64_BUILD)

clean:
	rm -rf build dist
