# The two set-up commands of the README, over the CMake presets.
#   make run    install what is missing, build and start Vorbel
#   make test   install what is missing, build and run every test, in the
#               Release build and in the AddressSanitizer + UBSan build
# and the ones that make it a desktop program or measure it:
#   make install   build Vorbel and install it below PREFIX (default
#                  /usr/local; DESTDIR is honoured)
#   make package   build the Debian package build/package/vorbel_*.deb

.PHONY: run test deps install package bench

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
