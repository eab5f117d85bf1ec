# The two set-up commands of the README, over the CMake presets.
#   make run    install what is missing, build and start Vorbel
#   make test   install what is missing, build and run every test, in the
#               Release build and in the AddressSanitizer + UBSan build

.PHONY: run test deps

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
