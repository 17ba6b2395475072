# Zarnel: `make run` sets up, builds and launches; `make test` sets up, builds and runs every test
# (with a sanitizer build and a short fuzzing round); `make fuzz FUZZ_SECONDS=3600` fuzzes longer.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 600
PREFIX ?= /usr/local

.PHONY: all setup configure build build-tests run test fuzz install package clean

all: build

setup:
	@scripts/setup

$(BUILD_DIR)/CMakeCache.txt: | setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

configure: setup $(BUILD_DIR)/CMakeCache.txt

build: build-tests
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target benchmarks

# The program and every test, without the benchmarks.
build-tests: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Only the program: the tests and benchmarks are for make test and make build.
run: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target zarnel
	$(BUILD_DIR)/src/zarnel

# run-tests builds the program and the tests itself, beside the sanitizer build.
test: configure
	@JOBS=$(JOBS) scripts/run-tests $(BUILD_DIR)

# Installs the program, its desktop entry, icons, metadata, manual page and completion.
install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# Builds zarnel_<version>_<arch>.deb in $(BUILD_DIR).
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

# Each fuzz target for FUZZ_SECONDS from an optimised sanitizer build, keeping what it finds in
# build-fuzz/corpus.
fuzz: setup
	@JOBS=$(JOBS) SANITIZED_BUILD=build-fuzz SANITIZED_OPTIMIZATION=-O1 scripts/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) build-sanitized build-fuzz
