# Thin entry points; each installs what is missing, builds, then acts.
BUILD_RELEASE := build/release
BUILD_TEST    := build/test
JOBS          ?= $(shell nproc)

.PHONY: run test bench deps configure-release format clean

deps:
	scripts/install-deps

configure-release: deps
	cmake -S . -B $(BUILD_RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null

run: configure-release
	cmake --build $(BUILD_RELEASE) -j $(JOBS) --target orrinvale
	scripts/run-orrinvale $(BUILD_RELEASE)/src/orrinvale

test: deps
	cmake -S . -B $(BUILD_TEST) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORRINVALE_SANITIZE=ON >/dev/null
	cmake --build $(BUILD_TEST) -j $(JOBS)
	cd $(BUILD_TEST) && ctest --output-on-failure -j $(JOBS)

bench: configure-release
	cmake --build $(BUILD_RELEASE) -j $(JOBS)
	scripts/run-benchmarks $(BUILD_RELEASE)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
