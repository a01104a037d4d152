# Entry points for a fresh Debian machine: `make run` and `make test` install
# what is missing, configure, build, then start the program or run the suite.
BUILD ?= build
JOBS ?= $(shell nproc)
# ccache, when installed, keeps rebuilds of unchanged sources cheap.
LAUNCHER := $(shell command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: run test build configure deps bench clean

# Builds only the program it starts; the tests come with `make test`.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target norvane-db
	./$(BUILD)/tools/norvane-db/norvane-db --help

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(LAUNCHER)

deps:
	./scripts/install-deps.sh

# Benchmarks in their own optimised build; figures are ratios within one run.
bench: deps
	./scripts/install-deps.sh libbenchmark-dev libsqlite3-dev
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DNORVANE_BENCH=ON -DNORVANE_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	./build-bench/bench/page_cipher_bench
	./build-bench/bench/table_records_bench
	./build-bench/bench/index_array_bench
	./build-bench/bench/compress_bench
	./build-bench/bench/table_index_bench
	./build-bench/bench/norvane-bench

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-bench
