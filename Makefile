# Peckish: `make run` sets up and plays the game, `make test` sets up and runs every test.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ARGS ?=
# `make test` also runs the sanitizer stage (ASan + UBSan, and LeakSanitizer on the engine tests)
# in ASAN_BUILD; SANITIZE=0 skips it.
SANITIZE ?= 1
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

RELEASE_BUILD ?= build-release
DESTDIR ?=

.PHONY: all deps configure build run test test-asan bench fuzz clean install package

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run-game $(BUILD) $(ARGS)

test: build
	scripts/run-tests $(BUILD)
ifneq ($(SANITIZE),0)
	JOBS=$(JOBS) scripts/run-sanitizers $(ASAN_BUILD)
endif

# Stages an install of $(BUILD) (prefix /usr/local unless configured otherwise) under DESTDIR.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD)

# The Debian package: a Release build for /usr in $(RELEASE_BUILD), stripped, packed by CPack.
package: deps
	cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DPECKISH_TESTS=OFF -DPECKISH_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(RELEASE_BUILD) -j $(JOBS) --target peckish peckish_docs
	cd $(RELEASE_BUILD) && cpack -G DEB
	@ls $(RELEASE_BUILD)/peckish_*.deb

test-asan: deps
	JOBS=$(JOBS) scripts/run-sanitizers $(ASAN_BUILD)

fuzz: deps
	JOBS=$(JOBS) scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Benchmarks build in their own Release folder; the full tables land in $(BENCH_BUILD)/bench/results.
BENCH_BUILD ?= build-bench
bench: deps
	@JOBS=$(JOBS) bench/run-benchmarks $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(RELEASE_BUILD)
