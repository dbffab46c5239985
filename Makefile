# Two entry points: `make run` and `make test`. Both install missing Debian packages first.
BUILD      ?= build/release
ASAN_BUILD ?= build/asan
JOBS       ?= $(shell nproc)
XVFB       = xvfb-run -a -s "-screen 0 1920x1080x24"

.PHONY: setup build run test test-asan asan-build clean fuzz soak

setup:
	@bash tools/setup.sh
	@bash tools/copy_font.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDUSTRUN_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash tools/run.sh $(BUILD)/PemmetsDustrun

asan-build: setup
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDUSTRUN_SANITIZE=ON -DDUSTRUN_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: build asan-build
	LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) -j $(JOBS) -L unit --output-on-failure
	# The GL driver keeps allocations it never frees; GL tests are checked for memory errors, not leaks.
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 LIBGL_ALWAYS_SOFTWARE=1 \
	  $(XVFB) ctest --test-dir $(ASAN_BUILD) -j $(JOBS) -L gl --output-on-failure
	# Every fuzz seed and saved crash input, run once (clang build in build/fuzz).
	bash tests/fuzz/run.sh replay

# Fuzzes every loader harness in parallel for FUZZ_SECONDS each; faults land in tests/fuzz/crashes/.
FUZZ_SECONDS ?= 60
fuzz: setup
	bash tests/fuzz/run.sh fuzz $(FUZZ_SECONDS)

# Random keys (developer keys included) and clicks to the sanitizer build under Xvfb for SOAK_SECONDS;
# fails on a crash, a sanitizer report, an assertion in the trace log or a non-zero exit.
SOAK_SECONDS ?= 600
soak: asan-build
	SOAK_SECONDS=$(SOAK_SECONDS) bash tools/soak.sh $(ASAN_BUILD)/PemmetsDustrun $(ASAN_BUILD)/moonc

clean:
	rm -rf build

# Frame cost per case under Xvfb at 1920x1080 with the software renderer (see bench/dustrun_bench.cpp).
.PHONY: bench
bench: build
	# No audio device is opened (the studio layer's silent output), so the figures leave sound out.
	ALSOFT_DRIVERS=none LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) $(BUILD)/dustrun_bench $(BENCH_ARGS)
