# Two commands do everything on a fresh Debian 12 machine: `make demo` and `make test`.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 15
CMAKE_FLAGS ?=
# Our own builds treat warnings as errors; a plain configure does not.
OUR_FLAGS = -DFOLIORAY_WERROR=ON $(LAUNCHER)
CTEST_FLAGS ?= --output-on-failure --timeout 300
LAUNCHER := $(shell command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

.PHONY: all deps build build-asan build-fuzz test test-normal test-asan test-fuzz check-deps \
  check-static demo bench package format clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(OUR_FLAGS) $(CMAKE_FLAGS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFOLIORAY_SANITIZE=ON \
	  -DFOLIORAY_BENCH=OFF $(OUR_FLAGS) $(CMAKE_FLAGS)

$(FUZZ_BUILD)/build.ninja:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DFOLIORAY_FUZZ=ON -DFOLIORAY_TESTS=OFF -DFOLIORAY_BENCH=OFF -DFOLIORAY_QT=OFF \
	  -DBUILD_SHARED_LIBS=OFF $(OUR_FLAGS) $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# Under strace (execve only, filtered in the kernel): check-deps also sees what the tests run.
# strace gives up when a tracee it holds in a stop dies (PTRACE_LISTEN fails), which takes
# ctest down with it, so the tests that stop a server run untraced afterwards.
UNTRACED_TESTS = ServerStopped
test-normal: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen strace -f --seccomp-bpf -qq -e trace=execve \
	  -e status=successful -o test-exec.trace ctest -j $(JOBS) -E '$(UNTRACED_TESTS)' $(CTEST_FLAGS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest -j $(JOBS) -R '$(UNTRACED_TESTS)' $(CTEST_FLAGS)

test-asan: build-asan
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp \
	  ctest -j $(JOBS) $(CTEST_FLAGS)

build-fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Each fuzz target for a bounded time here; run tests/fuzz/run.sh longer by hand.
test-fuzz: build-fuzz
	bash tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The build and the tests use no package that the install step would not bring to a
# fresh machine.
check-deps: build build-asan build-fuzz
	bash scripts/check-deps.sh $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

# The static build that static users link (Qt and all) must at least configure: its
# export set differs from the shared build's.
check-static: deps
	rm -rf $(BUILD)-static-check && cmake -S . -B $(BUILD)-static-check -G Ninja \
	  -DBUILD_SHARED_LIBS=OFF $(OUR_FLAGS) $(CMAKE_FLAGS) >/dev/null && rm -rf $(BUILD)-static-check

test: test-normal test-asan test-fuzz check-deps check-static

# folioray2_<version>_amd64.deb in the build folder.
package: build
	cd $(BUILD) && cpack -G DEB

demo: build
	bash scripts/demo.sh $(BUILD)

bench: build
	bash bench/run.sh $(BUILD)

format:
	find . -path ./build -prune -o -path './build-*' -prune -o \
	  \( -name '*.cpp' -o -name '*.h' \) -print | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
