// job dump, job check
#include "QiredsCommands.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "QIREdsXMLParser.h"

namespace {

// Reports a failed subcommand in one line and ends it with a non-zero exit.
[[noreturn]] void Fail(const char* iCommand, const std::string& iReason)
{
  std::fprintf(stderr, "qireds job %s: %s\n", iCommand, iReason.c_str());
  throw CLI::RuntimeError(1);
}

// A write error (a full disk, a closed pipe) must not pass for success in a script.
void FinishOutput(const char* iCommand)
{
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) Fail(iCommand, "cannot write output");
}

void RunDump(const std::string& iPath)
{
  QIREdsXMLParser parser;
  if (FAILED(parser.LoadFile(iPath.c_str(), 0))) Fail("dump", "cannot load " + iPath);
  _SEQUENCE_octet* stream = nullptr;
  const HRESULT hr = parser.GenerateStream(&stream);
  std::unique_ptr<_SEQUENCE_octet> owned(stream);
  if (FAILED(hr) || !owned) Fail("dump", "cannot write the document of " + iPath);
  std::fwrite(owned->data(), 1, owned->length(), stdout);
  if (owned->length() > 0 && (*owned)[owned->length() - 1] != '\n') std::fputc('\n', stdout);
  FinishOutput("dump");
}

int CountOf(HRESULT iCode, const QIRListValQIRUnicodeString& iList)
{
  return SUCCEEDED(iCode) ? iList.Size() : -1;
}

void RunCheck(const std::string& iPath, const std::string& iDTDName)
{
  std::ifstream file(iPath, std::ios::binary);
  if (!file) Fail("check", "cannot read " + iPath);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
  if (file.bad()) Fail("check", "cannot read " + iPath);
  if (bytes.size() > 0xFFFFFFFFu) Fail("check", iPath + " is too large");
  const _SEQUENCE_octet stream(static_cast<unsigned int>(bytes.size()), bytes.data());

  QIREdsXMLParser parser;
  const bool validate = !iDTDName.empty();
  const HRESULT hr =
      parser.LoadStream(&stream, validate ? 1 : 0, validate ? iDTDName.c_str() : nullptr);
  if (FAILED(hr))
    Fail("check", "cannot load " + iPath + (validate ? " as a valid document for " + iDTDName : ""));

  QIRListValQIRUnicodeString ids, types, inputs;
  if (FAILED(parser.GetJobDefinition(ids, types, inputs)))
    Fail("check", "cannot read the jobs of " + iPath);
  for (int i = 1; i <= ids.Size() && i <= types.Size(); ++i) {
    const QIRUnicodeString& id = ids[i];
    QIRListValQIRUnicodeString a, b, c;
    const int in = CountOf(parser.GetJobInput(id, a, b, c), a);
    QIRListValQIRUnicodeString d, e, f;
    const int context = CountOf(parser.GetJobContextInput(id, d, e, f), d);
    QIRListValQIRUnicodeString g, h, k;
    const int out = CountOf(parser.GetJobOutput(id, g, h, k), g);
    QIRListValQIRUnicodeString l, m, n;
    const int deleteErrors = CountOf(parser.GetJobDeleteErrOutput(id, l, m, n), l);
    QIRListValQIRUnicodeString rows;
    const int reportRows = CountOf(parser.GetJobReportOutput(id, rows), rows);
    QIRUnicodeString key, errorFile, errorType, parameters;
    const bool hasError =
        SUCCEEDED(parser.GetJobError(id, key, errorFile, errorType, parameters));
    std::printf("%s\t%s\tinputs=%d\tcontext=%d\toutputs=%d\tdelete-errors=%d\trows=%d\terror=%s\n",
                id.ConvertToChar(), types[i].ConvertToChar(), in, context, out, deleteErrors,
                reportRows, hasError ? "yes" : "no");
  }
  FinishOutput("check");
}

}  // namespace

void AddJobCommands(CLI::App& ioApp)
{
  CLI::App* job = ioApp.add_subcommand("job", "Read job documents");
  job->require_subcommand(1);

  CLI::App* dump = job->add_subcommand("dump", "Load a job document file and print it");
  auto dumpPath = std::make_shared<std::string>();
  dump->add_option("FILE", *dumpPath, "Job document")->required();
  dump->callback([dumpPath] { RunDump(*dumpPath); });

  CLI::App* check = job->add_subcommand(
      "check",
      "Load a job document as a stream and list its jobs: identifier, type, then the counts of "
      "inputs, context inputs, outputs, delete-error references and report rows, and whether it "
      "has an error (tab-separated, one job a line)");
  auto checkPath = std::make_shared<std::string>();
  auto dtdName = std::make_shared<std::string>();
  check->add_option("FILE", *checkPath, "Job document")->required();
  check->add_option("--dtd", *dtdName,
                    "Validate against this document type definition, found along "
                    "QIRDictionaryPath");
  check->callback([checkPath, dtdName] { RunCheck(*checkPath, *dtdName); });
}
