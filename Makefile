# Convenience targets; everything is driven by CMake presets.
.PHONY: all deps build test test-asan coverage bench bench-python plot-sample fuzz demo clean format

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

all: build

deps:
	scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

# Builds the library and tessavo-decode (not the tests), then decodes the bundled sample: the
# summary on the terminal, every item as JSON lines and the handset state over time as CSV
# under build/demo/. Times are UTC whatever TZ is (--tz ZONE prints local times).
DEMO_SAMPLE ?= samples/drive_test.bin

demo: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target tessavo-decode tessavo_python
	mkdir -p build/demo
	build/tools/tessavo-decode -q --format jsonl -o build/demo/items.jsonl $(DEMO_SAMPLE)
	build/tools/tessavo-decode -q --format csv -o build/demo/state.csv $(DEMO_SAMPLE)
	build/tools/tessavo-decode -q --format summary $(DEMO_SAMPLE)
	@echo "Wrote build/demo/items.jsonl and build/demo/state.csv"

test: build
	ctest --preset default -j $(JOBS)

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Line and branch coverage of src/ and tools/ by the test suite: an instrumented build in
# build-cov, the tests from fresh counters, a summary per folder on the terminal and an HTML
# report in build/coverage/index.html. Branches only an exception can take are not counted.
COVERAGE_DIR ?= build/coverage
GCOVR = gcovr -r . --exclude-throw-branches --exclude-unreachable-branches \
	--exclude-directories 'build-cov/CMakeFiles/[0-9]'

coverage: deps
	cmake --preset coverage
	cmake --build --preset coverage -j $(JOBS)
	find build-cov -name '*.gcda' -delete
	ctest --preset coverage -j $(JOBS)
	mkdir -p $(COVERAGE_DIR)
	$(GCOVR) --object-directory build-cov --filter src/ --filter tools/ \
		--json $(COVERAGE_DIR)/coverage.json \
		--html-details $(COVERAGE_DIR)/index.html --html-title "Tessavo coverage"
	@for d in src tools; do echo "$$d/:"; \
		$(GCOVR) -a $(COVERAGE_DIR)/coverage.json --filter $$d/ --txt /dev/null --print-summary \
		| grep -E '^(lines|branches):'; done
	@echo "Wrote $(COVERAGE_DIR)/index.html"

bench: deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS) --target tessavo_bench
	./build-bench/bench/tessavo_bench

# The Python package runs on Debian's Python and its packages (python3-pandas, ...), which a
# python3 earlier on PATH (pyenv, a virtualenv) may not see.
PYTHON ?= /usr/bin/python3
BENCH_CAPTURE ?= ../shared/captures/sprint_2015.mi2log

# The Python package's memory and time against tessavo-decode on concatenations of a real
# capture (x10, x100, made under build/bench-python), and a campaign of 1000 generated
# captures on Dask against GNU parallel (python/benchmarks/python_bench.py).
bench-python: build
	PYTHONPATH=build/python $(PYTHON) python/benchmarks/python_bench.py --capture $(BENCH_CAPTURE)

# Redraws docs/drive_test.png, the README's picture of the bundled sample.
plot-sample: build
	PYTHONPATH=build/python $(PYTHON) -m tessavo.plot samples/drive_test.bin \
		-o docs/drive_test.png --title "samples/drive_test.bin"

FUZZ_SECONDS ?= 120

fuzz:
	WITH_CLANG=1 scripts/install-deps.sh
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTESSAVO_FUZZ=ON -DTESSAVO_SANITIZE=ON -DTESSAVO_WERROR=OFF -DTESSAVO_BUILD_TESTS=OFF \
		-DTESSAVO_BUILD_TOOLS=OFF
	cmake --build build-fuzz -j $(JOBS) --target tessavo_fuzz_decode
	mkdir -p build-fuzz/corpus
	TZ=CST-8 ./build-fuzz/fuzz/tessavo_fuzz_decode -max_total_time=$(FUZZ_SECONDS) \
		-rss_limit_mb=4096 -max_len=16384 -artifact_prefix=build-fuzz/ \
		build-fuzz/corpus build-fuzz/fuzz/seeds fuzz/regressions

clean:
	rm -rf build build-asan build-bench build-cov build-fuzz

format:
	git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i
