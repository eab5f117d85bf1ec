# The warnings the project's own code is held to, as one interface target
# that every target of ours links; code from elsewhere never sees them.
# VORBEL_WARNINGS_AS_ERRORS (on in every preset) makes each one fatal; a plain
# build elsewhere, with a newer compiler that warns about more, still builds.
option(VORBEL_WARNINGS_AS_ERRORS "Treat the project's warnings as errors" OFF)

add_library(vorbel_warnings INTERFACE)
target_compile_options(vorbel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast -Wnon-virtual-dtor
    -Wcast-qual -Wformat=2 -Wundef
    $<$<BOOL:${VORBEL_WARNINGS_AS_ERRORS}>:-Werror>)
