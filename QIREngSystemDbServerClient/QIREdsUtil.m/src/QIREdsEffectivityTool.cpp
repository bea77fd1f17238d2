#include "QIREdsEffectivityTool.h"

#include <vector>

#include "QIRError.h"

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

bool Contains(const Range& iRange, int iUnit)
{
  return iRange.start <= iUnit && iUnit <= iRange.end;
}

// Index of the first range holding iUnit, -1 when none does.
int FindContaining(const std::vector<Range>& iRanges, int iUnit)
{
  for (int k = 0; k < static_cast<int>(iRanges.size()); ++k)
    if (Contains(iRanges[k], iUnit)) return k;
  return -1;
}

bool EveryRangeInside(const std::vector<Range>& iInner, const std::vector<Range>& iOuter)
{
  for (const Range& inner : iInner) {
    bool inside = false;
    for (const Range& outer : iOuter)
      if (outer.start <= inner.start && outer.end >= inner.end) {
        inside = true;
        break;
      }
    if (!inside) return false;
  }
  return true;
}

// Bound by bound rather than as an interval test, which would differ for ranges written with
// their start above their end.
bool AnyOverlap(const std::vector<Range>& iSecond, const std::vector<Range>& iFirst)
{
  for (const Range& second : iSecond)
    for (const Range& first : iFirst)
      if (Contains(first, second.start) || Contains(first, second.end) ||
          Contains(second, first.start) || Contains(second, first.end))
        return true;
  return false;
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
    if (!marks[k].removed)
      merged.push_back(marks[k].range);
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
}  // namespace

QIREdsEffectivityTool::QIREdsEffectivityTool() = default;

QIREdsEffectivityTool::~QIREdsEffectivityTool() = default;

HRESULT QIREdsEffectivityTool::ParseEffectivityRange(const QIRUnicodeString& iEffectivity,
                                                     QIRRawCollint& oStarts,
                                                     QIRRawCollint& oEnds)
{
  HRESULT hr = E_FAIL;
  if (iEffectivity.IsNull()) return E_INVALIDARG;
  try {
    const int length = iEffectivity.GetLengthInChar();
    int dash = iEffectivity.SearchSubString("-");
    if (dash < 0) return hr;
    while (dash >= 0) {
      int start = -1, end = -1;
      // Backward search counts from the end: this finds the last "(" standing before the dash.
      const int open =
          iEffectivity.SearchSubString("(", length - dash, QIRUnicodeString::QIRSearchBackward);
      if (open >= 0 && open < dash - 1)
        iEffectivity.SubString(open + 1, dash - open - 1).ConvertToNum(&start);
      const int close = iEffectivity.SearchSubString(")", dash + 1);
      if (close > dash + 1) {
        const QIRUnicodeString endText = iEffectivity.SubString(dash + 1, close - dash - 1);
        if (endText.SearchSubString("oo") >= 0)
          end = kOpenEnd;
        else
          endText.ConvertToNum(&end);
      }
      if (start < 0 || end < 0) return hr;
      oStarts.Append(start);
      oEnds.Append(end);
      dash = iEffectivity.SearchSubString("-", dash + 2);
    }
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
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
  try {
    const std::vector<Range> first = ReadRanges(iFirstStarts, iFirstEnds);
    const std::vector<Range> second = ReadRanges(iSecondStarts, iSecondEnds);
    QIREdsEffMatchingStatusEnum status = QIREdsEffDisjoint;
    if (first == second)
      status = QIREdsEffIdentical;
    else if (EveryRangeInside(second, first))
      status = QIREdsEffIncluded;
    else if (AnyOverlap(second, first))
      status = QIREdsEffOverlapping;
    oStatus = status;
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
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
  try {
    const std::vector<Range> first = ReadRanges(iFirstStarts, iFirstEnds);
    std::vector<Range> working = ReadRanges(iSecondStarts, iSecondEnds);
    for (const Range& range : first) MergeRange(working, range);
    const std::vector<Range> united = JoinNeighbours(working);
    // Outputs may be the caller's input lists: everything was read before they are cleared.
    oUnitedStarts.RemoveAll();
    oUnitedEnds.RemoveAll();
    for (const Range& range : united) {
      oUnitedStarts.Append(range.start);
      oUnitedEnds.Append(range.end);
    }
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}
