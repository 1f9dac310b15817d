# Convenience targets; everything is driven by CMake presets.
.PHONY: all deps build test test-asan bench fuzz demo clean format

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

all: build

deps:
	scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test: build
	ctest --preset default -j $(JOBS)

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

bench: deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	./build-bench/bench/tessavo_bench

clean:
	rm -rf build build-asan build-bench build-fuzz

format:
	git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i
