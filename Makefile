# make run   installs what the two programs need, builds only them and starts Quorvale
# make test  installs the test and benchmark tools too, builds and runs every test
# make sanitize  the tests again under AddressSanitizer and UBSan
# make tsan      the core and command-line tests under ThreadSanitizer
# make bench     the benchmarks (see README)
# make package   the Debian package quorvale_VERSION_ARCH.deb, checked (see README)
# make screenshots  the pictures in docs/: the windows and a crop report
# make fuzz      builds the libFuzzer targets with clang, runs each FUZZ_SECONDS

BUILD      ?= build
RUN_BUILD  ?= build-run
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
PACKAGE_BUILD ?= build-package
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)

# What building and running quorvale and quorvale-batch needs: `make run`.
RUN_PACKAGES = cmake g++ make pkg-config \
               libjpeg62-turbo-dev libpng-dev libheif-dev liblcms2-dev \
               qt6-base-dev qt6-base-dev-tools qt6-translations-l10n \
               fonts-ipafont-gothic fonts-ipafont-mincho \
               xdg-utils gettext

# The tests, benchmarks and fuzzers add these (locales: the sources the
# language test makes ja_JP.UTF-8 from).
TEST_PACKAGES = libjpeg-turbo-progs \
                libgtest-dev libgmock-dev libbenchmark-dev libimage-exiftool-perl \
                clang libclang-rt-14-dev locales libheif-examples bc

PACKAGES = $(RUN_PACKAGES) $(TEST_PACKAGES)

# Only `make package` needs these: dpkg-shlibdeps (dpkg-dev) and file for
# the computed Depends, and the checkers of the package and its metadata.
PACKAGE_TOOLS = dpkg-dev file lintian appstream desktop-file-utils

# Only `make screenshots` needs these: the browser that draws the report
# page, and the reduction of the pictures to 256 colours.
SCREENSHOT_TOOLS = chromium pngquant

SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Installs those of the Debian packages $(1) that are missing.
define install_missing
@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi
endef

.PHONY: all deps run-deps package-deps configure build test sanitize tsan fuzz run bench package screenshots clean format

all: build

deps:
	$(call install_missing,$(PACKAGES))

run-deps:
	$(call install_missing,$(RUN_PACKAGES))

package-deps: deps
	$(call install_missing,$(PACKAGE_TOOLS))

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The tests expect English words from quorvale-batch unless they choose a
# locale themselves.
test: build
	cd $(BUILD) && LANGUAGE= LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j$(JOBS)

sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUORVALE_SANITIZE=ON \
	  -DQUORVALE_BUILD_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && LANGUAGE= LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS)

# The window tests stay out: Qt's own threads are not built for the sanitizer.
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUORVALE_SANITIZE_THREAD=ON \
	  -DQUORVALE_BUILD_BENCHMARKS=OFF -DQUORVALE_BUILD_APP=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS)
	cd $(TSAN_BUILD) && LANGUAGE= LC_ALL=C.UTF-8 TSAN_OPTIONS=halt_on_error=1 \
	  ctest --output-on-failure -j$(JOBS)

# clang with libFuzzer in a build folder of its own; the seed corpus is made
# afresh, the corpus each target grows is kept in $(FUZZ_BUILD)/fuzz/corpus.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DQUORVALE_BUILD_FUZZERS=ON -DQUORVALE_BUILD_TESTS=OFF -DQUORVALE_BUILD_BENCHMARKS=OFF \
	  -DQUORVALE_BUILD_APP=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# A build folder of its own without tests or benchmarks, and only the two
# programs built in it.
run: run-deps
	cmake -S . -B $(RUN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUORVALE_BUILD_TESTS=OFF -DQUORVALE_BUILD_BENCHMARKS=OFF
	cmake --build $(RUN_BUILD) -j$(JOBS) --target quorvale quorvale-batch
	$(RUN_BUILD)/app/quorvale

bench: build
	$(BUILD)/bench/imaging_bench
	bench/folder_bench.sh $(BUILD)
	BATCH_JOBS=2 bench/folder_bench.sh $(BUILD)
	bench/window_bench.sh $(BUILD)

# A build of its own with Debian's hardening flags and no tests, packed by
# CPack, then the metadata and the package checked. Lintian's warnings are
# shown; an error fails the target.
screenshots: run-deps
	$(call install_missing,$(SCREENSHOT_TOOLS))
	cmake -S . -B $(RUN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUORVALE_BUILD_TESTS=OFF -DQUORVALE_BUILD_BENCHMARKS=OFF
	cmake --build $(RUN_BUILD) -j$(JOBS) --target screenshots

package: package-deps
	DEB_BUILD_MAINT_OPTIONS=hardening=+all; export DEB_BUILD_MAINT_OPTIONS; \
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUORVALE_BUILD_TESTS=OFF -DQUORVALE_BUILD_BENCHMARKS=OFF \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build $(PACKAGE_BUILD) -j$(JOBS)
	rm -f $(PACKAGE_BUILD)/quorvale_*.deb
	cd $(PACKAGE_BUILD) && cpack -G DEB
	appstreamcli validate --no-net resources/example.tessaly.quorvale.metainfo.xml
	desktop-file-validate resources/quorvale.desktop
	lintian --fail-on error $(PACKAGE_BUILD)/quorvale_*.deb
	@dpkg-deb --field $(PACKAGE_BUILD)/quorvale_*.deb Depends | sed 's/^/Depends: /'
	@ls $(PACKAGE_BUILD)/quorvale_*.deb

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(RUN_BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(PACKAGE_BUILD) $(FUZZ_BUILD)
