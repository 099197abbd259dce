# Gravimo: the commands people use. See README.md.
#   make demo    build and open the demo (simulated board, no hardware needed)
#   make check   install what is missing, build, run every test
# Each installs the packages it needs first (scripts/install-deps PROFILE):
# building and running need few; make check needs everything.
#   make run     build and start Gravimo with real boards
#   make install install binaries, desktop entry, udev rule and manual
#   make deb     build the Debian package build-release/gravimo_<version>_<arch>.deb
#   make windows build the Windows zips and installers in build-windows/
#   make bench   build and run the benchmarks
#   make fuzz    run every fuzzer for FUZZ_SECONDS each

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 300
CHECK_FUZZ_SECONDS ?= 20
PREFIX ?= /usr/local
CMAKE := cmake -G Ninja -Wno-dev

.PHONY: all deps deps-package deps-windows deps-check build release release-configure programs demo run deb windows check check-unit check-tsan check-m32 check-fuzz bench fuzz install clean

all: build

deps:
	@scripts/install-deps demo

deps-package:
	@scripts/install-deps package

deps-windows:
	@scripts/install-deps windows

deps-check:
	@scripts/install-deps check

build/build.ninja:
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=Debug -DGRAVIMO_SANITIZE=ON -DGRAVIMO_BENCH=OFF

# Configured on every use, so that a changed PREFIX reaches the build.
release-configure: deps
	$(CMAKE) -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX)

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

release: release-configure
	cmake --build build-release -j $(JOBS)

programs: release-configure
	cmake --build build-release -j $(JOBS) --target gravimo gravimo-demo

demo: programs
	build-release/demo/gravimo-demo

run: programs
	build-release/app/gravimo

# DESTDIR stages the files elsewhere; otherwise udev is told about the new
# rule at once, so a board that is already connected gets its access rights.
install: release
	cmake --install build-release
	@if [ -z "$(DESTDIR)" ] && [ "$$(id -u)" = 0 ]; then packaging/reload-udev; fi

# A package installs to /usr, whatever PREFIX says; the paths compiled into
# the programs must match it.
deb: override PREFIX = /usr
deb: deps-package programs
	cd build-release && cpack -G DEB

# For 32-bit and 64-bit Windows, cross-built on this machine: per word size
# a zip of the program folder and an installer, in build-windows/.
WINDOWS_ARCHS ?= i686 x86_64
windows: deps-windows
	@for arch in $(WINDOWS_ARCHS); do \
	  $(CMAKE) -S . -B build-windows/$$arch -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$$arch-w64-mingw32.cmake && \
	  JOBS=$(JOBS) packaging/windows/make-packages build-windows/$$arch $$arch build-windows || exit 1; \
	done

# Every test, through CTest, in each build flavour. Any failure fails the run.
check: deps-check
	scripts/check

check-unit: deps-check build
	ctest --test-dir build --output-on-failure -j $(JOBS)

# BENCHMARK_MIN_TIME (seconds per benchmark, default 0.5) shortens a run.
bench: release
	scripts/run-benchmarks build-release

fuzz: deps-check
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/check fuzz

clean:
	rm -rf build build-release build-tsan build-m32 build-fuzz build-vm build-win-i686 build-win-x86_64 build-windows
