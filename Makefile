# Tavrin's front door: installs what is missing from Debian, configures CMake once, forwards targets.
#   make            build everything into build/ (programs in build/bin/)
#   make demo       convert a sample file of the project's own with -v and print the report
#   make test       build and run every test, then the same tests under AddressSanitizer + UBSan
#   make bench      benchmarks on a large generated log
#   make fuzz       fuzz the whole conversion (FUZZ_SECONDS, default 300)
#   make test-windows     cross-build tavrin.exe and tavrin-gui.exe with mingw-w64, run the tests under wine
#   make package-windows  build/tavrin-<version>-win64.zip: tavrin.exe, tavrin-gui.exe, README, LICENSE
#   make clean      remove the build folders' outputs; make distclean removes the folders

BUILD_DIR    ?= build
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS  ?=

# Debian packages the build, the tests and the tools need.
DEB_PACKAGES := cmake g++ make pkg-config zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev \
                qt6-base-dev xvfb xauth xdotool imagemagick x11-utils fonts-ipafont-gothic \
                clang libclang-rt-14-dev nlohmann-json3-dev time \
                dpkg-dev desktop-file-utils xdg-utils git libxcb1-dev util-linux lintian \
                python3-mido python3-numpy midicsv fluidsynth timgm6mb-soundfont sox librsvg2-bin

.PHONY: all deps build demo test test-sanitize bench fuzz install package test-windows package-windows clean \
        distclean

all: build

# Idempotent: asks dpkg what is missing and installs only that.
deps:
	@missing=""; \
	for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing Debian packages:$$missing"; \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo=sudo; \
	  $$sudo apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j$(JOBS)

demo: build
	@mkdir -p $(BUILD_DIR)/demo
	@$(BUILD_DIR)/bin/tavrin-make-sample $(BUILD_DIR)/demo/sample.s98
	$(BUILD_DIR)/bin/tavrin -v -o - $(BUILD_DIR)/demo/sample.s98

SAN_DIR      ?= build-sanitize

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)
	$(MAKE) --no-print-directory test-sanitize

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer; any report fails the run.
test-sanitize: deps
	@[ -f $(SAN_DIR)/CMakeCache.txt ] || cmake -S . -B $(SAN_DIR) -DCMAKE_BUILD_TYPE=Debug \
	  -DTAVRIN_SANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build $(SAN_DIR) -j$(JOBS)
	cd $(SAN_DIR) && \
	  ASAN_OPTIONS=$${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1} \
	  UBSAN_OPTIONS=$${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1} \
	  ctest --output-on-failure -j$(JOBS)

bench: deps
	bench/run.sh

fuzz: deps
	fuzz/run.sh

install: build
	cmake --install $(BUILD_DIR)

package: build
	cd $(BUILD_DIR) && cpack -G DEB

test-windows:
	packaging/test-windows.sh

package-windows:
	packaging/test-windows.sh package

clean:
	-cmake --build $(BUILD_DIR) --target clean

distclean:
	rm -rf $(BUILD_DIR) build-*
