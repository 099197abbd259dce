# Gravimo: the commands people use. See README.md.
#   make demo    build and open the demo (simulated board, no hardware needed)
#   make check   install what is missing, build, run every test
#   make run     build and start Gravimo with real boards
#   make install install binaries, desktop entry, udev rule and manual
#   make bench   build and run the benchmarks
#   make fuzz    run every fuzzer for FUZZ_SECONDS each

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 300
CHECK_FUZZ_SECONDS ?= 20
PREFIX ?= /usr/local
CMAKE := cmake -G Ninja -Wno-dev

.PHONY: all deps build demo run check check-unit check-tsan check-m32 check-fuzz bench fuzz install clean

all: build

deps:
	@scripts/install-deps

build/build.ninja:
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=Debug -DGRAVIMO_SANITIZE=ON -DGRAVIMO_BENCH=OFF

build-release/build.ninja:
	$(CMAKE) -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX)

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

release: deps build-release/build.ninja
	cmake --build build-release -j $(JOBS)

demo: release
	build-release/app/gravimo-demo

run: release
	build-release/app/gravimo

install: release
	cmake --install build-release

# Every test, through CTest, in each build flavour. Any failure fails the run.
check: deps
	scripts/check

check-unit: deps build
	ctest --test-dir build --output-on-failure -j $(JOBS)

bench: release
	scripts/run-benchmarks build-release

fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/check fuzz

clean:
	rm -rf build build-release build-tsan build-m32 build-fuzz build-vm
