# Thin front door; CMake presets do the real work.
.PHONY: all deps build test release bench fuzz demo format clean

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

demo: deps
	bash demo/run-demo.sh

format:
	find host platform plugin tools tests bench fuzz -name '*.h' -o -name '*.cpp' 2>/dev/null | xargs -r clang-format -i

clean:
	rm -rf build
