# Thin entry points; each installs what is missing, builds, then acts.
BUILD_RELEASE := build/release
BUILD_TEST    := build/test
JOBS          ?= $(shell nproc)
FUZZ_SECONDS  ?= 120

.PHONY: run test soak bench fuzz deb deps configure-release format clean

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
	scripts/run-fuzzers 20

fuzz: deps
	scripts/run-fuzzers $(FUZZ_SECONDS)

# The long soak runs against the sanitizer build of `make test`: what it is for is the
# faults that only show under load (a use after free, a leak, a crash at exit), and those
# the sanitizers catch. Memory figures are ASan's; the test judges their growth, not size.
soak: deps
	cmake -S . -B $(BUILD_TEST) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORRINVALE_SANITIZE=ON >/dev/null
	cmake --build $(BUILD_TEST) -j $(JOBS) --target orrinvale e2e_drop_receiver
	cd tests/e2e && ORRINVALE_SOAK=long PYTHONDONTWRITEBYTECODE=1 \
		ORRINVALE_BINARY=$(CURDIR)/$(BUILD_TEST)/src/orrinvale \
		ORRINVALE_DROP_RECEIVER=$(CURDIR)/$(BUILD_TEST)/tests/e2e/e2e_drop_receiver \
		python3 -m unittest -v test_soak

bench: configure-release
	cmake --build $(BUILD_RELEASE) -j $(JOBS)
	scripts/run-benchmarks $(BUILD_RELEASE)

# The package is built from the release tree and left in the top folder:
# `make deb && sudo apt install ./orrinvale_*.deb`. Any lintian error or warning fails it;
# informational tags are shown.
deb: configure-release
	cmake --build $(BUILD_RELEASE) -j $(JOBS)
	cd $(BUILD_RELEASE) && cpack -G DEB >/dev/null
	rm -f orrinvale_*.deb
	cp $(BUILD_RELEASE)/orrinvale_*.deb .
	lintian --display-info --fail-on error,warning orrinvale_*.deb
	@ls orrinvale_*.deb

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
