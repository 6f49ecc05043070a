#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace tumbla {

// Seeds the C library's rand from the system's entropy, so that a shuffle is not the same
// in every process.
void seedShuffle();

// A comparison that ignores its operands: descending (1) or ascending (-1), about equally
// often, never "the same". Draws one number from the C library's rand.
int shuffleCompare();

// Sorts `items` with a comparison that may answer differently for the same pair on every
// ask. A bottom-up merge sort: it compares a bounded number of times, finishes, and only
// ever moves the list's own elements, so the result is always a permutation.
template <class T, class Compare>
void sortWithUnreliableComparison(std::vector<T>& items, Compare compare) {
  std::vector<T> buffer(items.size());
  for (std::size_t width = 1; width < items.size(); width *= 2) {
    for (std::size_t left = 0; left < items.size(); left += 2 * width) {
      std::size_t middle = std::min(left + width, items.size());
      std::size_t right = std::min(left + 2 * width, items.size());
      std::size_t a = left, b = middle, out = left;
      while (a < middle && b < right) {
        // Descending means the left element goes after the right one.
        buffer[out++] =
            compare(items[a], items[b]) > 0 ? std::move(items[b++]) : std::move(items[a++]);
      }
      while (a < middle) buffer[out++] = std::move(items[a++]);
      while (b < right) buffer[out++] = std::move(items[b++]);
    }
    items.swap(buffer);
  }
}

// The list's own elements put into random order.
template <class T>
void shuffle(std::vector<T>& items) {
  sortWithUnreliableComparison(items, [](const T&, const T&) { return shuffleCompare(); });
}

// A new list with the same elements in random order; `items` is not changed.
template <class T>
std::vector<T> shuffledArray(const std::vector<T>& items) {
  std::vector<T> copy = items;
  shuffle(copy);
  return copy;
}

}  // namespace tumbla
