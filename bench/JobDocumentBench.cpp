// Job documents of many jobs through QIREdsXMLParser, side by side with the same document
// built, written, parsed and walked by hand with libxml2 (the XML engine beneath the library),
// pugixml and tinyxml2: the floors a document held in memory can reach.
//
//   JobDocumentBench [--smoke] [benchmark flags]   the comparison at N = 1,000, 10,000, 100,000,
//                                                  and a validated load at N = 10,000
//                                                  (--smoke: N = 1,000 once)
//   JobDocumentBench --peak SIDE N                 one pass of one side at N, for
//                                                  /usr/bin/time -v; SIDE is workload,
//                                                  baseline, pugixml or tinyxml2
//   JobDocumentBench --write FILE N                the library's document of N jobs, as a file

#include "QIREdsXMLParser.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <strings.h>
#include <sys/resource.h>
#include <time.h>
#include <tinyxml2.h>
#include <vector>

namespace {

constexpr int kInputs = 5;
constexpr int kContextInputs = 2;
constexpr int kOutputs = 5;
constexpr int kReportRows = 2;
constexpr int kDeleteErrors = 1;
constexpr int kMostParts = 5;  // of any one kind in a job
constexpr const char* kRootName = "EDB_JobList";
constexpr const char* kJobTag = "EDB_Job";
constexpr const char* kJobAttributes[3] = {"EDB_Id", "EDB_Type", "EDB_JobInput"};
constexpr const char* kJobType = "CableRouting";

enum class Shape { Value, Row, Reference };
struct PartKind {
  const char* Tag;
  const char* Attributes[3];
  int Count;
  Shape Form;
  const char* Names[kMostParts];  // for Shape::Value
  const char* Type;               // for Shape::Value
};
// The per-job parts in the order they are written, with the attributes each one carries.
const PartKind kParts[] = {
    {"EDB_JobInData",
     {"EDB_iAttrName", "EDB_iAttrValue", "EDB_iAttrType"},
     kInputs,
     Shape::Value,
     {"InAttr0", "InAttr1", "InAttr2", "InAttr3", "InAttr4"},
     "String"},
    {"EDB_JobContextInData",
     {"EDB_Ctxt_iAttrName", "EDB_Ctxt_iAttrValue", "EDB_Ctxt_iAttrType"},
     kContextInputs,
     Shape::Value,
     {"CtxAttr0", "CtxAttr1"},
     "String"},
    {"EDB_JobOutData",
     {"EDB_oAttrName", "EDB_oAttrValue", "EDB_oAttrType"},
     kOutputs,
     Shape::Value,
     {"OutAttr0", "OutAttr1", "OutAttr2", "OutAttr3", "OutAttr4"},
     "Integer"},
    {"EDB_JobReportOutData",
     {"EDB_JobReportOneRow", nullptr, nullptr},
     kReportRows,
     Shape::Row,
     {},
     nullptr},
    {"EDB_JobDeleteErrOutData",
     {"EDB_oRefClassName", "EDB_oRefCstName", "EDB_oRefObject"},
     kDeleteErrors,
     Shape::Reference,
     {},
     nullptr},
};
constexpr int kKinds = sizeof kParts / sizeof kParts[0];
const PartKind& kInput = kParts[0];
const PartKind& kContextInput = kParts[1];
const PartKind& kOutput = kParts[2];
const PartKind& kReport = kParts[3];
const PartKind& kDeleteError = kParts[4];
constexpr const char* kRefClass = "qm41862.Cable_Instance";
constexpr const char* kRefConstraint = "CIC_WP";
constexpr long kValuesPerJob =
    3 + 3 * (kInputs + kContextInputs + kOutputs + kDeleteErrors) + kReportRows;

// One job's values, formatted once when the job is written and once more when it is read
// back: every side writes the same bytes and compares what it reads with them, and no side
// pays for a prepared copy of the workload, so that peak memory holds only the documents.
class JobValues {
 public:
  explicit JobValues(int iJob)
  {
    std::snprintf(_id, sizeof _id, "JOB-%07d", iJob);
    std::snprintf(_input, sizeof _input, "route cable set %d", iJob % 97);
    std::snprintf(_object, sizeof _object, "80A2B3BD-0000-520C-%016d", iJob);
    for (int k = 0; k < kMostParts; ++k)
      std::snprintf(_values[k], sizeof _values[k], "V%07d-%02d", iJob, k);
  }
  const char* Id() const { return _id; }
  const char* Input() const { return _input; }
  const char* Value(int iPart) const { return _values[iPart]; }
  const char* Object() const { return _object; }

  // Attribute iAttribute of the job element.
  const char* Job(int iAttribute) const
  {
    const char* const values[] = {_id, kJobType, _input};
    return values[iAttribute];
  }
  // Attribute iAttribute of the iPart-th part of kind iKind.
  const char* Part(const PartKind& iKind, int iPart, int iAttribute) const
  {
    switch (iKind.Form) {
      case Shape::Row:
        return _values[iPart];
      case Shape::Reference: {
        const char* const values[] = {kRefClass, kRefConstraint, _object};
        return values[iAttribute];
      }
      case Shape::Value:
        break;
    }
    const char* const values[] = {iKind.Names[iPart], _values[iPart], iKind.Type};
    return values[iAttribute];
  }

 private:
  char _id[16];
  char _input[32];
  char _object[40];
  char _values[kMostParts][16];
};

// Counts the values a side reads back and notes any that differs from what was written.
class Checker {
 public:
  void Check(const char* iFound, const char* iWritten)
  {
    if (iFound && std::strcmp(iFound, iWritten) == 0)
      ++_values;
    else
      _changed = true;
  }
  void Miss() { _changed = true; }
  // The number of values read, -1 when one was missing or changed.
  long Result() const { return _changed ? -1 : _values; }

 private:
  long _values = 0;
  bool _changed = false;
};

// Where a walk by hand is within one job: the part kind of an element and how many of that
// kind came before it.
class PartCounter {
 public:
  // The kind whose tag is iTag, or null (and a miss) for an unknown element or one too many.
  const PartKind* Next(const char* iTag, int& oPart, Checker& ioChecker)
  {
    for (int c = 0; c < kKinds; ++c) {
      if (std::strcmp(iTag, kParts[c].Tag) != 0) continue;
      oPart = _seen[c]++;
      if (oPart < kParts[c].Count) return &kParts[c];
      break;
    }
    ioChecker.Miss();
    return nullptr;
  }

 private:
  int _seen[kKinds] = {};
};

// Seconds spent in each step of one pass, and what the pass read back.
struct Pass {
  double Write = 0, Serialise = 0, Parse = 0, Read = 0;
  std::size_t Bytes = 0;
  long Values = 0;
  const char* Error = nullptr;
};

// SkipWithError alone leaves the exit status at 0; a smoke run must fail on a broken pass.
int gFailures = 0;

void Fail(benchmark::State& ioState, const char* iReason)
{
  ++gFailures;
  ioState.SkipWithError(iReason);
}

// Processor time of this thread, as the benchmark's own CPU column counts it: on a shared
// machine, wall time mostly measures the neighbours.
class Stopwatch {
 public:
  double Lap()
  {
    const double now = Now();
    const double seconds = now - _last;
    _last = now;
    return seconds;
  }

 private:
  static double Now()
  {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) + 1e-9 * static_cast<double>(time.tv_nsec);
  }
  double _last = Now();
};

bool WriteJobs(QIREdsXMLParser& ioDocument, int iJobs, const char* iRootName = kRootName)
{
  if (FAILED(ioDocument.Init(iRootName, "1.0"))) return false;
  QIRListValQIRUnicodeString rows;
  for (int job = 0; job < iJobs; ++job) {
    const JobValues values(job);
    const QIRUnicodeString id = values.Id();
    bool ok = SUCCEEDED(ioDocument.AppendJobDefinition(id, kJobType, values.Input()));
    for (int k = 0; ok && k < kInputs; ++k)
      ok = SUCCEEDED(ioDocument.InsertJobInput(id, kInput.Names[k], values.Value(k), kInput.Type));
    for (int k = 0; ok && k < kContextInputs; ++k)
      ok = SUCCEEDED(ioDocument.InsertJobContextInput(id, kContextInput.Names[k], values.Value(k),
                                                      kContextInput.Type));
    for (int k = 0; ok && k < kOutputs; ++k)
      ok = SUCCEEDED(
          ioDocument.InsertJobOutput(id, kOutput.Names[k], values.Value(k), kOutput.Type));
    rows.RemoveAll();
    for (int k = 0; k < kReportRows; ++k) rows.Append(values.Value(k));
    ok = ok && SUCCEEDED(ioDocument.InsertJobReportOutput(id, rows));
    for (int k = 0; ok && k < kDeleteErrors; ++k)
      ok = SUCCEEDED(
          ioDocument.InsertJobDeleteErrOutput(id, kRefClass, kRefConstraint, values.Object()));
    if (!ok) return false;
  }
  return true;
}

// One list per attribute of a part kind, as a per-job reader fills them.
void CheckLists(const JobValues& iValues, const PartKind& iKind,
                const QIRListValQIRUnicodeString* const (&iLists)[3], Checker& ioChecker)
{
  for (int a = 0; a < 3 && iKind.Attributes[a]; ++a) {
    const QIRListValQIRUnicodeString& list = *iLists[a];
    if (list.Size() != iKind.Count) ioChecker.Miss();
    for (int k = 0; k < list.Size() && k < iKind.Count; ++k)
      ioChecker.Check(list[k + 1].ConvertToChar(), iValues.Part(iKind, k, a));
  }
}

// Reads every job back the way a receiver does: the definitions, then each job's parts by
// identifier. Returns the number of values read, -1 on a failed call or a changed value.
long ReadJobs(const QIREdsXMLParser& iDocument)
{
  QIRListValQIRUnicodeString ids, types, inputs;
  if (FAILED(iDocument.GetJobDefinition(ids, types, inputs))) return -1;
  if (types.Size() != ids.Size() || inputs.Size() != ids.Size()) return -1;
  Checker checker;
  for (int i = 1; i <= ids.Size(); ++i) {
    const JobValues values(i - 1);
    const QIRUnicodeString& id = ids[i];
    checker.Check(id.ConvertToChar(), values.Id());
    checker.Check(types[i].ConvertToChar(), kJobType);
    checker.Check(inputs[i].ConvertToChar(), values.Input());
    QIRListValQIRUnicodeString l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, l11, l12, rows;
    if (FAILED(iDocument.GetJobInput(id, l1, l2, l3)) ||
        FAILED(iDocument.GetJobContextInput(id, l4, l5, l6)) ||
        FAILED(iDocument.GetJobOutput(id, l7, l8, l9)) ||
        FAILED(iDocument.GetJobReportOutput(id, rows)) ||
        FAILED(iDocument.GetJobDeleteErrOutput(id, l10, l11, l12)))
      return -1;
    CheckLists(values, kInput, {&l1, &l2, &l3}, checker);
    CheckLists(values, kContextInput, {&l4, &l5, &l6}, checker);
    CheckLists(values, kOutput, {&l7, &l8, &l9}, checker);
    CheckLists(values, kReport, {&rows, nullptr, nullptr}, checker);
    CheckLists(values, kDeleteError, {&l10, &l11, &l12}, checker);
  }
  return checker.Result();
}

// W(N): the library's writer, GenerateStream, LoadStream into a new object, the readers.
Pass RunWorkload(int iJobs)
{
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
  }
  // The reader's document is freed within the read step, as the other sides free theirs.
  pass.Read = watch.Lap();
  return pass;
}

// Builds the document through an element factory and an attribute setter of one library:
// every side writes the same elements, attributes and values in the same order.
template <class Node, class NewChild, class SetAttribute>
void BuildJobs(Node iRoot, int iJobs, NewChild iNewChild, SetAttribute iSet)
{
  for (int job = 0; job < iJobs; ++job) {
    const JobValues values(job);
    Node node = iNewChild(iRoot, kJobTag);
    for (int a = 0; a < 3; ++a) iSet(node, kJobAttributes[a], values.Job(a));
    for (const PartKind& kind : kParts) {
      for (int k = 0; k < kind.Count; ++k) {
        Node part = iNewChild(node, kind.Tag);
        for (int a = 0; a < 3 && kind.Attributes[a]; ++a)
          iSet(part, kind.Attributes[a], values.Part(kind, k, a));
      }
    }
  }
}

// Checks the job elements of a walk by hand, in document order: iJobs yields each job's
// element, iParts each element child of a job, iName an element's name and iGet an
// attribute's value or null.
template <class Node, class FirstJob, class NextJob, class FirstPart, class NextPart, class Name,
          class Get>
long CheckJobs(Node iRoot, FirstJob iFirstJob, NextJob iNextJob, FirstPart iFirstPart,
               NextPart iNextPart, Name iName, Get iGet)
{
  Checker checker;
  int job = 0;
  for (Node node = iFirstJob(iRoot); node; node = iNextJob(node), ++job) {
    const JobValues values(job);
    for (int a = 0; a < 3; ++a) checker.Check(iGet(node, kJobAttributes[a]), values.Job(a));
    PartCounter counter;
    for (Node part = iFirstPart(node); part; part = iNextPart(part)) {
      int k = 0;
      const PartKind* kind = counter.Next(iName(part), k, checker);
      for (int a = 0; kind && a < 3 && kind->Attributes[a]; ++a)
        checker.Check(iGet(part, kind->Attributes[a]), values.Part(*kind, k, a));
    }
  }
  return checker.Result();
}

const xmlChar* X(const char* iText)
{
  return reinterpret_cast<const xmlChar*>(iText);
}
const char* C(const xmlChar* iText)
{
  return reinterpret_cast<const char*>(iText);
}

xmlNodePtr NextElement(xmlNodePtr iNode)
{
  while (iNode && iNode->type != XML_ELEMENT_NODE) iNode = iNode->next;
  return iNode;
}

// B(N): the same document through libxml2's own API, read with xmlGetProp.
Pass RunBaseline(int iJobs)
{
  Pass pass;
  Stopwatch watch;
  xmlDocPtr built = xmlNewDoc(X("1.0"));
  xmlNodePtr root = xmlNewDocNode(built, nullptr, X(kRootName), nullptr);
  xmlDocSetRootElement(built, root);
  xmlSetProp(root, X("version"), X("1.0"));
  BuildJobs(
      root, iJobs,
      [](xmlNodePtr iParent, const char* iTag) {
        return xmlNewChild(iParent, nullptr, X(iTag), nullptr);
      },
      [](xmlNodePtr iNode, const char* iName, const char* iValue) {
        xmlSetProp(iNode, X(iName), X(iValue));
      });
  pass.Write = watch.Lap();
  xmlChar* text = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(built, &text, &size, "UTF-8", 1);
  xmlFreeDoc(built);
  pass.Bytes = static_cast<std::size_t>(size);
  pass.Serialise = watch.Lap();
  xmlDocPtr parsed =
      text ? xmlReadMemory(C(text), size, "Buffer", "UTF-8", XML_PARSE_NONET) : nullptr;
  xmlFree(text);
  if (!parsed) {
    pass.Error = "libxml2 could not read its own text";
    return pass;
  }
  pass.Parse = watch.Lap();
  // xmlGetProp hands out a copy: each value read is freed after its check.
  std::unique_ptr<xmlChar, void (*)(void*)> held(nullptr, xmlFree);
  pass.Values = CheckJobs(
      xmlDocGetRootElement(parsed),
      [](xmlNodePtr iRoot) { return iRoot ? NextElement(iRoot->children) : nullptr; },
      [](xmlNodePtr iNode) { return NextElement(iNode->next); },
      [](xmlNodePtr iJob) { return NextElement(iJob->children); },
      [](xmlNodePtr iNode) { return NextElement(iNode->next); },
      [](xmlNodePtr iNode) { return C(iNode->name); },
      [&held](xmlNodePtr iNode, const char* iName) {
        held.reset(xmlGetProp(iNode, X(iName)));
        return C(held.get());
      });
  held.reset();
  xmlFreeDoc(parsed);
  pass.Read = watch.Lap();
  return pass;
}

// Collects pugixml's output in memory, as a sender holding the text would.
class StringWriter final : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& oText) : _text(oText) {}
  void write(const void* iData, size_t iSize) override
  {
    _text.append(static_cast<const char*>(iData), iSize);
  }

 private:
  std::string& _text;
};

// P(N): the same document through pugixml, indented as the library writes it.
Pass RunPugixml(int iJobs)
{
  Pass pass;
  Stopwatch watch;
  std::string text;
  {
    pugi::xml_document built;
    pugi::xml_node declaration = built.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");
    pugi::xml_node root = built.append_child(kRootName);
    root.append_attribute("version").set_value("1.0");
    BuildJobs(
        root, iJobs,
        [](pugi::xml_node iParent, const char* iTag) { return iParent.append_child(iTag); },
        [](pugi::xml_node iNode, const char* iName, const char* iValue) {
          iNode.append_attribute(iName).set_value(iValue);
        });
    pass.Write = watch.Lap();
    StringWriter writer(text);
    built.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    pass.Bytes = text.size();
  }
  pass.Serialise = watch.Lap();
  pugi::xml_document parsed;
  const pugi::xml_parse_result result =
      parsed.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
  std::string().swap(text);
  if (!result) {
    pass.Error = "pugixml could not read its own text";
    return pass;
  }
  pass.Parse = watch.Lap();
  pass.Values = CheckJobs(
      parsed.document_element(), [](pugi::xml_node iRoot) { return iRoot.child(kJobTag); },
      [](pugi::xml_node iNode) { return iNode.next_sibling(kJobTag); },
      [](pugi::xml_node iJob) {
        return iJob.find_child(
            [](pugi::xml_node iNode) { return iNode.type() == pugi::node_element; });
      },
      [](pugi::xml_node iNode) {
        do iNode = iNode.next_sibling();
        while (iNode && iNode.type() != pugi::node_element);
        return iNode;
      },
      [](pugi::xml_node iNode) { return iNode.name(); },
      [](pugi::xml_node iNode, const char* iName) -> const char* {
        const pugi::xml_attribute attribute = iNode.attribute(iName);
        return attribute ? attribute.value() : nullptr;
      });
  parsed.reset();
  pass.Read = watch.Lap();
  return pass;
}

// tinyxml2 indents by four spaces; the library and the other sides by two.
class TwoSpacePrinter final : public tinyxml2::XMLPrinter {
 protected:
  void PrintSpace(int iDepth) override
  {
    for (int i = 0; i < iDepth; ++i) Write("  ", 2);
  }
};

// T(N): the same document through tinyxml2.
Pass RunTinyxml2(int iJobs)
{
  using tinyxml2::XMLElement;
  Pass pass;
  Stopwatch watch;
  auto printer = std::make_unique<TwoSpacePrinter>();
  {
    tinyxml2::XMLDocument built;
    built.InsertEndChild(built.NewDeclaration());
    XMLElement* root = built.NewElement(kRootName);
    built.InsertEndChild(root);
    root->SetAttribute("version", "1.0");
    BuildJobs(
        root, iJobs,
        [&built](XMLElement* iParent, const char* iTag) {
          return static_cast<XMLElement*>(iParent->InsertEndChild(built.NewElement(iTag)));
        },
        [](XMLElement* iNode, const char* iName, const char* iValue) {
          iNode->SetAttribute(iName, iValue);
        });
    pass.Write = watch.Lap();
    built.Print(printer.get());
    pass.Bytes = static_cast<std::size_t>(printer->CStrSize() - 1);  // less its NUL
  }
  pass.Serialise = watch.Lap();
  tinyxml2::XMLDocument parsed;
  const tinyxml2::XMLError result = parsed.Parse(printer->CStr(), pass.Bytes);
  printer.reset();
  if (result != tinyxml2::XML_SUCCESS || !parsed.RootElement()) {
    pass.Error = "tinyxml2 could not read its own text";
    return pass;
  }
  pass.Parse = watch.Lap();
  pass.Values = CheckJobs(
      parsed.RootElement(), [](XMLElement* iRoot) { return iRoot->FirstChildElement(kJobTag); },
      [](XMLElement* iNode) { return iNode->NextSiblingElement(kJobTag); },
      [](XMLElement* iJob) { return iJob->FirstChildElement(); },
      [](XMLElement* iNode) { return iNode->NextSiblingElement(); },
      [](XMLElement* iNode) { return iNode->Name(); },
      [](XMLElement* iNode, const char* iName) { return iNode->Attribute(iName); });
  parsed.Clear();
  pass.Read = watch.Lap();
  return pass;
}

// The library's text of iJobs jobs under the root the job definition declares, with the
// document type line that a validating receiver resolves; empty when it cannot be written.
std::string ValidatedText(int iJobs)
{
  QIREdsXMLParser writer;
  _SEQUENCE_octet* bytes = nullptr;
  if (!WriteJobs(writer, iJobs, "EDB_Jobs") || FAILED(writer.GenerateStream(&bytes)) || !bytes)
    return "";
  std::string text(reinterpret_cast<const char*>(bytes->data()), bytes->length());
  delete bytes;
  const std::size_t declarationEnd = text.find("?>\n");
  if (declarationEnd == std::string::npos) return "";
  text.insert(declarationEnd + 3, "<!DOCTYPE EDB_Jobs SYSTEM \"EdsJobs.dtd\">\n");
  return text;
}

// V(N): a validated LoadStream of the library's text into a new object, and its release; the
// text is made once, before the timing.
void MeasureValidatedLoad(benchmark::State& ioState)
{
  const int jobs = static_cast<int>(ioState.range(0));
  const std::string text = ValidatedText(jobs);
  if (text.empty()) {
    Fail(ioState, "the text to validate could not be written");
    return;
  }
  const _SEQUENCE_octet stream(static_cast<unsigned int>(text.size()),
                               reinterpret_cast<const unsigned char*>(text.data()));
  for (auto _ : ioState) {
    ioState.PauseTiming();
    malloc_trim(0);
    ioState.ResumeTiming();
    QIREdsXMLParser reader;
    if (FAILED(reader.LoadStream(&stream, 1, "EdsJobs.dtd"))) {
      Fail(ioState, "the validated load failed");
      return;
    }
  }
  ioState.counters["bytes"] = benchmark::Counter(static_cast<double>(text.size()));
}

struct Side {
  const char* Name;  // in the benchmark's name; its initial is the side's letter
  Pass (*Run)(int);
};
// Peers first, the library last: the order in which one size's benchmarks are registered.
const Side kSides[] = {{"Baseline", RunBaseline},
                       {"Pugixml", RunPugixml},
                       {"Tinyxml2", RunTinyxml2},
                       {"Workload", RunWorkload}};

const char* Failure(const Pass& iPass, int iJobs)
{
  if (iPass.Error) return iPass.Error;
  if (iPass.Values < 0) return "a value came back changed or missing";
  if (iPass.Values != kValuesPerJob * iJobs) return "values lost on the way";
  return nullptr;
}

void Measure(benchmark::State& ioState, Pass (*iRun)(int))
{
  const int jobs = static_cast<int>(ioState.range(0));
  Pass total;
  for (auto _ : ioState) {
    // Freed pages go back to the system first, so that no pass inherits the heap of the one
    // before it and every side pays its own page faults.
    ioState.PauseTiming();
    malloc_trim(0);
    ioState.ResumeTiming();
    const Pass pass = iRun(jobs);
    if (const char* failure = Failure(pass, jobs)) {
      Fail(ioState, failure);
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

int RunPeak(const char* iSide, const char* iJobs)
{
  const int jobs = std::atoi(iJobs);
  const Side* side = nullptr;
  for (const Side& candidate : kSides)
    if (strcasecmp(iSide, candidate.Name) == 0) side = &candidate;
  if (jobs <= 0 || !side) {
    std::fprintf(stderr, "usage: JobDocumentBench --peak workload|baseline|pugixml|tinyxml2 N\n");
    return 2;
  }
  const Pass pass = side->Run(jobs);
  if (const char* failure = Failure(pass, jobs)) {
    std::fprintf(stderr, "JobDocumentBench: %s\n", failure);
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s %d jobs, %zu bytes of text: %.3f s, peak resident %ld KiB\n", iSide, jobs,
              pass.Bytes, pass.Write + pass.Serialise + pass.Parse + pass.Read, usage.ru_maxrss);
  return 0;
}

// For measuring what reads a large job document, apart from what wrote it.
int RunWrite(const char* iPath, const char* iJobs)
{
  const int jobs = std::atoi(iJobs);
  if (jobs <= 0) {
    std::fprintf(stderr, "usage: JobDocumentBench --write FILE N\n");
    return 2;
  }
  QIREdsXMLParser document;
  if (WriteJobs(document, jobs) && SUCCEEDED(document.GenerateFile(iPath))) return 0;
  std::fprintf(stderr, "JobDocumentBench: %s cannot be written\n", iPath);
  return 1;
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) return RunPeak(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "--write") == 0) return RunWrite(argv[2], argv[3]);
  bool smoke = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0)
      smoke = true;
    else
      args.push_back(argv[i]);
  }
  const std::vector<int> sizes =
      smoke ? std::vector<int>{1000} : std::vector<int>{1000, 10000, 100000};
  // The definition of job documents that validated loads resolve.
  setenv("QIRDictionaryPath", QIREDS_BENCH_DTD_DIR, 1);
  // The sides of one size run next to each other, so a busy machine skews them all.
  for (int jobs : sizes) {
    for (const Side& side : kSides) {
      benchmark::internal::Benchmark* mark =
          benchmark::RegisterBenchmark((std::string("JobDocument/") + side.Name).c_str(),
                                       [run = side.Run](benchmark::State& s) { Measure(s, run); });
      mark->Arg(jobs)->Unit(benchmark::kMillisecond);
      if (smoke) mark->Iterations(1);
    }
    if (jobs != (smoke ? 1000 : 10000)) continue;
    benchmark::internal::Benchmark* mark =
        benchmark::RegisterBenchmark("JobDocument/ValidatedLoad", MeasureValidatedLoad);
    mark->Arg(jobs)->Unit(benchmark::kMillisecond);
    if (smoke) mark->Iterations(1);
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return gFailures == 0 ? 0 : 1;
}
