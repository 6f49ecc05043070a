#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tumbla {

// A request body held in memory as a row of pieces sent one after another. A large piece
// (an image) is shared rather than copied, so building a body never duplicates it; the
// connection reads the pieces in place.
class HttpBody {
 public:
  using Piece = std::shared_ptr<const std::string>;

  // Appends a copy of `text`, merged into the last piece when that one is text too.
  void append(std::string_view text);
  // Appends a shared piece without copying it.
  void appendShared(Piece piece);

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Copies up to `length` bytes from `offset` into `out`; answers how many were copied.
  std::size_t read(std::size_t offset, char* out, std::size_t length) const;
  // The whole body in one string (tests, small bodies).
  std::string bytes() const;

 private:
  // Either text of the body's own or a shared piece.
  struct Segment {
    std::string text;
    Piece shared;
    std::string_view view() const { return shared ? std::string_view(*shared) : text; }
  };

  std::vector<Segment> segments_;
  std::size_t size_ = 0;
};

}  // namespace tumbla
