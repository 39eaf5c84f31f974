# Entry points: make demo, make test. See README.md.
SAN ?=
BUILD_DIR := build$(if $(SAN),-$(SAN),)
JOBS ?= 2
FUZZ_SECONDS ?= 60

PREFIX ?= /usr/local

.PHONY: deps build test unit e2e shim demo demo-notes install bench fuzz format clean

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELO_SANITIZE=$(SAN)

build: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps build
	scripts/run-tests $(BUILD_DIR)

demo: deps build
	scripts/run-demo $(BUILD_DIR)

demo-notes: deps build
	scripts/run-notes $(BUILD_DIR)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

bench: deps build
	$(BUILD_DIR)/wire_bench
	$(BUILD_DIR)/eq_bench
	@run() { if [ -n "$$DISPLAY" ]; then "$$@"; else tests/desktop/run -- "$$@"; fi; }; \
	for b in bridge_bench loop_bench media_bench; do run $(BUILD_DIR)/$$b || exit 1; done

fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELO_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELO_SANITIZE=address
	cmake --build build-fuzz -j $(JOBS) --target wire_fuzz
	mkdir -p build-fuzz/corpus
	build-fuzz/wire_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 build-fuzz/corpus fuzz/seeds

format:
	clang-format -i $$(git ls-files '*.cc' '*.h')

clean:
	rm -rf build build-* 
