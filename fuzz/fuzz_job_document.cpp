// Job documents come from the other side of the wire: whatever bytes arrive are loaded, with
// and without validation, and every reader is run on every job found. Readers must agree with
// each other and a loaded document must survive being written and read back.

#include "QIREdsXMLParser.h"
#include "QIRSequenceOctet.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
// Each job costs a few lookups; beyond this many the run learns nothing new per input.
const int kMaxJobsRead = 32;

void Fail(const char* iWhat)
{
  std::fprintf(stderr, "fuzz_job_document: %s\n", iWhat);
  std::abort();
}

// Lists that are read together stay in step whenever the reader succeeds.
void ExpectInStep(HRESULT iResult, const QIRListValQIRUnicodeString& iFirst,
                  const QIRListValQIRUnicodeString& iSecond,
                  const QIRListValQIRUnicodeString& iThird, const char* iReader)
{
  if (SUCCEEDED(iResult) && (iFirst.Size() != iSecond.Size() || iFirst.Size() != iThird.Size()))
    Fail(iReader);
}

void ReleaseList(QIRIDOMNodeList* iList)
{
  if (iList) iList->Release();
}

void ReadJob(const QIREdsXMLParser& iParser, const QIRUnicodeString& iJobId)
{
  QIRListValQIRUnicodeString names, values, types;
  ExpectInStep(iParser.GetJobInput(iJobId, names, values, types), names, values, types,
               "GetJobInput out of step");
  QIRListValQIRUnicodeString contextNames, contextValues, contextTypes;
  ExpectInStep(iParser.GetJobContextInput(iJobId, contextNames, contextValues, contextTypes),
               contextNames, contextValues, contextTypes, "GetJobContextInput out of step");
  QIRListValQIRUnicodeString outNames, outValues, outTypes;
  ExpectInStep(iParser.GetJobOutput(iJobId, outNames, outValues, outTypes), outNames, outValues,
               outTypes, "GetJobOutput out of step");
  QIRListValQIRUnicodeString classNames, cstNames, objects;
  ExpectInStep(iParser.GetJobDeleteErrOutput(iJobId, classNames, cstNames, objects), classNames,
               cstNames, objects, "GetJobDeleteErrOutput out of step");
  QIRListValQIRUnicodeString rows;
  iParser.GetJobReportOutput(iJobId, rows);
  QIRUnicodeString key, file, type, parm;
  iParser.GetJobError(iJobId, key, file, type, parm);

  QIRIDOMNodeList* list = nullptr;
  iParser.GetJobInputNodeList(iJobId, &list);
  ReleaseList(list);
  list = nullptr;
  iParser.GetJobOutputNodeList(iJobId, &list);
  ReleaseList(list);
  list = nullptr;
  iParser.GetNodeListUnderJobId(iJobId, "EDB_JobError", &list);
  ReleaseList(list);
  QIRIDOMElement* job = nullptr;
  iParser.GetDOMElemByTagName("EDB_Job", "EDB_Id", iJobId, &job);
  if (job) job->Release();
}

void ReadEveryJob(const QIREdsXMLParser& iParser)
{
  QIRListValQIRUnicodeString ids, types, inputs;
  ExpectInStep(iParser.GetJobDefinition(ids, types, inputs), ids, types, inputs,
               "GetJobDefinition out of step");
  QIRUnicodeString id, type, input;
  iParser.GetSingleJobDefinition(id, type, input);
  const int count = ids.Size() < kMaxJobsRead ? ids.Size() : kMaxJobsRead;
  for (int i = 1; i <= count; ++i) ReadJob(iParser, ids[i]);
  QIRIDOMNodeList* every = nullptr;
  iParser.GetDOMElemByTagName("EDB_Job", &every);
  ReleaseList(every);
}

// What we write from a loaded document must load again, and the copy operations must cope
// with whatever the source holds.
void WriteAndReload(QIREdsXMLParser& ioParser)
{
  _SEQUENCE_octet* written = nullptr;
  if (FAILED(ioParser.GenerateStream(&written)) || !written) return;
  QIREdsXMLParser reloaded;
  const HRESULT hr = reloaded.LoadStream(written, 0, nullptr);
  delete written;
  if (FAILED(hr)) Fail("a written document does not load again");

  QIRUnicodeString id, type, input;
  if (FAILED(ioParser.GetSingleJobDefinition(id, type, input))) return;
  QIREdsXMLParser copy;
  if (FAILED(copy.Init("EDB_Jobs", "1")) || FAILED(copy.AppendJobDefinition(id, type, input)))
    return;
  copy.InsertSingleJobInputFromParser(&ioParser);
  copy.InsertSingleJobOutputFromParser(&ioParser);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  setenv("QIRDictionaryPath", QIREDS_FUZZ_DTD_DIR, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* iData, std::size_t iSize)
{
  const _SEQUENCE_octet stream(static_cast<unsigned int>(iSize), iSize ? iData : nullptr);
  QIREdsXMLParser parser;
  if (SUCCEEDED(parser.LoadStream(&stream, 0, nullptr))) {
    ReadEveryJob(parser);
    WriteAndReload(parser);
  }
  // The same object loads again, now validating: the old document is replaced, not leaked.
  if (SUCCEEDED(parser.LoadStream(&stream, 1, "EdsJobs.dtd"))) ReadEveryJob(parser);
  return 0;
}
