// Job documents of many jobs through QIREdsXMLParser, side by side with the same document
// built, written, parsed and walked with libxml2 alone: the floor our XML layer can reach.
//
//   JobDocumentBench [--smoke] [benchmark flags]   the comparison at N = 1,000, 10,000, 100,000
//                                                  (--smoke: N = 1,000 once)
//   JobDocumentBench --peak workload|baseline N    one pass at N, for /usr/bin/time -v

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "QIREdsXMLParser.h"

namespace {

constexpr int kInputs = 5;
constexpr int kContextInputs = 2;
constexpr int kOutputs = 5;
constexpr int kReportRows = 2;
constexpr int kDeleteErrors = 1;
constexpr const char* kRootName = "EDB_JobList";

// Every value is made on the fly, the same bytes on both sides, so that neither side pays
// for a prepared copy of the workload and peak memory holds only the documents.
class Text {
 public:
  const char* Id(int iJob) { return Format("JOB-%07d", iJob); }
  const char* Input(int iJob) { return Format("route cable set %d", iJob % 97); }
  const char* Name(const char* iKind, int iPart) { return Format("%s%d", iKind, iPart); }
  const char* Value(int iJob, int iPart) { return Format("V%07d-%02d", iJob, iPart); }
  const char* Object(int iJob) { return Format("80A2B3BD-0000-520C-%016d", iJob); }

 private:
  template <class... Args>
  const char* Format(const char* iFormat, Args... iArgs) {
    std::snprintf(_buffer, sizeof _buffer, iFormat, iArgs...);
    return _buffer;
  }
  char _buffer[64];
};

enum class Shape { Value, Row, Reference };
struct PartKind {
  const char* Tag;
  const char* Attributes[3];
  int Count;
  Shape Form;
  const char* NamePrefix;  // for Shape::Value
  const char* Type;        // for Shape::Value
};
// The per-job parts in the order they are written, with the attributes each one carries.
const PartKind kParts[] = {
    {"EDB_JobInData", {"EDB_iAttrName", "EDB_iAttrValue", "EDB_iAttrType"}, kInputs,
     Shape::Value, "InAttr", "String"},
    {"EDB_JobContextInData", {"EDB_Ctxt_iAttrName", "EDB_Ctxt_iAttrValue", "EDB_Ctxt_iAttrType"},
     kContextInputs, Shape::Value, "CtxAttr", "String"},
    {"EDB_JobOutData", {"EDB_oAttrName", "EDB_oAttrValue", "EDB_oAttrType"}, kOutputs,
     Shape::Value, "OutAttr", "Integer"},
    {"EDB_JobReportOutData", {"EDB_JobReportOneRow", nullptr, nullptr}, kReportRows, Shape::Row,
     nullptr, nullptr},
    {"EDB_JobDeleteErrOutData", {"EDB_oRefClassName", "EDB_oRefCstName", "EDB_oRefObject"},
     kDeleteErrors, Shape::Reference, nullptr, nullptr},
};
const PartKind& kInput = kParts[0];
const PartKind& kContextInput = kParts[1];
const PartKind& kOutput = kParts[2];
constexpr const char* kRefClass = "qm41862.Cable_Instance";
constexpr const char* kRefConstraint = "CIC_WP";
constexpr long kValuesPerJob = 3 + 3 * (kInputs + kContextInputs + kOutputs + kDeleteErrors) +
                               kReportRows;

// Seconds spent in each step of one pass, and what the pass read back.
struct Pass {
  double Write = 0, Serialise = 0, Parse = 0, Read = 0;
  std::size_t Bytes = 0;
  long Values = 0;
  const char* Error = nullptr;
};

// SkipWithError alone leaves the exit status at 0; a smoke run must fail on a broken pass.
int gFailures = 0;

void Fail(benchmark::State& ioState, const char* iReason) {
  ++gFailures;
  ioState.SkipWithError(iReason);
}

// Processor time of this thread, as the benchmark's own CPU column counts it: on a shared
// machine, wall time mostly measures the neighbours.
class Stopwatch {
 public:
  double Lap() {
    const double now = Now();
    const double seconds = now - _last;
    _last = now;
    return seconds;
  }

 private:
  static double Now() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + 1e-9 * static_cast<double>(time.tv_nsec);
  }
  double _last = Now();
};

bool WriteJobs(QIREdsXMLParser& ioDocument, int iJobs) {
  Text text, name, value;
  if (FAILED(ioDocument.Init(kRootName, "1.0"))) return false;
  QIRListValQIRUnicodeString rows;
  for (int job = 0; job < iJobs; ++job) {
    const QIRUnicodeString id = text.Id(job);
    bool ok = SUCCEEDED(ioDocument.AppendJobDefinition(id, "CableRouting", text.Input(job)));
    for (int k = 0; ok && k < kInputs; ++k)
      ok = SUCCEEDED(ioDocument.InsertJobInput(id, name.Name(kInput.NamePrefix, k),
                                               value.Value(job, k), kInput.Type));
    for (int k = 0; ok && k < kContextInputs; ++k)
      ok = SUCCEEDED(ioDocument.InsertJobContextInput(id, name.Name(kContextInput.NamePrefix, k),
                                                      value.Value(job, k), kContextInput.Type));
    for (int k = 0; ok && k < kOutputs; ++k)
      ok = SUCCEEDED(ioDocument.InsertJobOutput(id, name.Name(kOutput.NamePrefix, k),
                                                value.Value(job, k), kOutput.Type));
    rows.RemoveAll();
    for (int k = 0; k < kReportRows; ++k) rows.Append(value.Value(job, k));
    ok = ok && SUCCEEDED(ioDocument.InsertJobReportOutput(id, rows));
    for (int k = 0; ok && k < kDeleteErrors; ++k)
      ok = SUCCEEDED(ioDocument.InsertJobDeleteErrOutput(id, kRefClass, kRefConstraint,
                                                         text.Object(job)));
    if (!ok) return false;
  }
  return true;
}

// Reads every job back the way a receiver does: the definitions, then each job's parts by
// identifier. Returns the number of values read, -1 on a failed call.
long ReadJobs(const QIREdsXMLParser& iDocument) {
  QIRListValQIRUnicodeString ids, types, inputs;
  if (FAILED(iDocument.GetJobDefinition(ids, types, inputs))) return -1;
  long values = ids.Size() + types.Size() + inputs.Size();
  for (int i = 1; i <= ids.Size(); ++i) {
    const QIRUnicodeString& id = ids[i];
    QIRListValQIRUnicodeString l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, l11, l12, rows;
    if (FAILED(iDocument.GetJobInput(id, l1, l2, l3)) ||
        FAILED(iDocument.GetJobContextInput(id, l4, l5, l6)) ||
        FAILED(iDocument.GetJobOutput(id, l7, l8, l9)) ||
        FAILED(iDocument.GetJobReportOutput(id, rows)) ||
        FAILED(iDocument.GetJobDeleteErrOutput(id, l10, l11, l12)))
      return -1;
    for (const QIRListValQIRUnicodeString* list : {&l1, &l2, &l3, &l4, &l5, &l6, &l7, &l8, &l9,
                                                   &l10, &l11, &l12, &rows})
      values += list->Size();
  }
  return values;
}

// W(N): the library's writer, GenerateStream, LoadStream into a new object, the readers.
Pass RunWorkload(int iJobs) {
  Pass pass;
  Stopwatch watch;
  std::unique_ptr<_SEQUENCE_octet> stream;
  {
    // The writer goes once its stream is out, as a sender that is done with it would let it.
    QIREdsXMLParser writer;
    if (!WriteJobs(writer, iJobs)) {
      pass.Error = "a writer failed";
      return pass;
    }
    pass.Write = watch.Lap();
    _SEQUENCE_octet* bytes = nullptr;
    if (FAILED(writer.GenerateStream(&bytes)) || !bytes) {
      pass.Error = "GenerateStream failed";
      return pass;
    }
    stream.reset(bytes);
    pass.Bytes = stream->length();
  }
  pass.Serialise = watch.Lap();
  {
    QIREdsXMLParser reader;
    const HRESULT loaded = reader.LoadStream(stream.get(), 0, nullptr);
    stream.reset();
    if (FAILED(loaded)) {
      pass.Error = "LoadStream failed";
      return pass;
    }
    pass.Parse = watch.Lap();
    pass.Values = ReadJobs(reader);
    if (pass.Values < 0) pass.Error = "a reader failed";
  }
  // The reader's document is freed within the read step, as the baseline frees its tree.
  pass.Read = watch.Lap();
  return pass;
}

const xmlChar* X(const char* iText) { return reinterpret_cast<const xmlChar*>(iText); }

void SetProp(xmlNodePtr iNode, const char* iName, const char* iValue) {
  xmlSetProp(iNode, X(iName), X(iValue));
}

xmlDocPtr BuildWithLibxml2(int iJobs) {
  Text text, name, value;
  xmlDocPtr document = xmlNewDoc(X("1.0"));
  xmlNodePtr root = xmlNewDocNode(document, nullptr, X(kRootName), nullptr);
  xmlDocSetRootElement(document, root);
  SetProp(root, "version", "1.0");
  for (int job = 0; job < iJobs; ++job) {
    // The job's node is kept at hand, where the library looks the job up by identifier.
    xmlNodePtr node = xmlNewChild(root, nullptr, X("EDB_Job"), nullptr);
    SetProp(node, "EDB_Id", text.Id(job));
    SetProp(node, "EDB_Type", "CableRouting");
    SetProp(node, "EDB_JobInput", text.Input(job));
    for (const PartKind& kind : kParts) {
      for (int k = 0; k < kind.Count; ++k) {
        xmlNodePtr part = xmlNewChild(node, nullptr, X(kind.Tag), nullptr);
        switch (kind.Form) {
          case Shape::Row:
            SetProp(part, kind.Attributes[0], value.Value(job, k));
            break;
          case Shape::Reference:
            SetProp(part, kind.Attributes[0], kRefClass);
            SetProp(part, kind.Attributes[1], kRefConstraint);
            SetProp(part, kind.Attributes[2], text.Object(job));
            break;
          case Shape::Value:
            SetProp(part, kind.Attributes[0], name.Name(kind.NamePrefix, k));
            SetProp(part, kind.Attributes[1], value.Value(job, k));
            SetProp(part, kind.Attributes[2], kind.Type);
            break;
        }
      }
    }
  }
  return document;
}

// Every attribute of every job read with xmlGetProp, walking the tree by pointer.
long WalkWithLibxml2(xmlDocPtr iDocument) {
  long values = 0;
  auto read = [&values](xmlNodePtr iNode, const char* iName) {
    if (xmlChar* value = xmlGetProp(iNode, X(iName))) {
      benchmark::DoNotOptimize(value[0]);
      xmlFree(value);
      ++values;
    }
  };
  const xmlNodePtr root = xmlDocGetRootElement(iDocument);
  for (xmlNodePtr job = root ? root->children : nullptr; job; job = job->next) {
    if (job->type != XML_ELEMENT_NODE || !xmlStrEqual(job->name, X("EDB_Job"))) continue;
    read(job, "EDB_Id");
    read(job, "EDB_Type");
    read(job, "EDB_JobInput");
    for (xmlNodePtr part = job->children; part; part = part->next) {
      if (part->type != XML_ELEMENT_NODE) continue;
      for (const PartKind& kind : kParts) {
        if (!xmlStrEqual(part->name, X(kind.Tag))) continue;
        for (const char* attribute : kind.Attributes)
          if (attribute) read(part, attribute);
        break;
      }
    }
  }
  return values;
}

// B(N): the same document through libxml2's own API.
Pass RunBaseline(int iJobs) {
  Pass pass;
  Stopwatch watch;
  xmlDocPtr built = BuildWithLibxml2(iJobs);
  pass.Write = watch.Lap();
  xmlChar* text = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(built, &text, &size, "UTF-8", 1);
  xmlFreeDoc(built);
  pass.Bytes = static_cast<std::size_t>(size);
  pass.Serialise = watch.Lap();
  xmlDocPtr parsed = text ? xmlReadMemory(reinterpret_cast<const char*>(text), size, "Buffer",
                                          "UTF-8", XML_PARSE_NONET)
                          : nullptr;
  xmlFree(text);
  if (!parsed) {
    pass.Error = "libxml2 could not read its own text";
    return pass;
  }
  pass.Parse = watch.Lap();
  pass.Values = WalkWithLibxml2(parsed);
  xmlFreeDoc(parsed);
  pass.Read = watch.Lap();
  return pass;
}

void Measure(benchmark::State& ioState, Pass (*iRun)(int)) {
  const int jobs = static_cast<int>(ioState.range(0));
  Pass total;
  for (auto _ : ioState) {
    // Freed pages go back to the system first, so that no pass inherits the heap of the one
    // before it and both sides pay their own page faults.
    ioState.PauseTiming();
    malloc_trim(0);
    ioState.ResumeTiming();
    const Pass pass = iRun(jobs);
    if (pass.Error || pass.Values != kValuesPerJob * jobs) {
      Fail(ioState, pass.Error ? pass.Error : "values lost on the way");
      return;
    }
    total.Write += pass.Write;
    total.Serialise += pass.Serialise;
    total.Parse += pass.Parse;
    total.Read += pass.Read;
    total.Bytes = pass.Bytes;
  }
  using benchmark::Counter;
  ioState.counters["write_s"] = Counter(total.Write, Counter::kAvgIterations);
  ioState.counters["serialise_s"] = Counter(total.Serialise, Counter::kAvgIterations);
  ioState.counters["parse_s"] = Counter(total.Parse, Counter::kAvgIterations);
  ioState.counters["read_s"] = Counter(total.Read, Counter::kAvgIterations);
  ioState.counters["bytes"] = Counter(static_cast<double>(total.Bytes));
  ioState.counters["jobs_per_s"] =
      Counter(static_cast<double>(jobs), Counter::kIsIterationInvariantRate);
}

int RunPeak(const char* iSide, const char* iJobs) {
  const int jobs = std::atoi(iJobs);
  const bool workload = std::strcmp(iSide, "workload") == 0;
  if (jobs <= 0 || (!workload && std::strcmp(iSide, "baseline") != 0)) {
    std::fprintf(stderr, "usage: JobDocumentBench --peak workload|baseline N\n");
    return 2;
  }
  const Pass pass = workload ? RunWorkload(jobs) : RunBaseline(jobs);
  if (pass.Error || pass.Values != kValuesPerJob * jobs) {
    std::fprintf(stderr, "JobDocumentBench: %s\n", pass.Error ? pass.Error : "values lost");
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s %d jobs: %.3f s, peak resident %ld KiB\n", iSide, jobs,
              pass.Write + pass.Serialise + pass.Parse + pass.Read, usage.ru_maxrss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) return RunPeak(argv[2], argv[3]);
  bool smoke = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0)
      smoke = true;
    else
      args.push_back(argv[i]);
  }
  const std::vector<int> sizes = smoke ? std::vector<int>{1000}
                                       : std::vector<int>{1000, 10000, 100000};
  // Baseline and workload of one size run next to each other, so a busy machine skews both.
  for (int jobs : sizes) {
    for (const auto& [name, run] : {std::pair<const char*, Pass (*)(int)>{"Baseline", RunBaseline},
                                    {"Workload", RunWorkload}}) {
      benchmark::internal::Benchmark* mark =
          benchmark::RegisterBenchmark((std::string("JobDocument/") + name).c_str(),
                                       [run = run](benchmark::State& s) { Measure(s, run); });
      mark->Arg(jobs)->Unit(benchmark::kMillisecond);
      if (smoke) mark->Iterations(1);
    }
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return gFailures == 0 ? 0 : 1;
}
