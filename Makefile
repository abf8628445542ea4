# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all setup configure build run test package fuzz bench format clean

all: build

setup:
	@bash scripts/setup

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: setup $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/sonabin

# Three suites, in order: the normal build's tests, the same tests built with sanitizers (build-asan), and
# a short run of each fuzz target (build-fuzz, when clang is there).
test: export CCACHE_BASEDIR := $(CURDIR)
test: export CCACHE_NOHASHDIR := 1
test: build
	@echo "==== Normal suite: $(BUILD) ===="
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@JOBS=$(JOBS) bash scripts/test-sanitize
	@JOBS=$(JOBS) bash scripts/fuzz 30

# The Debian package, in the build folder (the normal suite also builds and checks one).
package: build
	cd $(BUILD) && cpack -G DEB

# Each fuzz target for FUZZ_SECONDS, keeping the corpus it grows in build-fuzz/corpus.
FUZZ_SECONDS ?= 300
fuzz: setup
	@JOBS=$(JOBS) bash scripts/fuzz $(FUZZ_SECONDS)

bench: build
	@bash scripts/run-bench $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-asan build-fuzz
