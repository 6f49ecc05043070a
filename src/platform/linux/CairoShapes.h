#pragma once

#include <cairo.h>

namespace tumbla {

// Adds a rectangle whose corners are rounded with `radius` (at most half its shorter
// side; 0 for square corners) to the current path as a closed sub-path.
void addRoundedRectangle(cairo_t* cr, double x, double y, double width, double height,
                         double radius);

}  // namespace tumbla
