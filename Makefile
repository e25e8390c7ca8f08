# Karto view: `make run` and `make test` set everything up on a fresh Debian machine.
SHELL := /bin/bash
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 5
CMAKE_FLAGS ?=

.PHONY: all deps build run test test-unit test-asan test-fuzz bench samples clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Opens the sample table in the window; without a display, exports it from the
# command line into $(BUILD)/out and prints where the files are.
run: build
	@./scripts/run-sample.sh $(BUILD)

test: build test-unit test-asan test-fuzz

test-unit:
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The engine and export tests again under AddressSanitizer and UBSan.
test-asan: deps
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DKARTO_SANITIZE=ON -DKARTO_GUI=OFF -DKARTO_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Every file reader's fuzz target, for a few seconds each, from its seed corpus.
test-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKARTO_FUZZ=ON -DKARTO_GUI=OFF -DKARTO_TESTS=OFF -DKARTO_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@./scripts/run-fuzzers.sh $(FUZZ_BUILD)/fuzz $(FUZZ_SECONDS)

bench: build
	@./scripts/run-bench.sh $(BUILD)

samples:
	/usr/bin/python3 tools/make_samples.py samples

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
