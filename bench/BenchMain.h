#ifndef BenchMain_H
#define BenchMain_H
// What every benchmark program's main does: "--smoke" runs each benchmark once at its smallest
// size, and a call that failed on the way makes the exit status non-zero.

#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

struct BenchArguments {
  bool smoke = false;
  std::vector<char*> rest;  // for Google Benchmark
};

inline BenchArguments ReadBenchArguments(int argc, char** argv)
{
  BenchArguments arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0)
      arguments.smoke = true;
    else
      arguments.rest.push_back(argv[i]);
  }
  return arguments;
}

// Runs what is registered; iFailures counts the calls that failed during the run.
inline int RunBenchmarks(BenchArguments& ioArguments, const int& iFailures)
{
  int count = static_cast<int>(ioArguments.rest.size());
  benchmark::Initialize(&count, ioArguments.rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, ioArguments.rest.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return iFailures == 0 ? 0 : 1;
}

#endif
