// Effectivity texts are typed by people and stored by other programs. The input holds two
// texts separated by the first newline (one text serves as both when there is none); both
// are parsed, compared both ways, and united whenever the union's preconditions hold, the
// union then being checked against a plain sort-and-merge of the same ranges.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "QIREdsEffectivityTool.h"

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
