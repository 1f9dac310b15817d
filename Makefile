# Convenience targets; everything is driven by CMake presets.
.PHONY: all build test test-asan bench fuzz demo clean format

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

all: build

build:
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test: build
	ctest --preset default -j $(JOBS)

test-asan:
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

bench:
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	./build-bench/bench/tessavo_bench

clean:
	rm -rf build build-asan build-bench build-fuzz

format:
	git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i
