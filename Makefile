# Quorvel: `make run` builds and starts the program, `make test` runs the
# whole test suite. Both first install whatever Debian packages are missing.

BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
WERROR ?= OFF
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS ?=

# Reproducible builds: every time a build writes into what it makes (the
# built-in pictures' file times, the Windows programs' and DLLs' time
# stamps, the times of the files in the packages and the zip) is this one,
# the last commit's unless SOURCE_DATE_EPOCH gives another, so that two
# builds of one commit give the same bytes (`make reproducible` checks).
ifeq ($(origin SOURCE_DATE_EPOCH),undefined)
SOURCE_DATE_EPOCH := $(shell git log -1 --format=%ct 2>/dev/null)
endif
ifneq ($(SOURCE_DATE_EPOCH),)
export SOURCE_DATE_EPOCH
endif

.PHONY: all setup configure build run test package bench format format-check clean \
	windows windows-build test-windows mutants reproducible

all: build

setup:
	@tools/setup.sh

# `configure` and `build` install nothing: they need the packages present.
configure:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQUORVEL_WERROR=$(WERROR) -DBUILD_TESTING=ON $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: setup configure
	@cmake --build $(BUILD) -j $(JOBS) --target quorvel
	./$(BUILD)/quorvel

test: setup
	@$(MAKE) build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The package also needs the tools that make its manual pages and check it.
# It is built in a folder of its own, without the tests, with Debian's
# build flags: fortified functions, the stack protector, relocations
# resolved at start and then made read-only (-z relro -z now), and the
# clone's folder mapped to "." (-ffile-prefix-map), so that where it was
# built is not in the programs. cpack gives the packages' members the modes
# of the files it writes for them, so it runs with umask 022.
PACKAGE_TOOLS = scdoc gzip lintian appstream desktop-file-utils man-db bash-completion
PACKAGE_BUILD ?= build-deb
buildflag = $(shell DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get $(1))
package:
	@tools/setup.sh $(PACKAGE_TOOLS)
	@cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQUORVEL_WERROR=$(WERROR) \
	  -DBUILD_TESTING=OFF -DCMAKE_CXX_FLAGS="$(call buildflag,CPPFLAGS) $(call buildflag,CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$(call buildflag,LDFLAGS)" $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && umask 022 && cpack -G DEB

# Benchmarks in a Release build of their own; BENCH_ARGS=--quick runs each
# once, briefly. Figures and targets: bench/run_all.sh.
BENCH_BUILD ?= build-bench
BENCH_ARGS ?=
bench: setup
	@tools/setup.sh hyperfine faketime
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WERROR=$(WERROR) -DBUILD_TESTING=OFF -DQUORVEL_BENCH=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target quorvel_cipher_bench quorvel_window_bench \
	  quorvel_picture_bench quorvel_startup_probe quorvel_bare_probe quorvel_label_probe quorvel-strip \
	  quorvel_strip_version_floor quorvel_strip_encode_floor quorvel_strip_decode_floor
	@bench/run_all.sh $(BENCH_ARGS) $(BENCH_BUILD)

# Windows, cross-built with MinGW-w64 against the cross-built Qt and libspng
# (unpacked from ../shared/windows/qt6-mingw.tar.xz and spng-mingw.tar.xz
# into the build folder), warnings
# as errors: `make windows` builds both programs and the tests and packs the
# zip and the installer; `make test-windows` runs the suite under Wine.
WIN_BUILD ?= build-win
WIN_BUILD_TYPE ?= Release
WIN_WERROR ?= ON
windows-build:
	@tools/setup.sh --windows
	@tools/windows/unpack.sh $(WIN_BUILD)
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
	  -DQUORVEL_QT_MINGW=$(abspath $(WIN_BUILD))/qt6-mingw \
	  -DQUORVEL_SPNG_MINGW=$(abspath $(WIN_BUILD))/spng-mingw -DCMAKE_BUILD_TYPE=$(WIN_BUILD_TYPE) \
	  -DQUORVEL_WERROR=$(WIN_WERROR) -DBUILD_TESTING=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)

windows: windows-build
	@cmake --build $(WIN_BUILD) --target windows-package

test-windows: windows-build
	@tools/windows/test.sh $(WIN_BUILD)

# Two builds of this commit, from two clones in other folders, with other
# umasks, time zones and times, must give the same packages, zip and
# installer byte for byte (tools/check_reproducible.sh; slow: four builds).
# REPRO_ARGS=--no-windows checks the Debian packages alone.
REPRO_ARGS ?=
reproducible:
	@tools/setup.sh diffoscope-minimal
	@tools/check_reproducible.sh $(REPRO_ARGS)

# Mutation run (slow, not part of CI): FAULTS=own (tools/mutants.txt, the
# default), blind (tools/mutants-blind.txt) or both; ARGS= passes more
# options or fault ids to tools/mutate.sh. Prints the caught count and the
# survivors.
FAULTS ?= own
fault_lists = $(if $(filter own both,$(FAULTS)),--faults tools/mutants.txt) \
  $(if $(filter blind both,$(FAULTS)),--faults tools/mutants-blind.txt)
mutants: setup
	@tools/mutate.sh $(fault_lists) $(ARGS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(PACKAGE_BUILD)
