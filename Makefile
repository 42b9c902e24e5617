# Front door: `make demo` runs the Studio against a simulated camera unit,
# `make check` builds and runs every test, then again under ASan+UBSan.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all deps build asan check test test-asan demo tsan clean

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
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure --stop-on-failure -j $(JOBS)

check: deps
	$(MAKE) test
	$(MAKE) test-asan

tsan:
	cmake -S . -B build-tsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVEX_TSAN=ON
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS="suppressions=$(CURDIR)/Tests/tsan.supp halt_on_error=1" ctest --output-on-failure -j $(JOBS)

demo: deps build
	tools/run-demo $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-tsan
