#include "ebcdic/stream_codecs.h"

#include "platform/fold.h"

#include <algorithm>
#include <climits>

namespace kwuni::stream::composer {
namespace {

// The fold services take int lengths: long text is taken a window at a time, each cut at a
// segment start.
constexpr std::size_t window = std::size_t{1} << 24;

// The composed form of one segment. Each unit it keeps stands where its source unit stood and
// reaches to the next kept one, so that a composite covers the marks it took in; the marks that
// stay are the later ones of their kind, so they are matched from the end. When the marks had to
// be reordered, every unit stands for the whole segment.
bool foldSegment(const Units& segment, const std::function<bool(const Units&)>& encode) {
  const int length = static_cast<int>(segment.size);
  std::u16string folded(segment.size, u'\0');
  const int n = sys::FoldStringW(sys::MAP_PRECOMPOSED, segment.data, length, folded.data(), length);
  if (n <= 0) return encode(segment);
  folded.resize(static_cast<std::size_t>(n));
  std::vector<std::size_t> source(folded.size(), 0);
  std::vector<bool> taken(segment.size, false);
  bool matched = true;
  for (std::size_t j = folded.size(); j-- > 0;) {
    std::size_t k = segment.size;
    while (k-- > 0 && (taken[k] || segment.data[k] != folded[j])) {
    }
    if (k < segment.size) {
      taken[k] = true;
      source[j] = k;
    } else {
      matched = matched && j == 0;  // only the first unit may be a composite
    }
  }
  const bool inOrder = matched && std::adjacent_find(source.begin(), source.end(), std::greater_equal<>()) == source.end();
  std::vector<std::uint64_t> offsets(folded.size()), ends(folded.size());
  for (std::size_t j = 0; j < folded.size(); ++j) {
    offsets[j] = inOrder ? segment.at(source[j]) : segment.at(0);
    ends[j] = inOrder && j + 1 < folded.size() ? segment.at(source[j + 1]) : segment.end;
  }
  return encode(Units{folded.data(), folded.size(), offsets.data(), 0, segment.end, ends.data()});
}

}  // namespace

std::size_t ready(const char16_t* text, std::size_t size, bool last) {
  if (last || size == 0) return size;
  const std::size_t from = size > window ? size - window : 0;
  return from + static_cast<std::size_t>(sys::FoldSegmentStart(text + from, static_cast<int>(size - from)));
}

bool run(const Units& text, const std::function<bool(const Units&)>& encode) {
  std::size_t pos = 0;
  while (pos < text.size) {
    std::size_t span = std::min(text.size - pos, window);
    const bool whole = pos + span == text.size;
    std::size_t stable = static_cast<std::size_t>(sys::FoldUnchangedLength(text.data + pos, static_cast<int>(span)));
    if (stable == span && !whole) {
      stable = static_cast<std::size_t>(sys::FoldSegmentStart(text.data + pos, static_cast<int>(span)));
      if (stable == 0) stable = span;  // one segment longer than the window: taken as it is
    }
    stable += pos;
    if (stable > pos && !encode(text.part(pos, stable))) return false;
    if (stable == text.size || (stable == pos + span && !whole)) {
      pos = stable;
      continue;
    }
    const std::size_t end = static_cast<std::size_t>(
        sys::FoldSegmentEnd(text.data + stable, 0, static_cast<int>(std::min(text.size - stable, window))));
    if (!foldSegment(text.part(stable, stable + end), encode)) return false;
    pos = stable + end;
  }
  return true;
}

}  // namespace kwuni::stream::composer
