# Quick start:  make run   (set up, build, start the instrument)
#               make test  (set up, build, run the whole test suite)
.PHONY: setup run test asan bench package clean

JOBS ?= $(shell nproc)

setup:
	bash scripts/setup.sh

run: setup
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target ac-wattmeter
	bash scripts/run.sh build/release/ac-wattmeter

test: setup
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)
	ctest --preset dev -j $(JOBS)

asan: setup
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

bench: setup
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	bash scripts/bench.sh build/release

# The Debian package, from its own release build, into build/package/ (one .deb);
# scripts/check-package.sh installs, runs and removes it.
package: setup
	JOBS=$(JOBS) bash scripts/package.sh

clean:
	rm -rf build
