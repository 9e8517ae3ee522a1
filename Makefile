# make run   : install what is missing, build, start a solo game
# make test  : install what is missing, build, run every test (headless)
# make test-asan : the tests again under AddressSanitizer + UndefinedBehaviorSanitizer
# make fuzz-smoke : run each libFuzzer target briefly
# make install [PREFIX=/usr/local] [DESTDIR=...] : build, then install the programs,
#              desktop entries, icons, metainfo and manual pages
# make uninstall : remove exactly the files the last install listed
# The sanitizer build uses clang and holds the tests and the fuzz targets both.

BUILD      ?= build
BUILD_SAN  ?= build-san
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 20
PREFIX     ?= /usr/local
GEN        := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps build run test install uninstall build-san test-asan fuzz-smoke bench clean

all: build

deps:
	@bash scripts/setup-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSUDOKU_WERROR=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/sudoku

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# cmake --install lists every file it wrote (DESTDIR included) in the build folder.
uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "$(BUILD)/install_manifest.txt: nothing was installed from this build" >&2; exit 1; }
	xargs -r -d '\n' rm -f -- < $(BUILD)/install_manifest.txt

$(BUILD_SAN)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_SAN) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DSUDOKU_FUZZ=ON -DSUDOKU_BENCH=OFF -DSUDOKU_WERROR=ON

build-san: deps $(BUILD_SAN)/CMakeCache.txt
	cmake --build $(BUILD_SAN) -j $(JOBS)

test-asan: build-san
	cd $(BUILD_SAN) && QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

fuzz-smoke: build-san
	bash scripts/fuzz-smoke.sh $(BUILD_SAN) $(FUZZ_SECONDS)

bench: build
	bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
