#pragma once

#include "platform/View.h"

namespace tumbla {

// Where a native control drawn for a page of one size goes on a page of another size. On
// each axis it keeps its distance to the edge it lies nearer to (the camera near the right
// edge stays near the right edge of a wider page); a control as near to both edges stays
// centred. Its size does not change.
Rect placeOnPage(const Rect& designed, const Size& designedPage, const Size& page);

}  // namespace tumbla
