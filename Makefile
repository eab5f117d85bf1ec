# The two set-up commands of the README, over the CMake presets.
#   make run    install what is missing, build and start Vorbel
#   make test   install what is missing, build and run every test, in the
#               Release build and in the AddressSanitizer + UBSan build
# and the ones that make it a desktop program or measure it:
#   make install   build Vorbel and install it below PREFIX (default
#                  /usr/local; DESTDIR is honoured)
#   make package   build the Debian package build/package/vorbel_*.deb

.PHONY: run test deps install package bench stress fuzz

PREFIX ?= /usr/local

deps:
	@./scripts/deps.sh

run: deps
	cmake --preset release
	cmake --build --preset release --target vorbel
	./build/release/app/vorbel

test: deps
	cmake --preset release
	cmake --build --preset release
	ctest --preset release
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

install: deps
	cmake --preset release
	cmake --build --preset release --target vorbel
	DESTDIR="$(DESTDIR)" cmake --install build/release --prefix "$(PREFIX)"

# The package comes from a build of its own without the tests, which the
# packaging step would otherwise build as well.
package: deps
	cmake --preset release -B build/package -DVORBEL_BUILD_TESTS=OFF
	cmake --build build/package --target vorbel
	cd build/package && cpack -G DEB

# The benchmarks, Release build: the table, three runs each, and Google
# Benchmark's JSON in build/bench.json.
bench: deps
	cmake --preset release -DVORBEL_BUILD_BENCHMARKS=ON
	cmake --build --preset release --target vorbel_bench
	QT_QPA_PLATFORM=offscreen ./build/release/bench/vorbel_bench --benchmark_repetitions=3 \
	--benchmark_report_aggregates_only=true --benchmark_out=build/bench.json --benchmark_out_format=json

# The stress driver on the real window: SEED (a number or "random"), ACTIONS,
# and BUILD=release or asan. A failure prints the seed and the shortest
# sequence of actions that reproduces it.
SEED ?= 1
ACTIONS ?= 100000
BUILD ?= release
stress: deps
	cmake --preset $(BUILD)
	cmake --build --preset $(BUILD) --target stress_driver
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	./build/$(BUILD)/tests/stress/stress_driver --seed $(SEED) --actions $(ACTIONS)

# The libFuzzer targets, over the model and the views and over the design
# file reader, built with clang in build/fuzz and each run for FUZZ_SECONDS
# from a copy of its seed corpus, so that the tree stays as it is; findings
# land in build/fuzz.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build/fuzz
	rm -rf build/fuzz/corpus && cp -r fuzz/corpus build/fuzz/corpus
	cd build/fuzz && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	./fuzz_views -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=./ corpus
	rm -rf build/fuzz/corpus_design && cp -r fuzz/corpus_design build/fuzz/corpus_design
	cd build/fuzz && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	./fuzz_design_file -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=./ \
	-dict=$(CURDIR)/fuzz/design_file.dict corpus_design
