# make run   : install what is missing, build, start a solo game
# make test  : install what is missing, build, run every test (headless)
# make test-asan : the tests again under AddressSanitizer + UndefinedBehaviorSanitizer
# make fuzz-smoke : build the libFuzzer targets with clang and run each briefly

BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 20
GEN        := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps build run test test-asan build-fuzz fuzz-smoke bench clean

all: build

deps:
	@bash scripts/setup-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/sudoku

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

$(BUILD_ASAN)/CMakeCache.txt:
	cmake -S . -B $(BUILD_ASAN) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DSUDOKU_SANITIZE=ON -DSUDOKU_BENCH=OFF

test-asan: deps $(BUILD_ASAN)/CMakeCache.txt
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

$(BUILD_FUZZ)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DSUDOKU_FUZZ=ON -DSUDOKU_BENCH=OFF

build-fuzz: deps $(BUILD_FUZZ)/CMakeCache.txt
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzz_targets

fuzz-smoke: build-fuzz
	bash scripts/fuzz-smoke.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

bench: build
	bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
