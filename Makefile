# Convenience targets; everything is driven by CMake presets.
.PHONY: all deps build test test-asan coverage bench bench-capture bench-python \
	plot-sample report-sample fuzz fuzz-build fuzz-long fuzz-coverage demo demo-live clean format

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

all: build

deps:
	scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

# Builds the library and tessavo-decode (not the tests), then decodes the bundled sample: the
# summary on the terminal, every item as JSON lines, the handset state over time as CSV and
# the drive on a map as GeoJSON (placed by the capture's position fixes) under build/demo/. Times are UTC whatever TZ is (--tz ZONE prints local times).
DEMO_SAMPLE ?= samples/drive_test.bin

demo: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target tessavo-decode tessavo_python
	mkdir -p build/demo
	build/tools/tessavo-decode -q --format jsonl -o build/demo/items.jsonl $(DEMO_SAMPLE)
	build/tools/tessavo-decode -q --format csv -o build/demo/state.csv $(DEMO_SAMPLE)
	build/tools/tessavo-decode -q --format geojson -o build/demo/drive.geojson $(DEMO_SAMPLE)
	build/tools/tessavo-decode -q --format summary $(DEMO_SAMPLE)
	@echo "Wrote build/demo/items.jsonl, build/demo/state.csv and build/demo/drive.geojson (a map)"

# Live capture without a handset: the simulator replays the sample at 10x its pace on a
# pseudo-terminal, tessavo-capture shows the live view for 20 s and records it under
# build/demo/, and tessavo-decode summarises the recording.
demo-live: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target tessavo-capture tessavo-sim tessavo-decode
	scripts/demo-live.sh

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
	$(GCOVR) build-cov --object-directory build-cov --filter src/ --filter tools/ \
		--json $(COVERAGE_DIR)/coverage.json \
		--html-details $(COVERAGE_DIR)/index.html --html-title "Tessavo coverage"
	@for d in src tools; do echo "$$d/:"; \
		$(GCOVR) -a $(COVERAGE_DIR)/coverage.json --filter $$d/ --txt $(COVERAGE_DIR)/summary.txt --print-summary \
		| grep -E '^(lines|branches):'; done
	@echo "Wrote $(COVERAGE_DIR)/index.html"

bench: deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS) --target tessavo_bench
	./build-bench/bench/tessavo_bench

# Live capture at full speed over a pty and over TCP: MB/s, items/s, CPU per MB and the
# latency from the simulator's write to the JSON line (median, 99th percentile).
bench-capture: build
	$(PYTHON) bench/capture_bench.py

# The Python package runs on Debian's Python and its packages (python3-pandas, ...), which a
# python3 earlier on PATH (pyenv, a virtualenv) may not see.
PYTHON ?= /usr/bin/python3
BENCH_CAPTURE ?= ../shared/captures/sprint_2015.mi2log

# The Python package's memory and time against tessavo-decode on concatenations of a real
# capture (x10, x100, made under build/bench-python), and a campaign of 1000 generated
# captures on Dask against GNU parallel (python/benchmarks/python_bench.py).
bench-python: build
	@test -e $(BENCH_CAPTURE) || { echo "make bench-python: $(BENCH_CAPTURE) is missing; give a capture with BENCH_CAPTURE=FILE" >&2; exit 1; }
	PYTHONPATH=build/python $(PYTHON) python/benchmarks/python_bench.py --capture $(BENCH_CAPTURE)

# Redraws docs/drive_test.png, the README's picture of the bundled sample.
plot-sample: build
	PYTHONPATH=build/python $(PYTHON) -m tessavo.plot samples/drive_test.bin \
		-o docs/drive_test.png --title "samples/drive_test.bin"

# The HTML report of the bundled sample (build/report-sample.html), checked in headless Chromium
# (no console errors, no network requests, the KPIs and chart markers of the analysis), with a
# screenshot in build/report-sample.png.
report-sample: build
	PYTHONPATH=build/python $(PYTHON) -m tessavo.report samples/drive_test.bin \
		-o build/report-sample.html
	scripts/run-pytest.sh $(PYTHON) build python/tests/test_report_browser.py -rs

# Fuzzing (clang, libFuzzer, AddressSanitizer and UBSan). Each target starts from its kept,
# minimised corpus in fuzz/corpus/TARGET, the generated seeds and fuzz/regressions; an input
# whose decode takes over a second is a finding.
FUZZ_TARGETS = decode one_frame dtlog compact frame_scan formats
FUZZ_SECONDS ?= 120
FUZZ_FLAGS = -timeout=1 -rss_limit_mb=4096 -max_len=4096
FUZZ_BIN = build-fuzz/fuzz/tessavo_fuzz_
fuzz_inputs = fuzz/corpus/$(1) build-fuzz/fuzz/seeds fuzz/regressions

fuzz-build:
	WITH_CLANG=1 scripts/install-deps.sh
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTESSAVO_FUZZ=ON -DTESSAVO_SANITIZE=ON -DTESSAVO_WERROR=OFF -DTESSAVO_BUILD_TESTS=OFF \
		-DTESSAVO_BUILD_TOOLS=OFF
	cmake --build build-fuzz -j $(JOBS) $(addprefix --target tessavo_fuzz_,$(FUZZ_TARGETS))

# CI: every target for its share of FUZZ_SECONDS; any finding (crash, sanitizer report, oracle
# difference, timeout) fails. New inputs go to build-fuzz/corpus, not into the repository.
fuzz: fuzz-build
	@for t in $(FUZZ_TARGETS); do \
		mkdir -p build-fuzz/corpus/$$t; \
		echo "== $$t"; \
		TZ=CST-8 $(FUZZ_BIN)$$t -max_total_time=$$(( $(FUZZ_SECONDS) / $(words $(FUZZ_TARGETS)) + 1 )) $(FUZZ_FLAGS) \
			-artifact_prefix=build-fuzz/$$t- build-fuzz/corpus/$$t \
			$(call fuzz_inputs,$$t) || exit 1; \
	done

# Long runs: FUZZ_SECONDS per target (FUZZ_TARGETS=decode for one), JOBS processes each
# (scripts/fuzz-long.sh); findings are kept as build-fuzz/TARGET-* and the run goes on. What
# the run found that the kept corpus does not cover is merged back into fuzz/corpus/TARGET.
fuzz-long: fuzz-build
	@for t in $(FUZZ_TARGETS); do \
		echo "== $$t"; \
		scripts/fuzz-long.sh $$t $(FUZZ_SECONDS) $(JOBS) $(FUZZ_FLAGS) $(call fuzz_inputs,$$t); \
		TZ=CST-8 $(FUZZ_BIN)$$t -merge=1 $(FUZZ_FLAGS) fuzz/corpus/$$t build-fuzz/long/$$t \
			|| exit 1; \
	done

# Line coverage that replaying the kept corpora, the seeds and the regression inputs reaches, per source folder: gcc --coverage builds of the replay programs
# in build-fuzz-cov. gcovr looks for counters in the build folder only: other folders (a wine
# prefix's drive links to /) would lead it through the whole file system.
FUZZ_COV = build-fuzz-cov
fuzz-coverage: deps
	cmake -S . -B $(FUZZ_COV) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSAVO_WERROR=ON \
		-DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage \
		-DCMAKE_EXE_LINKER_FLAGS=--coverage -DTESSAVO_BUILD_PYTHON=OFF
	cmake --build $(FUZZ_COV) -j $(JOBS) $(addprefix --target tessavo_fuzz_,$(addsuffix _replay,$(FUZZ_TARGETS)))
	find $(FUZZ_COV) -name '*.gcda' -delete
	@for t in $(FUZZ_TARGETS); do \
		TZ=CST-8 $(FUZZ_COV)/fuzz/tessavo_fuzz_$${t}_replay \
			$(subst build-fuzz/,$(FUZZ_COV)/,$(call fuzz_inputs,$$t)) > /dev/null || exit 1; \
	done
	@for d in src/api src/bits src/common src/decoders src/dispatch src/dtlog src/framing \
		src/params tools/common; do \
		printf '%-22s ' $$d/; \
		gcovr -r . $(FUZZ_COV) --object-directory $(FUZZ_COV) \
			--exclude-directories '$(FUZZ_COV)/CMakeFiles/[0-9]' --filter $$d/ --txt $(FUZZ_COV)/summary.txt \
			--print-summary | grep '^lines:'; \
	done

clean:
	rm -rf build build-asan build-bench build-cov build-fuzz build-fuzz-cov

format:
	git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i
