// Inputs of the benchmarks, as input file text.
#pragma once

#include <string>

namespace aerial_bench {

// The bundled two-rectangle example.
std::string exampleInput();

// The worst case: 1000 rectangles with arbitrary edges and complex transmissions, and a
// pupil that covers nearly the whole 128 x 128 grid, with defocus and every aberration term.
std::string thousandRectangleInput();

// A realistic many-rectangle mask: 1000 contact holes on a layout grid, whose edge pairs
// repeat from hole to hole.
std::string contactArrayInput();

} // namespace aerial_bench
