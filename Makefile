# Front door: `make demo` runs the Studio against a simulated camera unit,
# `make check` compiles the core libraries with clang's lock analysis, builds
# and runs every test, then again under ASan+UBSan, then the threaded tests
# (label "threaded") once more under ThreadSanitizer.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
TSA_BUILD  ?= build-thread-safety
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
# make install PREFIX=/opt/orvex DESTDIR=/tmp/stage
PREFIX     ?= /usr/local

.PHONY: all deps build asan check test test-asan demo tsan test-tsan thread-safety install package fuzz fuzz-build clean

all: build

deps:
	tools/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure --stop-on-failure -j $(JOBS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVEX_SANITIZE=ON

asan: $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-asan: asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$(CURDIR)/Tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure --stop-on-failure -j $(JOBS)

check: deps
	$(MAKE) thread-safety
	$(MAKE) test
	$(MAKE) test-asan
	$(MAKE) test-tsan

# Only the test programs that start threads (label "threaded"; CMake lists
# them in threaded-test-programs) are built and run under ThreadSanitizer.
# Tests/tsan.supp names only uninstrumented system libraries; a report in our
# own code fails the run.
$(TSAN_BUILD)/build.ninja:
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVEX_TSAN=ON

tsan: $(TSAN_BUILD)/build.ninja
	cmake -S . -B $(TSAN_BUILD) >/dev/null
	targets=$$(cat $(TSAN_BUILD)/threaded-test-programs); \
	if [ -n "$$targets" ]; then cmake --build $(TSAN_BUILD) -j $(JOBS) --target $$targets; fi

test-tsan: tsan
	cd $(TSAN_BUILD) && TSAN_OPTIONS="suppressions=$(CURDIR)/Tests/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
	  ctest -L threaded --output-on-failure --stop-on-failure -j $(JOBS)

# Compile-only lane: the core libraries (Base, Video, Session, App) built by
# clang with -Wthread-safety against libc++, so that every GUARDED_BY and
# REQUIRES annotation is checked; warnings are errors. Nothing is linked or run.
TSA_CORE := orvex_base orvex_camera orvex_av orvex_session orvex_app
$(TSA_BUILD)/build.ninja:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(TSA_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVEX_THREAD_SAFETY=ON

thread-safety: $(TSA_BUILD)/build.ninja
	cmake --build $(TSA_BUILD) -j $(JOBS) --target $(TSA_CORE)

# The build runs after the install step also under make -j.
demo: deps
	$(MAKE) build
	tools/run-demo $(BUILD)

# libFuzzer programs of every parser of outside input, built with clang and
# run FUZZ_SECONDS each on a copy of the kept corpus (tools/run-fuzz). A
# finding lands in $(FUZZ_BUILD)/findings/<target>/ and fails the run; once
# mended, it is kept under Tests/Fuzz/regressions/<target>/, which make check
# replays with the corpus.
$(FUZZ_BUILD)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  "-DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
	  "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

fuzz-build: $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target orvex_fuzzers

fuzz: deps
	$(MAKE) fuzz-build
	tools/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Installs the programs, resources, desktop entry, icons, metainfo and manual
# pages under $(PREFIX); DESTDIR stages the tree under another root.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The Debian package (build/orvex-studio_<version>_<arch>.deb), its run-time
# dependencies found by dpkg-shlibdeps.
package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(TSA_BUILD) $(FUZZ_BUILD)
