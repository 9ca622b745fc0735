# make run   installs what is missing, builds and starts Quorvale
# make test  installs what is missing, builds and runs every test
# make sanitize  the tests again under AddressSanitizer and UBSan
# make tsan      the core and command-line tests under ThreadSanitizer
# make bench     the benchmarks (see README)

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)

PACKAGES = cmake g++ make pkg-config \
           libjpeg62-turbo-dev libjpeg-turbo-progs \
           libgtest-dev libgmock-dev libbenchmark-dev \
           qt6-base-dev qt6-base-dev-tools qt6-translations-l10n \
           fonts-ipafont-gothic fonts-ipafont-mincho \
           xdg-utils

SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test sanitize tsan run bench clean format

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUORVALE_SANITIZE=ON \
	  -DQUORVALE_BUILD_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS)

# The window tests stay out: Qt's own threads are not built for the sanitizer.
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUORVALE_SANITIZE_THREAD=ON \
	  -DQUORVALE_BUILD_BENCHMARKS=OFF -DQUORVALE_BUILD_APP=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j$(JOBS)

run: build
	$(BUILD)/app/quorvale

bench: build
	$(BUILD)/bench/imaging_bench
	bench/folder_bench.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
