# make run   - the tool on the built-in demo (bank server and demo exam pages)
# make test  - build everything and run every test
# make bench - the benchmarks
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: setup build run test bench format clean

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
	@python3 tools/bench/run_bench.py --build $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
