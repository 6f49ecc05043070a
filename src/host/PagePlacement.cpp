#include "host/PagePlacement.h"

namespace tumbla {

namespace {

double placeOnAxis(double start, double length, double designedSpan, double span) {
  double before = start;
  double after = designedSpan - start - length;
  if (before < after) return start;
  if (after < before) return span - after - length;
  return (span - length) / 2;
}

}  // namespace

Rect placeOnPage(const Rect& designed, const Size& designedPage, const Size& page) {
  return {placeOnAxis(designed.x, designed.width, designedPage.width, page.width),
          placeOnAxis(designed.y, designed.height, designedPage.height, page.height),
          designed.width, designed.height};
}

}  // namespace tumbla
