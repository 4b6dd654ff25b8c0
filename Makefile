# Kalmore: the two set-up commands are `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all deps build run test test-only bench fuzz fuzz-build layers format format-check clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAL_BUILD_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-kalmore $(BUILD)

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAL_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# The layer rules of the includes and the source layout first, then the
# Release build (program and benchmarks), fuzz targets with a replay of their
# seed corpora, the platform, communication and main window core tests under
# ThreadSanitizer, then every test under AddressSanitizer and UBSan.
test: layers format-check build fuzz-build
	scripts/fuzz-replay $(FUZZ_BUILD)
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAL_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && ctest -j $(JOBS) --output-on-failure
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAL_SANITIZE=ON -DKAL_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest -j $(JOBS) --output-on-failure

bench: build
	@scripts/run-bench $(BUILD)

fuzz: fuzz-build
	scripts/fuzz-run $(FUZZ_BUILD) $(FUZZ_SECONDS)

# No source includes a higher layer; Qt only in ui/, helpctl/ and app/.
layers: deps
	scripts/check-layers

# Sources as .clang-format lays them out (clang-format 14): format-check
# reports the files that differ, format rewrites them.
format-check: deps
	scripts/check-format

format: deps
	scripts/check-format --fix

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) work
