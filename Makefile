# Two entry points: `make run` and `make test`. Both install missing Debian packages first.
BUILD      ?= build/release
ASAN_BUILD ?= build/asan
JOBS       ?= $(shell nproc)
XVFB       = xvfb-run -a -s "-screen 0 1920x1080x24"

.PHONY: setup build run test test-asan asan-build clean

setup:
	@bash tools/setup.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash tools/run.sh $(BUILD)/PemmetsDustrun

asan-build: setup
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDUSTRUN_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: build asan-build
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure
	ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 LIBGL_ALWAYS_SOFTWARE=1 \
	  $(XVFB) ctest --test-dir $(ASAN_BUILD) -j $(JOBS) --output-on-failure

clean:
	rm -rf build
