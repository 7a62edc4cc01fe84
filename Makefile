# Quick start: `make demo` and `make test`. Each installs what is missing, configures and builds.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEMO_DIR ?= demo-out
# ccache (when present) shares its results between clones of the tree.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all deps configure build test demo bench package format clean fuzz fuzz-build fuzz-smoke \
  test-asan

all: build

deps:
	@bash scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

demo: build
	@bash scripts/demo $(BUILD) $(DEMO_DIR)

bench: build
	@bash scripts/bench $(BUILD)

# Debian packages in $(BUILD)/package: qts-inventory and qts-inventory-dev.
package: build
	cd $(BUILD) && cpack

# libFuzzer targets (fuzz/), built with clang in $(FUZZ_BUILD) with AddressSanitizer and
# UndefinedBehaviorSanitizer, each run for FUZZ_SECONDS from its seed corpus (fuzz/corpus/).
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=

# -O1 with line tables only, as fuzzing builds usually are; a sanitizer's report still names
# files and lines. Assertions stay on.
$(FUZZ_BUILD)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DQTS_FUZZ=ON -DQTS_SANITIZE=address,undefined

fuzz-build: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) --target qts_fuzz -j $(JOBS)

fuzz: fuzz-build
	@bash scripts/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# CI's short run of every target, FUZZ_SMOKE_SECONDS each. Where clang cannot link a libFuzzer
# target (clang or its runtime not installed) it says so and is skipped; nothing else skips it.
FUZZ_SMOKE_SECONDS ?= 12

fuzz-smoke: deps
	@if bash scripts/fuzz --check-toolchain; then \
	  $(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS); \
	else \
	  echo "fuzz-smoke: SKIPPED: clang cannot build libFuzzer targets here (scripts/install-deps installs clang and libclang-rt-dev)" >&2; \
	fi

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer (g++) in
# $(ASAN_BUILD) and run by CTest: a leak, a bad access or undefined behaviour fails its test.
ASAN_BUILD ?= build-asan

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DQTS_SANITIZE=address,undefined

# LeakSanitizer reads scripts/lsan.supp, which says what it keeps quiet about and why;
# UndefinedBehaviorSanitizer prints the stack of what it finds.
ASAN_ENV = LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(ASAN_ENV) ctest --output-on-failure -j $(JOBS) --timeout 1800

format:
	find src bench fuzz -name '*.h' -o -name '*.cc' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(DEMO_DIR) $(FUZZ_BUILD) $(ASAN_BUILD)
