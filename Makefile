# Vemra: thin wrapper around CMake. `make run` and `make test` do all the set-up
# on a fresh Debian 12 machine, installing missing packages first.

PACKAGES := cmake g++ make pkg-config ccache libgtest-dev googletest qt6-base-dev \
	libjpeg62-turbo-dev libpng-dev zlib1g-dev libtiff-dev libgif-dev \
	libavformat-dev libavcodec-dev libavutil-dev libswscale-dev \
	libarchive-dev libwebp-dev libheif-dev fonts-ipafont-gothic qt6-translations-l10n poppler-utils \
	desktop-file-utils appstream libexiv2-dev liblcms2-dev libicu-dev libimage-exiftool-perl liblcms2-utils libxcb1-dev

# What `make package` needs besides the build: dpkg-shlibdeps for CPack,
# and what tools/package/check-package runs (man, lintian).
PACKAGE_PACKAGES := dpkg-dev file man-db lintian

# Peers the benchmarks compare against; not needed by the build or tests.
BENCH_SCALE_PACKAGES := python3-pil libvips-tools
BENCH_REDUCE_PACKAGES := imagemagick
BENCH_JPEG_PACKAGES := libjpeg-turbo-progs
BENCH_THUMBS_PACKAGES := libvips-tools imagemagick libjpeg-turbo-progs
BENCH_PRINT_PACKAGES := img2pdf imagemagick

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ARGS ?=
# Where `make install` puts the program (DESTDIR is honoured as well).
PREFIX ?= /usr/local
RELEASE_DIR := build
TEST_DIR := build-test
# ThreadSanitizer needs a tree of its own (it cannot share one with ASan).
TSAN_DIR := build-tsan
# The view suites that run thumbnails and decodes on worker threads.
TSAN_GRID_TESTS := ThumbnailGrid*:GridMenu*:Viewer*
# The benchmarks' own Release tree, so that building them leaves build/'s
# settings as `make build` made them.
BENCH_DIR := build-bench
# The package's own Release tree, configured for /usr with Debian's flags.
PACKAGE_DIR := build-package

.PHONY: all deps build build-test build-bench run test tsan install package bench bench-deps bench-jpeg bench-scale bench-reduce bench-scan bench-thumbs bench-grid bench-browse bench-list bench-viewer bench-copy bench-catalog bench-convert bench-save bench-print bench-folder bench-plugins bench-colour fuzz fuzz-build format clean

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
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DVEMRA_BUILD_TESTS=OFF -DVEMRA_BUILD_BENCH=OFF \
		-DVEMRA_WERROR=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS)

# Warnings are errors here: the tests and CI run on the compiler we chose.
build-test: deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DVEMRA_SANITIZE=ON -DVEMRA_WERROR=ON
	cmake --build $(TEST_DIR) -j $(JOBS)

# Opens the browser window on samples/ (or ARGS). Without a display (neither
# DISPLAY nor WAYLAND_DISPLAY set) there is no window to show, so the batch
# tool identifies the same pictures instead.
run: build
	@folder="$(if $(ARGS),$(ARGS),samples)"; \
	if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
		$(RELEASE_DIR)/vemra "$$folder"; \
	else \
		echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): identifying the pictures of $$folder with vemra-cli instead."; \
		$(RELEASE_DIR)/tools/cli/vemra-cli identify "$$folder"/*; \
	fi

test: build-test
	cd $(TEST_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Release build into PREFIX/bin, PREFIX/lib/vemra/plugins, PREFIX/share.
install: build
	cmake --install $(RELEASE_DIR) --prefix $(PREFIX)

# A .deb for Debian 12 in build-package/, built with Debian's hardening
# flags, then unpacked and run from a temporary folder and checked by lintian.
package: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGE_PACKAGES)"
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DVEMRA_BUILD_TESTS=OFF -DVEMRA_BUILD_BENCH=OFF -DVEMRA_WERROR=OFF -DVEMRA_DEBIAN_PACKAGE=ON \
		-DCMAKE_C_FLAGS="$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
		-DCMAKE_CXX_FLAGS="$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)" \
		-DCMAKE_MODULE_LINKER_FLAGS="$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)"
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && rm -f vemra_*.deb && cpack -G DEB
	tools/package/check-package $(PACKAGE_DIR)/vemra_*.deb

# The document's, the grid's and the viewers' tests under ThreadSanitizer:
# the thumbnail workers, the viewers' look-ahead, the decoder registry and the
# results handed back. Only the two test programs are built (CI runs this).
tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DVEMRA_TSAN=ON -DVEMRA_WERROR=ON
	cmake --build $(TSAN_DIR) -j $(JOBS) --target document_tests views_tests
	cd $(TSAN_DIR) && export QT_QPA_PLATFORM=offscreen XDG_CACHE_HOME=$$PWD/tests/xdg-cache \
		TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" && \
		./tests/document/document_tests && \
		./tests/views/views_tests --gtest_filter='$(TSAN_GRID_TESTS)'

# Every benchmark, each beside the tools it is compared with.
bench: bench-jpeg bench-scale bench-reduce bench-scan bench-thumbs bench-grid bench-browse bench-list bench-viewer bench-copy bench-catalog bench-convert bench-save bench-print bench-folder bench-plugins bench-colour

# Every peer the benchmarks compare against.
bench-deps: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_SCALE_PACKAGES) $(BENCH_REDUCE_PACKAGES) $(BENCH_JPEG_PACKAGES) $(BENCH_THUMBS_PACKAGES) $(BENCH_PRINT_PACKAGES)"

build-bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DVEMRA_BUILD_TESTS=OFF -DVEMRA_BUILD_BENCH=ON \
		-DVEMRA_WERROR=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)

# The built-in JPEG decoder at 1/8 scale beside djpeg -scale 1/8 on the same file.
bench-jpeg: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_JPEG_PACKAGES)"
	$(BENCH_DIR)/bench/vemra-jpeg-bench $(ARGS)

# Times every scaling mode on a 4000 x 3000 picture against Pillow and libvips.
bench-scale: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_SCALE_PACKAGES)"
	bench/run_scale_bench.sh $(BENCH_DIR)/bench/scale_bench

# Reduces a 4000 x 3000 picture to 256 colours beside ImageMagick.
bench-reduce: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_REDUCE_PACKAGES)"
	bench/run_reduce_bench.sh $(BENCH_DIR)

# Scans a folder of 20,000 files without decoding beside find on the same folder.
bench-scan: build-bench
	bench/run_scan_bench.sh $(BENCH_DIR)

# Copying 200 files of 2 MiB: vemra-cli copy beside cp, cp && sync, rsync.
bench-copy: build-bench
	bench/run_copy_bench.sh $(BENCH_DIR)

# Thumbnails of 60 camera-size JPEG files into 110 x 110 cells beside
# vipsthumbnail, ImageMagick and djpeg -scale 1/8, then reopening from the cache.
bench-thumbs: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_THUMBS_PACKAGES)"
	bench/run_thumbs_bench.sh $(BENCH_DIR)

# An HTML catalog with JPEG thumbnails of 60 camera-size JPEG files beside
# vipsthumbnail and ImageMagick making the same thumbnails.
bench-catalog: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_THUMBS_PACKAGES)"
	bench/run_catalog_bench.sh $(BENCH_DIR)

# Converting 60 camera-size JPEG files to 1000 x 750 JPEG, one at a time and
# two at a time, beside vipsthumbnail and ImageMagick's convert -resize.
bench-convert: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_THUMBS_PACKAGES)"
	bench/run_convert_bench.sh $(BENCH_DIR)

# Saving 60 camera-size JPEG files in another format through the browser's
# path (PNG, and JPEG fitted to 1000 x 750) on one and two worker threads,
# beside vips and ImageMagick's convert.
bench-save: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_THUMBS_PACKAGES)"
	bench/run_save_bench.sh $(BENCH_DIR)

# Printing 20 camera-size JPEG files into a PDF (one and four a page) and
# making a wallpaper of one, beside ImageMagick.
bench-print: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_PRINT_PACKAGES)"
	bench/run_print_bench.sh $(BENCH_DIR)

# The thumbnail grid: making every thumbnail, full repaints and paging.
bench-grid: build-bench
	QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bench/grid-bench $(ARGS)

# The details list on 100,000 files: rows, sorting by name and date, screens;
# beside sort -f and sort -n on the same names and times.
bench-list: build-bench
	QT_QPA_PLATFORM=offscreen bench/run_list_bench.sh $(BENCH_DIR) $(ARGS)

# Browsing through the whole program: the first screen of 2000 camera-size
# JPEG files with and without the cache beside djpeg -scale 1/8, key delays
# during the background stage, and the memory of 10,000 entries.
bench-browse: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_JPEG_PACKAGES)"
	bench/run_browse_bench.sh $(BENCH_DIR) $(ARGS)

# Stepping through 12-megapixel JPEG files in the viewer, cold and with the
# look-ahead, beside djpeg decoding the same files.
bench-viewer: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_JPEG_PACKAGES)"
	bench/run_viewer_bench.sh $(BENCH_DIR) $(ARGS)

# Colour management: the viewer's conversion of a 12-megapixel Adobe RGB
# picture and thumbnails with and without it, beside vips and ImageMagick.
bench-colour: build-bench
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_THUMBS_PACKAGES)"
	bench/run_colour_bench.sh $(BENCH_DIR)

# Expanding a folder of 10,000 sub-folders beside QFileSystemModel and find;
# cp of 1,000 files into the monitored folder: how often it is read.
bench-folder: build-bench
	QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bench/folder-bench $(ARGS)

# Plug-ins in their host process against plug-ins in the program: 12-megapixel
# WebP and HEIF decodes through the plug-ins, identifying 2,000 files.
bench-plugins: build-bench
	QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bench/plugin-host-bench $(BENCH_DIR)/plugins $(BENCH_DIR)/vemra-spi-host

# libFuzzer targets (clang): builds every fuzz_<reader>, makes the seed
# corpora and runs each target for FUZZ_SECONDS.
FUZZ_DIR := build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_PACKAGES := clang libclang-rt-14-dev

fuzz-build: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(FUZZ_PACKAGES)"
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
		-DCMAKE_CXX_COMPILER=clang++ -DVEMRA_FUZZ=ON -DVEMRA_BUILD_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers

fuzz: fuzz-build
	fuzz/run_fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

format:
	find src tools tests include plugins bench fuzz -name '*.cpp' -o -name '*.h' 2>/dev/null | \
		xargs -r clang-format -i

clean:
	rm -rf $(RELEASE_DIR) $(TEST_DIR) $(BENCH_DIR) $(FUZZ_DIR)
