# Convenience entry points; the build itself is CMake.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# WERROR=ON makes every compiler warning an error (CI builds so).
WERROR ?= OFF

.PHONY: deps build example test bench clean

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DAERIAL_BUILD_BENCH=ON -DAERIAL_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)

# Runs the bundled two-rectangle example; its three tables land beside its IN_FM.txt.
example: build
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
