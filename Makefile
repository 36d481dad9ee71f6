# The two commands of the README, plus the benchmarks.
#   make run    install what is missing, configure, build and start the application
#   make test   the same set-up, then build and run every test (sanitizers on, under Xvfb),
#               and the threading tests (preview, background save) again under ThreadSanitizer
#   make bench  build and run the benchmarks (Release, no sanitizers)
#   make fuzz   build the fuzz targets with clang and run them all at once,
#               FUZZ_SECONDS each (default 600); fails when one finds a fault

JOBS ?= $(shell nproc)
RUN_DIR := build/run
TEST_DIR := build/test
TSAN_DIR := build/tsan
BENCH_DIR := build/bench
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 600
DEPS_STAMP := build/.deps-stamp

.PHONY: all run test bench fuzz deps clean

all: test

# Re-checks the packages only when the list changes.
$(DEPS_STAMP): tools/debian-packages.txt tools/install-deps.sh
	./tools/install-deps.sh
	@mkdir -p build && touch $@

deps: $(DEPS_STAMP)

# Every build goes through ccache when there is one. Paths are hashed relative
# to the checkout, so several checkouts of the project share compiled objects.
CCACHE := $(shell command -v ccache 2>/dev/null)
LAUNCHER := $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE) -DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE))
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

$(RUN_DIR)/build.ninja: $(DEPS_STAMP)
	cmake -S . -B $(RUN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVADINE_TESTS=OFF $(LAUNCHER)

$(TEST_DIR)/build.ninja: $(DEPS_STAMP)
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVADINE_SANITIZE=ON $(LAUNCHER)

# The threading tests (preview, background save) once more under ThreadSanitizer: a second,
# small build (the library and those tests).
$(TSAN_DIR)/build.ninja: $(DEPS_STAMP)
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVADINE_TESTS=OFF -DCORVADINE_TSAN=ON $(LAUNCHER)

$(BENCH_DIR)/build.ninja: $(DEPS_STAMP)
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVADINE_TESTS=OFF -DCORVADINE_BENCH=ON $(LAUNCHER)

# libFuzzer comes with clang only.
$(FUZZ_DIR)/build.ninja: $(DEPS_STAMP)
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVADINE_TESTS=OFF -DCORVADINE_FUZZ=ON $(LAUNCHER)

run: $(RUN_DIR)/build.ninja
	cmake --build $(RUN_DIR) --target Corvadine -j $(JOBS)
	"$$(find $(RUN_DIR) -type f -name Corvadine -perm -u+x | head -n 1)"

test: $(TEST_DIR)/build.ninja $(TSAN_DIR)/build.ninja
	cmake --build $(TEST_DIR) -j $(JOBS)
	./tools/run-tests.sh $(TEST_DIR)
	cmake --build $(TSAN_DIR) --target corvadine_tsan_tests -j $(JOBS)
	./tools/run-tsan-tests.sh $(TSAN_DIR)

bench: $(BENCH_DIR)/build.ninja
	cmake --build $(BENCH_DIR) -j $(JOBS)
	./tools/run-bench.sh $(BENCH_DIR)

fuzz: $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) --target corvadine_fuzz -j $(JOBS)
	./tools/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf build
