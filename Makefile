# Zarnel: `make run` sets up, builds and launches; `make test` sets up, builds and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup configure build run test clean

all: build

setup:
	@scripts/setup

$(BUILD_DIR)/CMakeCache.txt: | setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

configure: setup $(BUILD_DIR)/CMakeCache.txt

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/src/zarnel

test: build
	@scripts/run-tests $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
