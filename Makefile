# Quick start: `make demo` and `make test`. Each installs what is missing, configures and builds.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEMO_DIR ?= demo-out
# ccache (when present) shares its results between clones of the tree.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all deps configure build test demo bench package format clean

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

format:
	find src bench -name '*.h' -o -name '*.cc' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(DEMO_DIR)
