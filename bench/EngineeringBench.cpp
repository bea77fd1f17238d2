// How the engineering tools grow with their input: effectivity texts and range lists of 1,000
// to 1,000,000 ranges, texts of 1,000 to 1,000,000 characters for the blank encoding, and a
// walk over a text by character positions. Ten times the input should cost about ten times the
// time; docs/PERFORMANCE.md keeps the figures.
//
// Each call takes the next input of a pool of distinct ones, together 1,000,000 ranges or
// characters: a small input used over and over would run from caches and branch histories
// trained on it, which no caller's fresh input finds.
//
//   EngineeringBench [--smoke] [benchmark flags]   (--smoke: each benchmark once, smallest size)

#include "BenchMain.h"
#include "QIREdsEffectivityTool.h"
#include "QIREdsGeneralTool.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// SkipWithError alone leaves the exit status at 0; a smoke run must fail on a broken call.
int gFailures = 0;

void Fail(benchmark::State& ioState, const char* iReason)
{
  ++gFailures;
  ioState.SkipWithError(iReason);
}

// Inputs of each size, together about a million units whatever the size.
constexpr int kPoolUnits = 1000000;

template <class Input, class Make>
std::vector<Input> MakePool(int iSize, Make iMake)
{
  std::vector<Input> pool;
  for (int k = 0; k < std::max(1, kPoolUnits / iSize); ++k) pool.push_back(iMake(iSize, k));
  return pool;
}

struct RangeLists {
  QIRRawCollint firstStarts, firstEnds, secondStarts, secondEnds;
};

// The second list ascending and separate, as the union requires; the first shuffled, some of
// its ranges bridging gaps of the second and some falling into them. The last range of each
// list is open. Both lists share units and neither holds the other, so a comparison runs to
// its overlap test.
RangeLists MakeRanges(int iCount, int iSeed)
{
  RangeLists lists;
  std::mt19937 random(20240611 + iSeed);  // fixed seeds: every run measures the same lists
  for (int i = 0; i < iCount; ++i) {
    lists.secondStarts.Append(20 * i + 1);
    lists.secondEnds.Append(i + 1 == iCount ? 100000000 : 20 * i + 8);
  }
  std::vector<int> order(static_cast<std::size_t>(iCount));
  for (int i = 0; i < iCount; ++i) order[static_cast<std::size_t>(i)] = i;
  std::shuffle(order.begin(), order.end(), random);
  std::uniform_int_distribution<int> offset(0, 19), length(0, 25);
  for (int i : order) {
    const int start = 20 * i + 1 + offset(random);
    lists.firstStarts.Append(start);
    lists.firstEnds.Append(i + 1 == iCount ? 100000000 : start + length(random));
  }
  return lists;
}

// Words of one to eight characters, a few of them wide, between runs of one to five blanks.
QIRUnicodeString MakeText(int iCharacters, int iSeed)
{
  std::mt19937 random(7 + iSeed);
  std::string text;
  for (int count = 0; count < iCharacters;) {
    for (int n = static_cast<int>(random() % 8) + 1; n > 0 && count < iCharacters; --n, ++count)
      text += random() % 16 ? "x" : "\xC3\xA9";
    for (int n = static_cast<int>(random() % 5) + 1; n > 0 && count < iCharacters; --n, ++count)
      text += ' ';
  }
  return text.c_str();
}

void ParseEffectivityRange(benchmark::State& ioState)
{
  const int size = static_cast<int>(ioState.range(0));
  QIREdsEffectivityTool tool;
  const std::vector<QIRUnicodeString> texts =
      MakePool<QIRUnicodeString>(size, [&tool](int iSize, int iSeed) {
        const RangeLists lists = MakeRanges(iSize, iSeed);
        QIRUnicodeString text;
        tool.FormatEffectivityRange(lists.firstStarts, lists.firstEnds, text);
        return text;
      });
  std::size_t next = 0;
  for (auto _ : ioState) {
    QIRRawCollint starts, ends;
    if (FAILED(tool.ParseEffectivityRange(texts[next++ % texts.size()], starts, ends)) ||
        starts.Size() != size) {
      Fail(ioState, "ParseEffectivityRange failed");
      return;
    }
  }
}

void CompareEffectivityRange(benchmark::State& ioState)
{
  const std::vector<RangeLists> pool =
      MakePool<RangeLists>(static_cast<int>(ioState.range(0)), MakeRanges);
  QIREdsEffectivityTool tool;
  std::size_t next = 0;
  for (auto _ : ioState) {
    const RangeLists& lists = pool[next++ % pool.size()];
    QIREdsEffMatchingStatusEnum status = QIREdsEffUndefined;
    if (FAILED(tool.CompareEffectivityRange(lists.secondStarts, lists.secondEnds, lists.firstStarts,
                                            lists.firstEnds, status)) ||
        status != QIREdsEffOverlapping) {
      Fail(ioState, "CompareEffectivityRange failed");
      return;
    }
  }
}

// Union, intersection and difference take the same lists and give a list.
template <HRESULT (QIREdsEffectivityTool::*Operation)(const QIRRawCollint&, const QIRRawCollint&,
                                                      const QIRRawCollint&, const QIRRawCollint&,
                                                      QIRRawCollint&, QIRRawCollint&)>
void ListOperation(benchmark::State& ioState)
{
  const std::vector<RangeLists> pool =
      MakePool<RangeLists>(static_cast<int>(ioState.range(0)), MakeRanges);
  QIREdsEffectivityTool tool;
  QIRRawCollint starts, ends;
  std::size_t next = 0;
  for (auto _ : ioState) {
    const RangeLists& lists = pool[next++ % pool.size()];
    if (FAILED((tool.*Operation)(lists.firstStarts, lists.firstEnds, lists.secondStarts,
                                 lists.secondEnds, starts, ends))) {
      Fail(ioState, "the range operation failed");
      return;
    }
  }
}

void EncodeBlanks(benchmark::State& ioState)
{
  const std::vector<QIRUnicodeString> texts =
      MakePool<QIRUnicodeString>(static_cast<int>(ioState.range(0)), MakeText);
  QIREdsGeneralTool tool;
  std::size_t next = 0;
  for (auto _ : ioState) benchmark::DoNotOptimize(tool.EncodeBlanks(texts[next++ % texts.size()]));
}

// Texts of the sizes encoding takes, encoded: decoding must restore them.
void DecodeBlanks(benchmark::State& ioState)
{
  QIREdsGeneralTool tool;
  const std::vector<QIRUnicodeString> plain =
      MakePool<QIRUnicodeString>(static_cast<int>(ioState.range(0)), MakeText);
  std::vector<QIRUnicodeString> encoded;
  for (const QIRUnicodeString& text : plain) encoded.push_back(tool.EncodeBlanks(text));
  std::size_t next = 0;
  for (auto _ : ioState) {
    const std::size_t k = next++ % plain.size();
    if (tool.DecodeBlanks(encoded[k]) != plain[k]) {
      Fail(ioState, "DecodeBlanks did not restore the text");
      return;
    }
  }
}

// One SubString and one SearchSubString per character of a text with wide characters.
void WalkByPosition(benchmark::State& ioState)
{
  const std::vector<QIRUnicodeString> texts =
      MakePool<QIRUnicodeString>(static_cast<int>(ioState.range(0)), MakeText);
  const QIRUnicodeString blank(" ");
  std::size_t next = 0;
  for (auto _ : ioState) {
    const QIRUnicodeString& text = texts[next++ % texts.size()];
    int blanks = 0;
    for (int i = 0; i < text.GetLengthInChar(); ++i)
      if (text.SubString(i, 1) == blank && text.SearchSubString(blank, i) == i) ++blanks;
    benchmark::DoNotOptimize(blanks);
  }
}

}  // namespace

int main(int argc, char** argv)
{
  BenchArguments arguments = ReadBenchArguments(argc, argv);
  const std::vector<int> sizes =
      arguments.smoke ? std::vector<int>{1000} : std::vector<int>{1000, 10000, 100000, 1000000};
  const std::vector<benchmark::internal::Benchmark*> marks = {
      benchmark::RegisterBenchmark("Effectivity/Parse", ParseEffectivityRange),
      benchmark::RegisterBenchmark("Effectivity/Compare", CompareEffectivityRange),
      benchmark::RegisterBenchmark(
          "Effectivity/Union", ListOperation<&QIREdsEffectivityTool::ComputeUnionEffectivityRange>),
      benchmark::RegisterBenchmark(
          "Effectivity/Intersection",
          ListOperation<&QIREdsEffectivityTool::ComputeIntersectionEffectivityRange>),
      benchmark::RegisterBenchmark(
          "Effectivity/Difference",
          ListOperation<&QIREdsEffectivityTool::ComputeDifferenceEffectivityRange>),
      benchmark::RegisterBenchmark("Blanks/Encode", EncodeBlanks),
      benchmark::RegisterBenchmark("Blanks/Decode", DecodeBlanks),
      benchmark::RegisterBenchmark("String/WalkByPosition", WalkByPosition),
  };
  for (benchmark::internal::Benchmark* mark : marks) {
    for (int size : sizes) mark->Arg(size);
    mark->Unit(benchmark::kMillisecond);
    if (arguments.smoke) mark->Iterations(1);
  }
  return RunBenchmarks(arguments, gFailures);
}
