# Convenience entry points; the build itself is CMake.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# WERROR=ON makes every compiler warning an error (CI builds so).
WERROR ?= OFF

.PHONY: deps configure build example test bench clean

deps:
	scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DAERIAL_BUILD_BENCH=ON -DAERIAL_WERROR=$(WERROR)

# Everything: the library, the tool, the tests and the benchmarks.
build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Builds the library and the tool only (the tests and benchmarks come with make test and
# make bench) and runs the bundled two-rectangle example; its three tables land beside its
# IN_FM.txt.
example: configure
	cmake --build $(BUILD) -j $(JOBS) --target aerial_tool
	$(BUILD)/bin/aerial run examples/two-rectangles

test: build
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure

clean:
	rm -rf $(BUILD)

# Stage and whole-run benchmarks, fast and direct evaluation side by side (bench/README.md).
bench: build
	$(BUILD)/bin/aerial_bench
	$(BUILD)/bin/engine_bench
	bench/window_bench.sh $(BUILD)/bin/aerial examples/dense-lines
	bench/tiles_bench.sh $(BUILD)/bin/aerial
