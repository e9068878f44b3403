# Thin front door; CMake presets do the real work.
.PHONY: all deps build test release bench fuzz fuzz-long demo format clean

all: build

deps:
	bash scripts/install-deps.sh

build: deps
	cmake --preset dev
	cmake --build --preset dev

test: build
	ctest --preset dev

release: deps
	cmake --preset release
	cmake --build --preset release

bench: release
	@for b in build/release/bin/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_counters_tabular=true; done

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz

# Every fuzz target for FUZZ_SECONDS (default 1800) from its corpus in fuzz/corpus, one at a time.
fuzz-long: fuzz
	bash scripts/fuzz-long.sh

demo: deps
	bash demo/run-demo.sh

format:
	find host platform plugin tools tests bench fuzz -name '*.h' -o -name '*.cpp' 2>/dev/null | xargs -r clang-format -i

clean:
	rm -rf build
