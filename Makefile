# make run   - the tool on the built-in demo (bank server and demo exam pages)
# make test  - build everything and run every test
# make bench - the benchmarks
# make fuzz  - the fuzz targets under libFuzzer, FUZZ_SECONDS each (clang build in FUZZ_BUILD)
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: setup build run test bench fuzz format clean

setup:
	@bash tools/setup-machine.sh

build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 900

run: build
	@python3 tools/demo/run_demo.py --build $(BUILD)

bench: build
	@python3 tools/bench/run_bench.py --build $(BUILD) $(BENCH_ARGS)

FUZZ_BUILD ?= build-libfuzzer
FUZZ_SECONDS ?= 60
fuzz: setup
	@python3 tools/fuzz/run_fuzz.py --build $(FUZZ_BUILD) --seconds $(FUZZ_SECONDS) --jobs $(JOBS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
