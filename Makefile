# The two commands a newcomer needs: `make demo` and `make test`. Both install what is missing.
JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja
# Each test runs once: a test that fails sometimes is a fault to find, not to retry.
CTEST := ctest --output-on-failure --timeout 300 -j $(JOBS)

.PHONY: all deps build build-asan build-tsan build-nogui test test-fast stress demo soak bench fuzz package clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j $(JOBS)

build-asan: deps
	cmake -S . -B build-asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DKERVOLA_SANITIZE=ON -DKERVOLA_BENCH=OFF
	cmake --build build-asan -j $(JOBS)

# ThreadSanitizer: only the tests whose code starts threads, and what they run.
build-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DKERVOLA_TSAN=ON -DKERVOLA_LIB_ONLY=OFF -DKERVOLA_BENCH=OFF
	cmake --build build-tsan -j $(JOBS) --target threaded_tests

# Without the toolkit: proves the core and the command line need no Qt. Only those two targets,
# unoptimised, so the check stays cheap.
build-nogui: deps
	cmake -S . -B build-nogui $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DKERVOLA_GUI=OFF -DKERVOLA_BENCH=OFF
	cmake --build build-nogui -j $(JOBS) --target kervola_core kervola-cli

# Every test, headless: the normal build, then the same suite again as a Russian desktop runs it
# (decimal comma), then the whole suite under ASan+UBSan, then the tests that start threads (the
# transport library's among them) under ThreadSanitizer. The build without the toolkit only has to
# build.
RUSSIAN := LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
test: build build-asan build-tsan build-nogui
	QT_QPA_PLATFORM=offscreen $(CTEST) --test-dir build
	QT_QPA_PLATFORM=offscreen $(RUSSIAN) $(CTEST) --test-dir build
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) --test-dir build-asan
	QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" $(CTEST) --test-dir build-tsan -L 'threads|zelmont_lib'

test-fast: build
	QT_QPA_PLATFORM=offscreen $(CTEST) --test-dir build

# Every writer of the command line killed at random moments, 200 times each: no torn file
# (make test runs the same with 20). CRASH_SEED=N replays a run.
stress: build
	bash tests/cli/crash_test.sh build/cli/kervola-cli build/tools/zelmont-sim/zelmont-sim 200

demo: build
	scripts/demo.sh

# Twenty minutes of live pictures, data mode and a recording under Xvfb: the program's memory,
# descriptors and threads must stay flat after the first minute. SOAK_SECONDS=N sets the length;
# not part of make test, which it would outlast many times.
soak: build
	scripts/soak.sh

bench: build
	scripts/bench.sh

# The Debian package of the normal build: build/kervola_VERSION-REVISION_ARCH.deb.
package: build
	cmake --build build --target package

fuzz: deps
	scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-tsan build-nogui build-fuzz
