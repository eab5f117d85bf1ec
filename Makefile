# The two set-up commands of the README, over the CMake presets.
#   make run    install what building and running need, build and start Vorbel
#   make test   install what the tests need as well, build and run every test,
#               in the Release build and in the AddressSanitizer + UBSan build
# and the ones that make it a desktop program or measure it:
#   make install   build Vorbel and install it below PREFIX (default
#                  /usr/local; DESTDIR is honoured)
#   make package   build the Debian package build/package/vorbel_*.deb
# Each installs, through scripts/deps.sh, only the packages its purpose needs.

.PHONY: run test install package bench stress fuzz

PREFIX ?= /usr/local

run:
	@./scripts/deps.sh run
	cmake --preset run
	cmake --build --preset run --target vorbel
	./build/run/app/vorbel

# The tests also check what the install lays down and the Debian package.
test:
	@./scripts/deps.sh test package
	cmake --preset release
	cmake --build --preset release
	ctest --preset release
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

install:
	@./scripts/deps.sh run
	cmake --preset run
	cmake --build --preset run --target vorbel
	DESTDIR="$(DESTDIR)" cmake --install build/run --prefix "$(PREFIX)"

package:
	@./scripts/deps.sh package
	cmake --preset run
	cmake --build --preset run --target vorbel
	cd build/run && cpack -G DEB -B ../package

# The benchmarks, Release build: the table, three runs each, and Google
# Benchmark's JSON in build/bench.json.
bench:
	@./scripts/deps.sh bench
	cmake --preset bench
	cmake --build --preset bench --target vorbel_bench
	QT_QPA_PLATFORM=offscreen ./build/bench/bench/vorbel_bench --benchmark_repetitions=3 \
	--benchmark_report_aggregates_only=true --benchmark_out=build/bench.json --benchmark_out_format=json

# The stress driver on the real window: SEED (a number or "random"), ACTIONS,
# and BUILD=release or asan. A failure prints the seed and the shortest
# sequence of actions that reproduces it.
SEED ?= 1
ACTIONS ?= 100000
BUILD ?= release
stress:
	@./scripts/deps.sh test
	cmake --preset $(BUILD)
	cmake --build --preset $(BUILD) --target stress_driver
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	./build/$(BUILD)/tests/stress/stress_driver --seed $(SEED) --actions $(ACTIONS)

# The libFuzzer targets, over the model and the views, over the design file
# reader and over the coefficient importer, built with clang in build/fuzz
# and each run for FUZZ_SECONDS from a copy of its seed corpus, so that the
# tree stays as it is; findings land in build/fuzz.
FUZZ_SECONDS ?= 60
fuzz:
	@./scripts/deps.sh fuzz
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
	rm -rf build/fuzz/corpus_import && cp -r fuzz/corpus_import build/fuzz/corpus_import
	cd build/fuzz && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	./fuzz_coefficient_import -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=./ \
	-dict=$(CURDIR)/fuzz/coefficient_import.dict corpus_import
