# The two set-up commands of the README, over the CMake presets.
#   make run    install what is missing, build and start Vorbel
#   make test   install what is missing, build and run every test, in the
#               Release build and in the AddressSanitizer + UBSan build

.PHONY: run test deps release asan

deps:
	@./scripts/deps.sh

release: deps
	cmake --preset release
	cmake --build --preset release

asan: deps
	cmake --preset asan
	cmake --build --preset asan

run: release
	@echo "Vorbel has no application to run yet: only the filter model is built."

test: release asan
	ctest --preset release
	ctest --preset asan
