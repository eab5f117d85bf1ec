#pragma once

#include <cstdint>

// An RGB colour as 0xRRGGBB.
using Rgb = std::uint32_t;

constexpr Rgb rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return (r << 16) | (g << 8) | b; }

constexpr Rgb BLACK = rgb(0, 0, 0);
constexpr Rgb WHITE = rgb(255, 255, 255);
constexpr Rgb GREY = rgb(128, 128, 128);          // frames, palette dividers, labels
constexpr Rgb ZERO_BLUE = rgb(0, 0, 255);
constexpr Rgb POLE_RED = rgb(255, 0, 0);
constexpr Rgb GRID_GREY = rgb(208, 208, 208);
constexpr Rgb MARKER_BLUE = rgb(128, 128, 240);   // cutoff marker
constexpr Rgb ROUNDED_GREY = rgb(160, 160, 160);  // the precision view: rounded roots and response
