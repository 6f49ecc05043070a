#include "platform/HttpBody.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tumbla {

void HttpBody::append(std::string_view text) {
  if (text.empty()) return;
  if (segments_.empty() || segments_.back().shared) segments_.emplace_back();
  segments_.back().text.append(text);
  size_ += text.size();
}

void HttpBody::appendShared(Piece piece) {
  if (!piece || piece->empty()) return;
  size_ += piece->size();
  segments_.push_back(Segment{{}, std::move(piece)});
}

std::size_t HttpBody::read(std::size_t offset, char* out, std::size_t length) const {
  std::size_t copied = 0;
  std::size_t segmentStart = 0;
  for (const Segment& segment : segments_) {
    std::string_view bytes = segment.view();
    std::size_t segmentEnd = segmentStart + bytes.size();
    if (offset < segmentEnd) {
      std::size_t from = offset - segmentStart;
      std::size_t n = std::min(bytes.size() - from, length - copied);
      std::memcpy(out + copied, bytes.data() + from, n);
      copied += n;
      offset += n;
      if (copied == length) break;
    }
    segmentStart = segmentEnd;
  }
  return copied;
}

std::string HttpBody::bytes() const {
  std::string all;
  all.reserve(size_);
  for (const Segment& segment : segments_) all.append(segment.view());
  return all;
}

}  // namespace tumbla
