# Quarvel for Linux: the two commands of the README, and a few helpers.
#   make run    builds what is missing and starts the program on a demo company
#               (DITTA=<data source> [UTENTE=<user>]: on a PostgreSQL company)
#   make test   installs what the tests need, builds, starts the services, runs every test
#   make install [PREFIX=/usr/local] [DESTDIR=]   the programs, the menu's desktop
#               entry and icon, the configuration examples
#   make deb    the Debian package $(BUILD)/quarvel_<version>_<arch>.deb of the programs

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
PREFIX     ?= /usr/local
DESTDIR    ?=
# The programs: what make run and make install build (the tests are left out).
PROGRAMS   := quarvel quarvel-menu quarvel-ditta

.PHONY: all run test e2e install deb bootstrap bootstrap-run configure programs build asan fuzz \
	bench format clean

all: build

# What building and running need; what only the tests need comes with make test.
bootstrap-run:
	@scripts/bootstrap.sh run

bootstrap:
	@scripts/bootstrap.sh test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

configure: bootstrap-run $(BUILD)/build.ninja

programs: configure
	cmake --build $(BUILD) --target $(PROGRAMS)

# Configured again: the tests that need a program bootstrap has just
# installed (xvfb-run, xdotool) join the build only when CMake finds it.
build: bootstrap configure
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD)

run: programs
	@DITTA="$(DITTA)" UTENTE="$(UTENTE)" scripts/run.sh $(BUILD)

install: programs
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# What make install PREFIX=/usr installs, as a package for apt-get install
# (CPack; the programs built here, their dependencies from dpkg-shlibdeps).
deb: programs
	cpack --config $(BUILD)/CPackConfig.cmake -B $(BUILD)

test: build
	@scripts/test.sh $(BUILD)

# End to end under Xvfb: make run's menu, a function launched, the program
# ending.  (The README's PostgreSQL recipe and make run DITTA= on the test
# server are the test ricetta_postgres of make test.)
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
