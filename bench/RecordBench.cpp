// Figures kept for the record, not held to a target: building the metadata tool, the SQL and
// dictionary XML generators over the built-in schema, and the union of effectivity ranges.
//
//   RecordBench [--smoke] [benchmark flags]   (--smoke: each benchmark once, 10 ranges only)

#include "QIREdsEffectivityTool.h"
#include "QIREdsMetadataDict.h"
#include "QIREdsMetadataTool.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A complete run over the built-in schema hands out this many UUIDs.
constexpr int kSchemaUuids = 117;

// SkipWithError alone leaves the exit status at 0; a smoke run must fail on a broken call.
int gFailures = 0;

void Fail(benchmark::State& ioState, const char* iReason)
{
  ++gFailures;
  ioState.SkipWithError(iReason);
}

// Removes its directory, and what the benchmark wrote there, on every way out.
class TempDir {
 public:
  TempDir()
  {
    char pattern[] = "/tmp/qireds-bench-XXXXXX";
    if (mkdtemp(pattern)) _path = pattern;
  }
  ~TempDir()
  {
    for (const std::string& file : _files) std::remove(file.c_str());
    if (!_path.empty()) rmdir(_path.c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  bool Ok() const { return !_path.empty(); }
  std::string File(const char* iName)
  {
    _files.push_back(_path + "/" + iName);
    return _files.back();
  }

 private:
  std::string _path;
  std::vector<std::string> _files;
};

// An existing dictionary as the generator reads it: one "INTERFACENAME" line per UUID, the
// marker followed by three characters, the standard 36-character form and two more.
bool WriteDictionaryFile(const std::string& iPath, int iUuids)
{
  std::FILE* file = std::fopen(iPath.c_str(), "w");
  if (!file) return false;
  std::fprintf(file, "PACKAGE CableNetwork\n");
  for (int i = 0; i < iUuids; ++i)
    std::fprintf(file, "  INTERFACENAME = { id=80A2B3BD-0000-%04X-383B-E498%08X };\n", i, i);
  return std::fclose(file) == 0;
}

// The generator traces its progress on standard output; the console report is kept readable
// by sending those lines to /dev/null while it runs.
class QuietStdout {
 public:
  QuietStdout()
  {
    std::fflush(stdout);
    _saved = dup(STDOUT_FILENO);
    const int sink = open("/dev/null", O_WRONLY);
    if (sink >= 0) {
      dup2(sink, STDOUT_FILENO);
      close(sink);
    }
  }
  ~QuietStdout()
  {
    std::fflush(stdout);
    if (_saved >= 0) {
      dup2(_saved, STDOUT_FILENO);
      close(_saved);
    }
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int _saved = -1;
};

void ToolConstruction(benchmark::State& ioState)
{
  for (auto _ : ioState) {
    QIREdsMetadataTool tool;
    benchmark::DoNotOptimize(&tool);
  }
}

// Runs fn with a dictionary built once, outside the timed loop.
template <class Fn>
void WithDictionary(benchmark::State& ioState, Fn fn)
{
  QIREdsMetadataDict* dictionary = new QIREdsMetadataDict();
  if (FAILED(dictionary->Initialize()))
    Fail(ioState, "the dictionary does not initialise");
  else
    fn(*dictionary);
  dictionary->Release();
}

void GenerateSQLStatements(benchmark::State& ioState)
{
  WithDictionary(ioState, [&ioState](const QIREdsMetadataDict& iDictionary) {
    QIRListValQIRUnicodeString statements;
    for (auto _ : ioState) {
      if (FAILED(iDictionary.GenerateSQLStatements(statements))) {
        Fail(ioState, "GenerateSQLStatements failed");
        return;
      }
    }
    ioState.counters["statements"] = statements.Size();
  });
}

void GenerateOrvaneMetaData(benchmark::State& ioState)
{
  TempDir directory;
  const std::string existing = directory.Ok() ? directory.File("existing.dic") : "";
  const std::string output = directory.Ok() ? directory.File("CableNetwork.xml") : "";
  if (!directory.Ok() || !WriteDictionaryFile(existing, kSchemaUuids)) {
    Fail(ioState, "cannot prepare the existing dictionary file");
    return;
  }
  WithDictionary(ioState, [&](const QIREdsMetadataDict& iDictionary) {
    const QIRListValQIRUnicodeString noNames, noUuids;
    const QuietStdout quiet;
    for (auto _ : ioState) {
      if (FAILED(iDictionary.GenerateOrvaneMetaData(existing.c_str(), noNames, noUuids,
                                                    output.c_str()))) {
        Fail(ioState, "GenerateOrvaneMetaData failed");
        return;
      }
    }
  });
}

struct RangeLists {
  QIRRawCollint FirstStarts, FirstEnds, SecondStarts, SecondEnds;
};

// The second list ascending and separate, as the union requires; the first shuffled, some of
// its ranges bridging gaps of the second and some falling into them, so that every merge
// case is taken.
RangeLists MakeRanges(int iCount)
{
  RangeLists lists;
  std::mt19937 random(20240611);  // fixed seed: every run measures the same lists
  for (int i = 0; i < iCount; ++i) {
    lists.SecondStarts.Append(20 * i + 1);
    lists.SecondEnds.Append(20 * i + 8);
  }
  std::vector<int> order(static_cast<std::size_t>(iCount));
  for (int i = 0; i < iCount; ++i) order[static_cast<std::size_t>(i)] = i;
  std::shuffle(order.begin(), order.end(), random);
  std::uniform_int_distribution<int> offset(0, 19), length(0, 25);
  for (int i : order) {
    const int start = 20 * i + 1 + offset(random);
    lists.FirstStarts.Append(start);
    lists.FirstEnds.Append(start + length(random));
  }
  return lists;
}

void ComputeUnionEffectivityRange(benchmark::State& ioState)
{
  const RangeLists lists = MakeRanges(static_cast<int>(ioState.range(0)));
  QIREdsEffectivityTool tool;
  QIRRawCollint starts, ends;
  for (auto _ : ioState) {
    if (FAILED(tool.ComputeUnionEffectivityRange(lists.FirstStarts, lists.FirstEnds,
                                                 lists.SecondStarts, lists.SecondEnds, starts,
                                                 ends))) {
      Fail(ioState, "ComputeUnionEffectivityRange failed");
      return;
    }
  }
  ioState.counters["united"] = starts.Size();
}

}  // namespace

int main(int argc, char** argv)
{
  bool smoke = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0)
      smoke = true;
    else
      args.push_back(argv[i]);
  }
  std::vector<benchmark::internal::Benchmark*> marks = {
      benchmark::RegisterBenchmark("MetadataTool/Construct", ToolConstruction),
      benchmark::RegisterBenchmark("MetadataDict/GenerateSQLStatements", GenerateSQLStatements),
      benchmark::RegisterBenchmark("MetadataDict/GenerateOrvaneMetaData", GenerateOrvaneMetaData),
  };
  benchmark::internal::Benchmark* unite = benchmark::RegisterBenchmark(
      "EffectivityTool/ComputeUnionEffectivityRange", ComputeUnionEffectivityRange);
  for (int ranges : smoke ? std::vector<int>{10} : std::vector<int>{10, 100, 1000})
    unite->Arg(ranges);
  marks.push_back(unite);
  for (benchmark::internal::Benchmark* mark : marks) {
    mark->Unit(benchmark::kMicrosecond);
    if (smoke) mark->Iterations(1);
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return gFailures == 0 ? 0 : 1;
}
