#include "QIREdsEffectivityTool.h"

#include "QIREdsGuard.h"
#include "QIRError.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {
const int kOpenEnd = 100000000;

struct Range {
  int start;
  int end;
};

bool operator==(const Range& iLeft, const Range& iRight)
{
  return iLeft.start == iRight.start && iLeft.end == iRight.end;
}

// A pair is usable only when both lists hold the same, non-zero number of entries.
bool IsValidPair(const QIRRawCollint& iStarts, const QIRRawCollint& iEnds)
{
  return iStarts.Size() > 0 && iStarts.Size() == iEnds.Size();
}

// Copies a checked pair into plain ranges, so the work below cannot hit a bad index.
std::vector<Range> ReadRanges(const QIRRawCollint& iStarts, const QIRRawCollint& iEnds)
{
  std::vector<Range> ranges;
  ranges.reserve(static_cast<std::size_t>(iStarts.Size()));
  for (int i = 1; i <= iStarts.Size(); ++i) ranges.push_back({iStarts[i], iEnds[i]});
  return ranges;
}

// Everything is read before the outputs are cleared, so they may be the caller's inputs.
void WriteRanges(const std::vector<Range>& iRanges, QIRRawCollint& oStarts, QIRRawCollint& oEnds)
{
  QIRRawCollint starts, ends;
  for (const Range& range : iRanges) {
    starts.Append(range.start);
    ends.Append(range.end);
  }
  oStarts = std::move(starts);
  oEnds = std::move(ends);
}

bool Contains(const Range& iRange, int iUnit)
{
  return iRange.start <= iUnit && iUnit <= iRange.end;
}

// Sorts by one bound in linear time, by radix over the bits in which the bounds differ: lists
// of a million ranges would otherwise pay a comparison sort's logarithm. A list already in
// order, as an ascending list often is, is left as it is.
template <int Range::*Key>
void SortBy(std::vector<Range>& ioRanges)
{
  const auto before = [](const Range& iLeft, const Range& iRight) {
    return iLeft.*Key < iRight.*Key;
  };
  if (std::is_sorted(ioRanges.begin(), ioRanges.end(), before)) return;
  const auto bounds = std::minmax_element(ioRanges.begin(), ioRanges.end(), before);
  const long long lowest = (*bounds.first).*Key;
  const auto span = static_cast<std::uint32_t>((*bounds.second).*Key - lowest);
  int bits = 0;
  while (bits < 32 && (span >> bits) != 0) ++bits;
  if (bits == 0) return;  // equal keys were found sorted above; said again for the analyser
  // Digits of at most 11 bits keep the counts and the places written to within the caches.
  const int passes = (bits + 10) / 11, width = (bits + passes - 1) / passes;
  const std::uint32_t mask = (1u << width) - 1;
  std::vector<Range> sorted(ioRanges.size());
  std::vector<std::size_t> counts;
  for (int shift = 0; shift < bits; shift += width) {
    const auto digit = [&](const Range& iRange) {
      return (static_cast<std::uint32_t>(iRange.*Key - lowest) >> shift) & mask;
    };
    counts.assign(static_cast<std::size_t>(mask) + 2, 0);
    for (const Range& range : ioRanges) ++counts[digit(range) + 1];
    for (std::size_t d = 1; d < counts.size(); ++d) counts[d] += counts[d - 1];
    for (const Range& range : ioRanges) sorted[counts[digit(range)]++] = range;
    ioRanges.swap(sorted);
  }
}

// Joins ranges sorted by start that overlap, touch or follow without a gap.
std::vector<Range> JoinSorted(const std::vector<Range>& iRanges)
{
  std::vector<Range> joined;
  joined.reserve(iRanges.size());
  for (const Range& range : iRanges) {
    if (!joined.empty() && range.start <= static_cast<long long>(joined.back().end) + 1)
      joined.back().end = std::max(joined.back().end, range.end);
    else
      joined.push_back(range);
  }
  return joined;
}

// The units of a list as ascending ranges separated by at least one missing unit. A range
// whose start lies above its end holds no unit.
std::vector<Range> Normalise(std::vector<Range> iRanges)
{
  iRanges.erase(std::remove_if(iRanges.begin(), iRanges.end(),
                               [](const Range& iRange) { return iRange.start > iRange.end; }),
                iRanges.end());
  SortBy<&Range::start>(iRanges);
  return JoinSorted(iRanges);
}

bool RunsUpwards(const std::vector<Range>& iRanges)
{
  return std::all_of(iRanges.begin(), iRanges.end(),
                     [](const Range& iRange) { return iRange.start <= iRange.end; });
}

bool AscendingAndSeparate(const std::vector<Range>& iRanges)
{
  for (std::size_t k = 1; k < iRanges.size(); ++k)
    if (iRanges[k - 1].end >= iRanges[k].start) return false;
  return true;
}

// Whether every second range lies inside one first range, and whether any pair shares a unit,
// bound by bound as a pair-by-pair test would decide, ranges written downwards included. Each
// question is a sweep over both lists sorted by the bound it asks about.
// A list in the order of one bound: the list itself when it is in that order already, as an
// ascending list is, else a sorted copy.
template <int Range::*Key>
class SortedView {
 public:
  explicit SortedView(const std::vector<Range>& iRanges) : _ranges(&iRanges)
  {
    if (std::is_sorted(iRanges.begin(), iRanges.end(), [](const Range& iLeft, const Range& iRight) {
          return iLeft.*Key < iRight.*Key;
        }))
      return;
    _sorted = iRanges;
    SortBy<Key>(_sorted);
    _ranges = &_sorted;
  }
  SortedView(const SortedView&) = delete;
  SortedView& operator=(const SortedView&) = delete;
  const std::vector<Range>& operator*() const { return *_ranges; }

 private:
  const std::vector<Range>* _ranges;
  std::vector<Range> _sorted;
};

class Comparison {
 public:
  Comparison(const std::vector<Range>& iFirst, const std::vector<Range>& iSecond)
      : _firstByStart(iFirst), _firstByEnd(iFirst), _secondByStart(iSecond), _secondByEnd(iSecond)
  {
  }

  // Some first range has start <= s and end >= e, for every second range (s, e).
  bool EveryInside() const
  {
    return !Sweep(*_secondByStart, &Range::start,
                  [](const Range& iRange, long long iReach) { return iReach < iRange.end; });
  }

  bool AnyShared() const
  {
    // A second range's start, or its end, inside a first range.
    const auto holds = [](int Range::*iBound) {
      return [iBound](const Range& iRange, long long iReach) { return iReach >= iRange.*iBound; };
    };
    if (Sweep(*_secondByStart, &Range::start, holds(&Range::start))) return true;
    if (Sweep(*_secondByEnd, &Range::end, holds(&Range::end))) return true;
    // A first range's start, or its end, inside a second range.
    return AnyBoundWithin(*_firstByStart, &Range::start) ||
           AnyBoundWithin(*_firstByEnd, &Range::end);
  }

 private:
  // Walks iQueries in ascending order of iProbe, each with the furthest end among the first
  // ranges that start at or before its probe; true as soon as iStop says so.
  template <class Stop>
  bool Sweep(const std::vector<Range>& iQueries, int Range::*iProbe, Stop iStop) const
  {
    const std::vector<Range>& first = *_firstByStart;
    std::size_t next = 0;
    long long reach = static_cast<long long>(INT32_MIN) - 1;
    for (const Range& query : iQueries) {
      for (; next < first.size() && first[next].start <= query.*iProbe; ++next)
        reach = std::max<long long>(reach, first[next].end);
      if (iStop(query, reach)) return true;
    }
    return false;
  }

  // Some bound of a first range, taken from iBounds sorted by it, lies in a second range.
  bool AnyBoundWithin(const std::vector<Range>& iBounds, int Range::*iBound) const
  {
    std::size_t next = 0;
    for (const Range& second : *_secondByStart) {
      while (next < iBounds.size() && iBounds[next].*iBound < second.start) ++next;
      if (next < iBounds.size() && iBounds[next].*iBound <= second.end) return true;
    }
    return false;
  }

  SortedView<&Range::start> _firstByStart;
  SortedView<&Range::end> _firstByEnd;
  SortedView<&Range::start> _secondByStart;
  SortedView<&Range::end> _secondByEnd;
};

// Units of iFirst that iSecond also holds, both normalised.
std::vector<Range> Intersect(const std::vector<Range>& iFirst, const std::vector<Range>& iSecond)
{
  std::vector<Range> common;
  std::size_t i = 0, j = 0;
  while (i < iFirst.size() && j < iSecond.size()) {
    const int start = std::max(iFirst[i].start, iSecond[j].start);
    const int end = std::min(iFirst[i].end, iSecond[j].end);
    if (start <= end) common.push_back({start, end});
    if (iFirst[i].end < iSecond[j].end)
      ++i;
    else
      ++j;
  }
  return common;
}

// Units of iFirst that iSecond lacks, both normalised. A second range may reach over several
// first ranges, so each first range starts its scan at the first second range not behind it.
std::vector<Range> Subtract(const std::vector<Range>& iFirst, const std::vector<Range>& iSecond)
{
  std::vector<Range> rest;
  std::size_t behind = 0;
  for (const Range& range : iFirst) {
    long long from = range.start;
    while (behind < iSecond.size() && iSecond[behind].end < from) ++behind;
    for (std::size_t k = behind; k < iSecond.size() && iSecond[k].start <= range.end; ++k) {
      if (iSecond[k].start > from) rest.push_back({static_cast<int>(from), iSecond[k].start - 1});
      from = std::max<long long>(from, static_cast<long long>(iSecond[k].end) + 1);
      if (from > range.end) break;
    }
    if (from <= range.end) rest.push_back({static_cast<int>(from), range.end});
  }
  return rest;
}

// Intersection and difference: both lists checked, normalised and combined unit by unit.
HRESULT CombineUnits(const QIRRawCollint& iFirstStarts, const QIRRawCollint& iFirstEnds,
                     const QIRRawCollint& iSecondStarts, const QIRRawCollint& iSecondEnds,
                     std::vector<Range> (*iCombine)(const std::vector<Range>&,
                                                    const std::vector<Range>&),
                     QIRRawCollint& oStarts, QIRRawCollint& oEnds)
{
  HRESULT hr = E_FAIL;
  if (!IsValidPair(iFirstStarts, iFirstEnds)) return hr;
  if (!IsValidPair(iSecondStarts, iSecondEnds)) return hr;
  return QIRGuarded([&] {
    WriteRanges(iCombine(Normalise(ReadRanges(iFirstStarts, iFirstEnds)),
                         Normalise(ReadRanges(iSecondStarts, iSecondEnds))),
                oStarts, oEnds);
    return S_OK;
  });
}

// Outside the union's preconditions the merge below decides the result, as it always has.
// Index of the first range holding iUnit, -1 when none does.
int FindContaining(const std::vector<Range>& iRanges, int iUnit)
{
  for (int k = 0; k < static_cast<int>(iRanges.size()); ++k)
    if (Contains(iRanges[k], iUnit)) return k;
  return -1;
}

struct MarkedRange {
  Range range;
  bool removed;
};

void MarkRemoved(std::vector<MarkedRange>& ioMarks, int iFirst, int iLast)
{
  for (int k = iFirst; k <= iLast; ++k) ioMarks[k].removed = true;
}

// Merges one range into the ascending, separate working list. Every decision is taken on
// the list as it was, then the list is rebuilt once, so indices found early stay valid.
// Ranges that merely follow each other are left apart here; the final pass joins them.
void MergeRange(std::vector<Range>& ioWorking, const Range& iNew)
{
  const int m = static_cast<int>(ioWorking.size());
  if (m == 0) {
    ioWorking.push_back(iNew);
    return;
  }
  const int a = iNew.start, b = iNew.end;
  std::vector<MarkedRange> marks;
  marks.reserve(ioWorking.size());
  for (const Range& range : ioWorking) marks.push_back({range, false});
  int insertAt = -1;  // the new range goes before this index; m appends it

  const int j1 = FindContaining(ioWorking, a), j2 = FindContaining(ioWorking, b);
  if (j1 >= 0 && j2 >= 0) {
    if (j1 < j2) {
      marks[j1].range.end = ioWorking[j2].end;
      MarkRemoved(marks, j1 + 1, j2);
    }
  } else if (j2 >= 0) {
    int p = -1;
    for (int k = 0; k < m && p < 0; ++k)
      if (ioWorking[k].start > a) p = k;
    if (p >= 0 && p <= j2) {  // anything else means a start beyond its end
      marks[p].range = {a, ioWorking[j2].end};
      MarkRemoved(marks, p + 1, j2);
    }
  } else if (j1 >= 0) {
    int q = m - 1;
    for (int k = 0; k < m; ++k)
      if (ioWorking[k].end > b) {
        q = k - 1;
        break;
      }
    if (q >= j1) {
      marks[j1].range.end = b;
      MarkRemoved(marks, j1 + 1, q);
    }
  } else if (a < ioWorking.front().start && b < ioWorking.front().end) {
    insertAt = 0;
  } else if (a <= ioWorking.back().end) {
    insertAt = m - 1;  // in the place of the last range, which then lies inside the new one
    for (int k = 0; k < m; ++k) {
      const int start = ioWorking[k].start;
      if (start > b) {
        insertAt = k;
        break;
      }
      if (a < start && start < b) marks[k].removed = true;
    }
  } else {
    insertAt = m;
  }

  std::vector<Range> merged;
  merged.reserve(ioWorking.size() + 1);
  for (int k = 0; k < m; ++k) {
    if (k == insertAt) merged.push_back(iNew);
    if (!marks[k].removed) merged.push_back(marks[k].range);
  }
  if (insertAt == m) merged.push_back(iNew);
  ioWorking.swap(merged);
}

// Joins ranges that overlap, touch or follow without a gap. The distance is taken against
// the previous working range and in 64 bits, since any int may come in.
std::vector<Range> JoinNeighbours(const std::vector<Range>& iWorking)
{
  std::vector<Range> united;
  for (std::size_t k = 0; k < iWorking.size(); ++k) {
    if (k > 0 && static_cast<long long>(iWorking[k].start) - iWorking[k - 1].end < 2)
      united.back().end = iWorking[k].end;
    else
      united.push_back(iWorking[k]);
  }
  return united;
}

// Positions in the text are bytes: every character the parser looks for is ASCII, and a byte
// match in valid UTF-8 is always a whole character.
bool IsNumberBlank(char iByte)
{
  return iByte == ' ' || (iByte >= '\t' && iByte <= '\r');
}

// Reads iText[iBegin, iEnd) as "%d" does. Only the blanks, sign and digits it would consume are
// copied, so a long text between the bounds costs nothing here.
bool ReadNumber(std::string_view iText, std::size_t iBegin, std::size_t iEnd, int& oValue)
{
  std::size_t end = iBegin;
  while (end < iEnd && IsNumberBlank(iText[end])) ++end;
  if (end < iEnd && (iText[end] == '+' || iText[end] == '-')) ++end;
  while (end < iEnd && iText[end] >= '0' && iText[end] <= '9') ++end;
  QIRUnicodeString number;
  if (FAILED(number.BuildFromUTF8(iText.data() + iBegin, end - iBegin))) return false;
  return number.ConvertToNum(&oValue) == 1;
}

// The first occurrence of iWhat at or after iFrom, found again only once iFrom has passed it:
// positions asked for only grow, so each kind of search crosses the text once.
class ForwardFinder {
 public:
  ForwardFinder(std::string_view iText, std::string_view iWhat) : _text(iText), _what(iWhat) {}
  std::size_t From(std::size_t iFrom)
  {
    if (!_searched || (_found != std::string_view::npos && _found < iFrom)) {
      _found = _text.find(_what, iFrom);
      _searched = true;
    }
    return _found;
  }

 private:
  std::string_view _text, _what;
  std::size_t _found = std::string_view::npos;
  bool _searched = false;
};
}  // namespace

QIREdsEffectivityTool::QIREdsEffectivityTool() = default;

QIREdsEffectivityTool::~QIREdsEffectivityTool() = default;

HRESULT QIREdsEffectivityTool::ParseEffectivityRange(const QIRUnicodeString& iEffectivity,
                                                     QIRRawCollint& oStarts, QIRRawCollint& oEnds)
{
  HRESULT hr = E_FAIL;
  if (iEffectivity.IsNull()) return E_INVALIDARG;
  return QIRGuarded([&] {
    const std::string_view text(iEffectivity.ConvertToChar(),
                                static_cast<std::size_t>(iEffectivity.GetLengthInByte()));
    const std::size_t none = std::string_view::npos;
    std::size_t dash = text.find('-');
    if (dash == none) return hr;
    ForwardFinder closes(text, ")"), openEnds(text, "oo");
    std::size_t open = none, nextOpen = text.find('(');
    std::size_t readOpen = none;  // the "(" whose start was read last
    int readStart = -1;
    while (dash != none) {
      int start = -1, end = -1;
      for (; nextOpen < dash; nextOpen = text.find('(', nextOpen + 1)) open = nextOpen;
      // Text after one "(" reads the same for every dash behind it: a failed read ends the
      // parse, and a number stops before the next "-".
      if (open != none && open + 1 < dash) {
        if (open != readOpen && !ReadNumber(text, open + 1, dash, readStart)) readStart = -1;
        readOpen = open;
        start = readStart;
      }
      const std::size_t close = closes.From(dash + 1);
      if (close != none && close > dash + 1) {
        const std::size_t openEnd = openEnds.From(dash + 1);
        if (openEnd != none && openEnd + 2 <= close)
          end = kOpenEnd;
        else
          ReadNumber(text, dash + 1, close, end);
      }
      if (start < 0 || end < 0) return hr;
      oStarts.Append(start);
      oEnds.Append(end);
      // The character right after a dash is never a dash of its own.
      dash = dash + 2 < text.size() ? text.find('-', dash + 2) : none;
    }
    return S_OK;
  });
}

HRESULT QIREdsEffectivityTool::CompareEffectivityRange(const QIRRawCollint& iFirstStarts,
                                                       const QIRRawCollint& iFirstEnds,
                                                       const QIRRawCollint& iSecondStarts,
                                                       const QIRRawCollint& iSecondEnds,
                                                       QIREdsEffMatchingStatusEnum& oStatus)
{
  HRESULT hr = E_FAIL;
  oStatus = QIREdsEffUndefined;
  if (!IsValidPair(iFirstStarts, iFirstEnds)) return hr;
  if (!IsValidPair(iSecondStarts, iSecondEnds)) return hr;
  return QIRGuarded([&] {
    const std::vector<Range> first = ReadRanges(iFirstStarts, iFirstEnds);
    const std::vector<Range> second = ReadRanges(iSecondStarts, iSecondEnds);
    QIREdsEffMatchingStatusEnum status = QIREdsEffIdentical;
    if (!(first == second)) {
      const Comparison comparison(first, second);
      status = comparison.EveryInside()
                   ? QIREdsEffIncluded
                   : (comparison.AnyShared() ? QIREdsEffOverlapping : QIREdsEffDisjoint);
    }
    oStatus = status;
    return S_OK;
  });
}

HRESULT QIREdsEffectivityTool::ComputeUnionEffectivityRange(const QIRRawCollint& iFirstStarts,
                                                            const QIRRawCollint& iFirstEnds,
                                                            const QIRRawCollint& iSecondStarts,
                                                            const QIRRawCollint& iSecondEnds,
                                                            QIRRawCollint& oUnitedStarts,
                                                            QIRRawCollint& oUnitedEnds)
{
  HRESULT hr = E_FAIL;
  if (!IsValidPair(iFirstStarts, iFirstEnds)) return hr;
  if (!IsValidPair(iSecondStarts, iSecondEnds)) return hr;
  return QIRGuarded([&] {
    std::vector<Range> first = ReadRanges(iFirstStarts, iFirstEnds);
    std::vector<Range> working = ReadRanges(iSecondStarts, iSecondEnds);
    if (RunsUpwards(first) && RunsUpwards(working) && AscendingAndSeparate(working)) {
      // The second list is in order already: only the first needs sorting before the merge.
      SortBy<&Range::start>(first);
      std::vector<Range> all(first.size() + working.size());
      std::merge(
          first.begin(), first.end(), working.begin(), working.end(), all.begin(),
          [](const Range& iLeft, const Range& iRight) { return iLeft.start < iRight.start; });
      WriteRanges(JoinSorted(all), oUnitedStarts, oUnitedEnds);
      return S_OK;
    }
    for (const Range& range : first) MergeRange(working, range);
    WriteRanges(JoinNeighbours(working), oUnitedStarts, oUnitedEnds);
    return S_OK;
  });
}

HRESULT QIREdsEffectivityTool::ComputeIntersectionEffectivityRange(
    const QIRRawCollint& iFirstStarts, const QIRRawCollint& iFirstEnds,
    const QIRRawCollint& iSecondStarts, const QIRRawCollint& iSecondEnds, QIRRawCollint& oStarts,
    QIRRawCollint& oEnds)
{
  return CombineUnits(iFirstStarts, iFirstEnds, iSecondStarts, iSecondEnds, Intersect, oStarts,
                      oEnds);
}

HRESULT QIREdsEffectivityTool::ComputeDifferenceEffectivityRange(const QIRRawCollint& iFirstStarts,
                                                                 const QIRRawCollint& iFirstEnds,
                                                                 const QIRRawCollint& iSecondStarts,
                                                                 const QIRRawCollint& iSecondEnds,
                                                                 QIRRawCollint& oStarts,
                                                                 QIRRawCollint& oEnds)
{
  return CombineUnits(iFirstStarts, iFirstEnds, iSecondStarts, iSecondEnds, Subtract, oStarts,
                      oEnds);
}

HRESULT QIREdsEffectivityTool::IsUnitEffective(const QIRRawCollint& iStarts,
                                               const QIRRawCollint& iEnds, int iUnit,
                                               bool& oEffective)
{
  HRESULT hr = E_FAIL;
  if (!IsValidPair(iStarts, iEnds)) return hr;
  return QIRGuarded([&] {
    const std::vector<Range> ranges = ReadRanges(iStarts, iEnds);
    oEffective = std::any_of(ranges.begin(), ranges.end(),
                             [iUnit](const Range& iRange) { return Contains(iRange, iUnit); });
    return S_OK;
  });
}

HRESULT QIREdsEffectivityTool::FormatEffectivityRange(const QIRRawCollint& iStarts,
                                                      const QIRRawCollint& iEnds,
                                                      QIRUnicodeString& oText)
{
  HRESULT hr = E_FAIL;
  if (!IsValidPair(iStarts, iEnds)) return hr;
  return QIRGuarded([&] {
    std::string text = "U";
    for (const Range& range : ReadRanges(iStarts, iEnds)) {
      text += "(" + std::to_string(range.start) + "-";
      text += range.end == kOpenEnd ? std::string("oo") : std::to_string(range.end);
      text += ")";
    }
    QIRUnicodeString written;
    if (FAILED(written.BuildFromUTF8(text.data(), text.size()))) return hr;
    oText = written;
    return S_OK;
  });
}
