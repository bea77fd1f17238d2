// Effectivity texts are typed by people and stored by other programs. The input holds two
// texts separated by the first newline (one text serves as both when there is none); both
// are parsed, compared both ways, and united whenever the union's preconditions hold, the
// union then being checked against a plain sort-and-merge of the same ranges. Intersection
// and difference must give ascending, separate ranges whose bounds the lists do and do not
// hold as the operation says, and a formatted list must parse back to itself.

#include "QIREdsEffectivityTool.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {
typedef std::vector<std::pair<long long, long long>> Ranges;

void Fail(const char* iWhat)
{
  std::fprintf(stderr, "fuzz_effectivity: %s\n", iWhat);
  std::abort();
}

Ranges ToRanges(const QIRRawCollint& iStarts, const QIRRawCollint& iEnds)
{
  Ranges ranges;
  for (int i = 1; i <= iStarts.Size() && i <= iEnds.Size(); ++i)
    ranges.emplace_back(iStarts[i], iEnds[i]);
  return ranges;
}

// Units start at 1 and every range runs upwards; the union promises nothing beyond that.
bool InDomain(const Ranges& iRanges)
{
  for (const auto& range : iRanges)
    if (range.first < 1 || range.first > range.second) return false;
  return !iRanges.empty();
}

bool AscendingAndSeparate(const Ranges& iRanges)
{
  for (std::size_t i = 1; i < iRanges.size(); ++i)
    if (iRanges[i - 1].second >= iRanges[i].first) return false;
  return true;
}

// The reference union: sort every range by start, then join each one that overlaps, touches
// or follows the last without a gap.
Ranges ReferenceUnion(const Ranges& iFirst, const Ranges& iSecond)
{
  Ranges all(iFirst);
  all.insert(all.end(), iSecond.begin(), iSecond.end());
  std::sort(all.begin(), all.end());
  Ranges united;
  for (const auto& range : all) {
    if (!united.empty() && range.first <= united.back().second + 1)
      united.back().second = std::max(united.back().second, range.second);
    else
      united.push_back(range);
  }
  return united;
}

bool Parse(QIREdsEffectivityTool& ioTool, const std::string& iText, QIRRawCollint& oStarts,
           QIRRawCollint& oEnds)
{
  const HRESULT hr = ioTool.ParseEffectivityRange(iText.c_str(), oStarts, oEnds);
  if (oStarts.Size() != oEnds.Size()) Fail("parse left starts and ends of different sizes");
  if ((hr == E_INVALIDARG) != QIRUnicodeString(iText.c_str()).IsNull())
    Fail("E_INVALIDARG for a non-empty text, or not for an empty one");
  return SUCCEEDED(hr);
}

bool Holds(QIREdsEffectivityTool& ioTool, const QIRRawCollint& iStarts, const QIRRawCollint& iEnds,
           long long iUnit)
{
  bool effective = false;
  if (FAILED(ioTool.IsUnitEffective(iStarts, iEnds, static_cast<int>(iUnit), effective)))
    Fail("IsUnitEffective failed on a usable list");
  return effective;
}

// Every bound of the result, and the unit on each side of every range, tell whether the
// operation kept the right units: inside, both lists agree with the operation; just outside,
// they must not (else the range would have reached further).
void CheckAlgebra(QIREdsEffectivityTool& ioTool, const QIRRawCollint& iFirstStarts,
                  const QIRRawCollint& iFirstEnds, const QIRRawCollint& iSecondStarts,
                  const QIRRawCollint& iSecondEnds, bool iIntersection)
{
  QIRRawCollint starts, ends;
  const HRESULT hr = iIntersection
                         ? ioTool.ComputeIntersectionEffectivityRange(
                               iFirstStarts, iFirstEnds, iSecondStarts, iSecondEnds, starts, ends)
                         : ioTool.ComputeDifferenceEffectivityRange(
                               iFirstStarts, iFirstEnds, iSecondStarts, iSecondEnds, starts, ends);
  if (FAILED(hr)) Fail("intersection or difference failed on usable lists");
  const auto kept = [&](long long iUnit) {
    if (iUnit < INT32_MIN || iUnit > INT32_MAX) return false;
    const bool first = Holds(ioTool, iFirstStarts, iFirstEnds, iUnit);
    const bool second = Holds(ioTool, iSecondStarts, iSecondEnds, iUnit);
    return first && (iIntersection ? second : !second);
  };
  const Ranges result = ToRanges(starts, ends);
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (result[i].first > result[i].second) Fail("a result range runs downwards");
    if (i > 0 && result[i].first <= result[i - 1].second + 1) Fail("result not separate");
    if (!kept(result[i].first) || !kept(result[i].second)) Fail("a result bound is wrong");
    if (kept(result[i].first - 1) || kept(result[i].second + 1)) Fail("a result stops short");
  }
}

void CheckFormat(QIREdsEffectivityTool& ioTool, const QIRRawCollint& iStarts,
                 const QIRRawCollint& iEnds)
{
  QIRUnicodeString text;
  if (FAILED(ioTool.FormatEffectivityRange(iStarts, iEnds, text))) Fail("format failed");
  const Ranges ranges = ToRanges(iStarts, iEnds);
  for (const auto& range : ranges)
    if (range.first < 0 || range.second < 0) return;  // a minus sign reads as a dash
  QIRRawCollint starts, ends;
  if (FAILED(ioTool.ParseEffectivityRange(text, starts, ends)) || ToRanges(starts, ends) != ranges)
    Fail("a formatted list does not parse back to itself");
}

void Compare(QIREdsEffectivityTool& ioTool, const QIRRawCollint& iFirstStarts,
             const QIRRawCollint& iFirstEnds, const QIRRawCollint& iSecondStarts,
             const QIRRawCollint& iSecondEnds)
{
  QIREdsEffMatchingStatusEnum status = QIREdsEffOverlapping;
  const HRESULT hr =
      ioTool.CompareEffectivityRange(iFirstStarts, iFirstEnds, iSecondStarts, iSecondEnds, status);
  if (SUCCEEDED(hr) && (status < QIREdsEffIdentical || status > QIREdsEffOverlapping))
    Fail("compare succeeded without a status");
  if (FAILED(hr) && status != QIREdsEffUndefined) Fail("failed compare left a status");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* iData, std::size_t iSize)
{
  const std::string input(reinterpret_cast<const char*>(iData), iSize);
  const std::size_t newline = input.find('\n');
  const std::string firstText = input.substr(0, newline);
  const std::string secondText = newline == std::string::npos ? input : input.substr(newline + 1);

  QIREdsEffectivityTool tool;
  QIRRawCollint firstStarts, firstEnds, secondStarts, secondEnds;
  const bool firstParsed = Parse(tool, firstText, firstStarts, firstEnds);
  const bool secondParsed = Parse(tool, secondText, secondStarts, secondEnds);

  Compare(tool, firstStarts, firstEnds, secondStarts, secondEnds);
  Compare(tool, secondStarts, secondEnds, firstStarts, firstEnds);
  if (firstStarts.Size() > 0) {
    QIREdsEffMatchingStatusEnum status = QIREdsEffUndefined;
    tool.CompareEffectivityRange(firstStarts, firstEnds, firstStarts, firstEnds, status);
    if (status != QIREdsEffIdentical) Fail("a list is not identical to itself");
  }

  if (firstStarts.Size() > 0 && secondStarts.Size() > 0) {
    CheckAlgebra(tool, firstStarts, firstEnds, secondStarts, secondEnds, true);
    CheckAlgebra(tool, firstStarts, firstEnds, secondStarts, secondEnds, false);
  }
  if (firstStarts.Size() > 0) CheckFormat(tool, firstStarts, firstEnds);

  const Ranges first = ToRanges(firstStarts, firstEnds);
  const Ranges second = ToRanges(secondStarts, secondEnds);
  if (!firstParsed || !secondParsed || !InDomain(first) || !InDomain(second) ||
      !AscendingAndSeparate(second))
    return 0;
  QIRRawCollint unitedStarts, unitedEnds;
  if (FAILED(tool.ComputeUnionEffectivityRange(firstStarts, firstEnds, secondStarts, secondEnds,
                                               unitedStarts, unitedEnds)))
    Fail("union refused lists that meet its preconditions");
  if (ToRanges(unitedStarts, unitedEnds) != ReferenceUnion(first, second))
    Fail("union differs from the sort-and-merge of the same ranges");
  return 0;
}
