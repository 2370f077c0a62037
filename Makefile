# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing (scripts/bootstrap.sh) and build first.

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc)

.PHONY: all bootstrap configure build test run bench clean

all: build

bootstrap:
	@bash scripts/bootstrap.sh

configure: bootstrap
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
