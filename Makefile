# Vemra: thin wrapper around CMake. `make run` and `make test` do all the set-up
# on a fresh Debian 12 machine, installing missing packages first.

PACKAGES := cmake g++ make pkg-config libgtest-dev googletest qt6-base-dev \
	libjpeg62-turbo-dev libpng-dev zlib1g-dev libtiff-dev libgif-dev \
	libavformat-dev libavcodec-dev libavutil-dev libswscale-dev \
	libarchive-dev libwebp-dev libheif-dev fonts-ipafont-gothic

# Only `make bench` needs these: the peers it measures against.
BENCH_PACKAGES := libjpeg-turbo-progs

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ARGS ?=
RELEASE_DIR := build
TEST_DIR := build-test

.PHONY: all deps build build-test run test bench format clean

all: build

# Installs only what is missing, so it is a quick no-op on a prepared machine.
deps:
	@missing=""; \
	for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		if [ "$$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
		$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
		$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE_DIR) -j $(JOBS)

build-test: deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DVEMRA_SANITIZE=ON
	cmake --build $(TEST_DIR) -j $(JOBS)

# Until the browser window exists, the main job identifies the sample pictures.
run: build
	@if [ -n "$(ARGS)" ]; then \
		$(RELEASE_DIR)/tools/cli/vemra-cli identify $(ARGS)/*; \
	else \
		$(RELEASE_DIR)/tools/cli/vemra-cli identify samples/*; \
	fi

test: build-test
	cd $(TEST_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: deps
	@missing=""; \
	for p in $(BENCH_PACKAGES); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		if [ "$$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
		$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q && \
		$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target vemra-jpeg-bench
	$(RELEASE_DIR)/bench/vemra-jpeg-bench $(ARGS)

format:
	find src tools tests include plugins bench fuzz -name '*.cpp' -o -name '*.h' 2>/dev/null | \
		xargs -r clang-format -i

clean:
	rm -rf $(RELEASE_DIR) $(TEST_DIR)
