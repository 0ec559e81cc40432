# Quarvel for Linux: the two commands of the README, and a few helpers.
#   make run    builds what is missing and starts the program on a demo company
#   make test   installs what the tests need, builds, starts the services, runs every test

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=

.PHONY: all run test e2e bootstrap configure build asan fuzz bench format clean

all: build

bootstrap:
	@scripts/bootstrap.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

configure: bootstrap $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

run: build
	@scripts/run.sh $(BUILD)

test: build
	@scripts/test.sh $(BUILD)

# End to end under Xvfb: make run's menu, a function launched, the program ending.
e2e: build
	@tests/e2e/make-run.sh $(BUILD)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
asan:
	@scripts/bootstrap.sh
	$(MAKE) BUILD=build-asan BUILD_TYPE=Debug CMAKE_ARGS="-DQUARVEL_SANITIZE=ON -DQUARVEL_BENCH=OFF" test

# libFuzzer targets, run for a bounded time (FUZZ_SECONDS each).
fuzz:
	@scripts/bootstrap.sh
	@tests/fuzz/run.sh

bench: build
	@bench/run.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-fuzz
