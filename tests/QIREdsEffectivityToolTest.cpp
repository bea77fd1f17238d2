#include "QIREdsEffectivityTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {
const int oo = 100000000;
using Ranges = std::vector<std::pair<int, int>>;

// Tables write lists as "(1-5)(8-oo)"; read here by hand, not by the tool under test.
Ranges Read(const std::string& iText)
{
  Ranges ranges;
  for (std::size_t at = iText.find('('); at != std::string::npos; at = iText.find('(', at + 1)) {
    const std::string end = iText.substr(iText.find('-', at + 2) + 1);
    ranges.emplace_back(std::stoi(iText.substr(at + 1)), end[0] == 'o' ? oo : std::stoi(end));
  }
  return ranges;
}

std::string Describe(const Ranges& iRanges)
{
  std::string text;
  for (const auto& r : iRanges)
    text += "(" + std::to_string(r.first) + "-" +
            (r.second == oo ? std::string("oo") : std::to_string(r.second)) + ")";
  return text;
}

struct Lists {  // a range list as the tool takes it
  explicit Lists(const Ranges& iRanges = {})
  {
    for (const auto& r : iRanges) starts.Append(r.first), ends.Append(r.second);
  }
  Ranges Get() const
  {
    Ranges ranges;
    for (int i = 1; i <= starts.Size(); ++i) ranges.emplace_back(starts[i], ends[i]);
    return ranges;
  }
  QIRRawCollint starts, ends;
};

Ranges Union(const Ranges& iFirst, const Ranges& iSecond)
{
  Lists first(iFirst), second(iSecond), united;
  EXPECT_EQ(S_OK, QIREdsEffectivityTool().ComputeUnionEffectivityRange(
                      first.starts, first.ends, second.starts, second.ends, united.starts,
                      united.ends));
  return united.Get();
}

// Oracle: the usual sort-and-join normalisation of intervals.
Ranges Normalise(Ranges iRanges)
{
  std::sort(iRanges.begin(), iRanges.end());
  Ranges joined;
  for (const auto& r : iRanges) {
    if (joined.empty() || r.first > joined.back().second + 1LL) joined.push_back(r);
    joined.back().second = std::max(joined.back().second, r.second);
  }
  return joined;
}

std::bitset<256> Units(const Ranges& iRanges)
{
  std::bitset<256> units;
  for (const auto& r : iRanges)
    for (int unit = r.first; unit <= r.second; ++unit) units.set(static_cast<std::size_t>(unit));
  return units;
}
}  // namespace

TEST(QIREdsEffectivityTool, Parse_Examples)
{
  const struct {
    const char *text, *appended;  // appended also on failure
    HRESULT hr;
  } cases[] = {
      {"U(1-5)(8-oo)", "(1-5)(8-oo)", S_OK}, {"U(1-5),(8-12)", "(1-5)(8-12)", S_OK},
      {" (10-20)", "(10-20)", S_OK},         {"(10-20)", "(10-20)", S_OK},  // leading "(" opens
      {"U(12 - 15 )", "(12-15)", S_OK},      {"U(1-foo)", "(1-oo)", S_OK},
      {"U(7-2)", "(7-2)", S_OK},             {"é(3-3)ü", "(3-3)", S_OK},
      {"", "", E_INVALIDARG},                {"U(1-5", "", E_FAIL},
      {"U(5)", "", E_FAIL},                  {"U(-5)", "", E_FAIL},
      {"U(1-)", "", E_FAIL},                 {"U1-5)", "", E_FAIL},
      {"U(1-5)(x-9)", "(1-5)", E_FAIL},      {"U(1-5)-(7-9)", "(1-5)", E_FAIL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Lists lists(Read("(99-99)"));  // appended to, never cleared
    QIREdsEffectivityTool tool;
    EXPECT_EQ(c.hr, tool.ParseEffectivityRange(c.text, lists.starts, lists.ends));
    EXPECT_EQ(std::string("(99-99)") + c.appended, Describe(lists.Get()));
  }
}

TEST(QIREdsEffectivityTool, Compare_Examples)
{
  const struct {
    const char *first, *second;
    QIREdsEffMatchingStatusEnum status;
  } cases[] = {
      {"(1-5)(10-20)", "(1-5)(10-20)", QIREdsEffIdentical}, {"(1-5)", "(6-9)", QIREdsEffDisjoint},
      {"(1-20)", "(1-5)(10-20)", QIREdsEffIncluded}, {"(1-5)", "(5-9)", QIREdsEffOverlapping},
      {"(1-5)(10-20)", "(1-20)", QIREdsEffOverlapping}, {"(1-5)", "(0-9)", QIREdsEffOverlapping},
      {"(10-20)(1-5)", "(1-5)(10-20)", QIREdsEffIncluded},
      {"(1-5)(10-20)", "(6-9)(21-30)(3-4)", QIREdsEffOverlapping},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " / " + c.second);
    Lists first(Read(c.first)), second(Read(c.second));
    QIREdsEffMatchingStatusEnum status = QIREdsEffUndefined;
    EXPECT_EQ(S_OK, QIREdsEffectivityTool().CompareEffectivityRange(
                        first.starts, first.ends, second.starts, second.ends, status));
    EXPECT_EQ(c.status, status);
  }
}

TEST(QIREdsEffectivityTool, Union_Examples)
{
  const char* const cases[][3] = {
      {"(7-15)", "(1-5)(10-20)", "(1-5)(7-20)"}, {"(3-12)", "(1-5)(10-20)", "(1-20)"},
      {"(12-25)", "(1-5)(10-20)(30-40)", "(1-5)(10-25)(30-40)"},
      {"(4-25)", "(1-5)(10-20)", "(1-25)"}, {"(2-45)", "(1-5)(10-20)(30-40)", "(1-45)"},
      {"(2-3)", "(1-5)(10-20)", "(1-5)(10-20)"}, {"(6-8)", "(1-5)(10-20)", "(1-8)(10-20)"},
      {"(6-9)", "(1-5)(10-20)", "(1-20)"}, {"(7-50)", "(1-5)(10-20)", "(1-5)(7-50)"},
      {"(22-28)", "(1-5)(10-20)(30-40)", "(1-5)(10-20)(22-28)(30-40)"},
      {"(30-oo)", "(1-5)(10-20)", "(1-5)(10-20)(30-oo)"},
      {"(8-9)(1-2)", "(4-5)", "(1-2)(4-5)(8-9)"},
      {"(20-21)", "(1-5)(6-9)", "(1-9)(20-21)"}, {"(1-2)", "(4-5)(7-9)", "(1-2)(4-5)(7-9)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c[0]) + " + " + c[1]);
    EXPECT_EQ(c[2], Describe(Union(Read(c[0]), Read(c[1]))));
  }
}

TEST(QIREdsEffectivityTool, CompareAndUnion_BadPairs)
{
  Lists good(Read("(1-5)")), empty, uneven(Read("(1-5)")), united(Read("(7-7)"));
  uneven.starts.Append(7);  // a start without its end
  QIREdsEffectivityTool tool;
  QIREdsEffMatchingStatusEnum status = QIREdsEffIdentical;
  EXPECT_EQ(E_FAIL, tool.CompareEffectivityRange(uneven.starts, uneven.ends, good.starts,
                                                 good.ends, status));
  EXPECT_EQ(QIREdsEffUndefined, status);
  EXPECT_EQ(E_FAIL, tool.CompareEffectivityRange(good.starts, good.ends, empty.starts,
                                                 empty.ends, status));
  EXPECT_EQ(E_FAIL, tool.ComputeUnionEffectivityRange(empty.starts, empty.ends, good.starts,
                                                      good.ends, united.starts, united.ends));
  EXPECT_EQ(E_FAIL, tool.ComputeUnionEffectivityRange(good.starts, good.ends, uneven.starts,
                                                      uneven.ends, united.starts, united.ends));
  EXPECT_EQ("(7-7)", Describe(united.Get()));  // outputs untouched
}

TEST(QIREdsEffectivityTool, Union_AgreesWithUnitSets)
{
  std::mt19937 random(20240611);  // fixed seed: failures replay
  auto draw = [&random](int iLow, int iHigh) {
    return std::uniform_int_distribution<int>(iLow, iHigh)(random);
  };
  for (int round = 0; round < 5000; ++round) {
    Ranges first, second;
    for (int next = draw(1, 12), n = draw(1, 6); n > 0 && next < 200; --n) {
      const int start = next, end = draw(1, 8) == 1 ? oo : start + draw(0, 15);
      second.emplace_back(start, end);
      next = end + draw(1, 12);  // ascending, separate, maybe adjacent
      if (end == oo) break;
    }
    for (int n = draw(1, 5); n > 0; --n) {
      const int start = draw(1, 220);
      first.emplace_back(start, draw(1, 10) == 1 ? oo : start + draw(0, 30));
    }
    SCOPED_TRACE(Describe(first) + " + " + Describe(second));
    Ranges all = first;
    all.insert(all.end(), second.begin(), second.end());
    const Ranges united = Union(first, second);
    EXPECT_EQ(Normalise(all), united);
    if (std::none_of(all.begin(), all.end(), [](const auto& r) { return r.second == oo; })) {
      EXPECT_EQ(Units(all), Units(united));  // unit by unit, apart from the oracle
    }
  }
  for (int round = 0; round < 2000; ++round) {  // out of domain: any result, but no fault
    Ranges first(random() % 4 + 1), second(random() % 4 + 1);
    for (auto* list : {&first, &second})
      for (auto& r : *list) r = {draw(-5, 40), draw(-5, 40)};
    SCOPED_TRACE(Describe(first) + " + " + Describe(second));
    Union(first, second);
  }
}
