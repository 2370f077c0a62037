# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing (scripts/bootstrap.sh) and build first.

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc)

# A site file (data/site.example.ini): the build takes the gateway and the
# sensors from it instead of the built-in table, and `make package` carries
# it. It is passed on whether given or not, so that a build folder never
# keeps a site's table once SITE is left out.
SITE ?=

# The sanitizer and fuzz builds live in directories of their own.
SANITIZE_BUILD ?= build-asan
FUZZ_BUILD     ?= build-fuzz
FUZZ_CXX       ?= clang++-14
FUZZ_SECONDS   ?= 300

.PHONY: all bootstrap configure build test run bench screenshots clean test-sanitize fuzz-build fuzz install uninstall package

# `make install` honours PREFIX and DESTDIR; `make uninstall` removes what it
# installed, folders it created included (cmake/TrackedInstall.cmake).
PREFIX  ?= /usr/local
DESTDIR ?=

all: build

bootstrap:
	@bash scripts/bootstrap.sh

configure: bootstrap
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) "-DKESTRIN_SITE=$(SITE)" $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite again, built with gcc's AddressSanitizer and
# UndefinedBehaviorSanitizer (leaks included); CI runs it after `make test`.
test-sanitize:
	@$(MAKE) --no-print-directory test BUILD=$(SANITIZE_BUILD) SITE="$(SITE)" CMAKE_ARGS="$(CMAKE_ARGS) -DKESTRIN_SANITIZE=ON"

# libFuzzer targets (fuzz/), built with clang; `make fuzz` runs each for
# FUZZ_SECONDS, CI for a short while.
fuzz-build: bootstrap
	@cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	@bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

run: build
	@bash scripts/run.sh $(BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

# docs/main-window.png and docs/logview.png, from the real programs under Xvfb.
screenshots: build
	@bash scripts/screenshots.sh $(BUILD)

install: build
	@DESTDIR="$(DESTDIR)" cmake -DMODE=install -DBUILD_DIR=$(BUILD) -DPREFIX=$(PREFIX) -P cmake/TrackedInstall.cmake

uninstall:
	@cmake -DMODE=uninstall -DBUILD_DIR=$(BUILD) -P cmake/TrackedInstall.cmake

# A Debian package (CPack) of what `make install` installs, in $(BUILD)/.
package: build
	@cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/*.deb

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
