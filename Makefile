# Entry points for a fresh Debian machine: `make run` and `make test` install
# what is missing, configure, build, then start the program or run the suite.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test build deps clean

run: build
	./$(BUILD)/tools/norvane-db/norvane-db --help

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

build: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS)

deps:
	./scripts/install-deps.sh

clean:
	rm -rf $(BUILD)
