// job dump, job check
#include "QIREdsXMLParser.h"
#include "QIRFileServices.h"
#include "QIRXMLCheck.h"
#include "QiredsCommands.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// The definition named on the command line, only where QIRDictionaryPath leads: a name that
// the variable does not reach fails rather than falling back on a file of that name here.
std::string FindDefinition(const char* iCommand, const std::string& iName)
{
  char path[4096] = "";
  if (FAILED(QIRGetFilePathFromOfficialVariable(iName.c_str(), "QIRDictionaryPath", path,
                                                sizeof path))) {
    const char* value = std::getenv("QIRDictionaryPath");
    QiredsFail(iCommand, "document type definition " + QiredsEscape(iName) +
                             " not found along QIRDictionaryPath" +
                             (value ? " (" + QiredsEscape(value) + ")" : " (not set)"));
  }
  return path;
}

// The largest job document the tool loads: the most one load of the library reads.
const std::size_t kMaxJobDocumentBytes = INT_MAX;

// Both subcommands load a document this one way, so that they accept the same files. Only
// regular files of bounded size are read; with a definition name the document must first be
// valid against that definition alone. The library's own load decides, and only a failed load
// pays for the check that says why, so a large document costs one load.
void Load(const char* iCommand, const std::string& iPath, const std::string* iDTDName,
          QIREdsXMLParser& oParser)
{
  QIRUnicodeString reason;
  if (iDTDName) {
    const std::string definition = FindDefinition(iCommand, *iDTDName);
    if (FAILED(QIRCheckXMLFile(iPath.c_str(), definition.c_str(), kMaxJobDocumentBytes, reason)))
      QiredsFail(iCommand, reason.ConvertToChar());
  } else {
    QiredsCheckInputFile(iCommand, iPath, kMaxJobDocumentBytes);
  }
  if (SUCCEEDED(oParser.LoadFile(iPath.c_str(), 0))) return;
  if (!iDTDName && FAILED(QIRCheckXMLFile(iPath.c_str(), nullptr, kMaxJobDocumentBytes, reason)))
    QiredsFail(iCommand, reason.ConvertToChar());
  QiredsFail(iCommand, iPath + ": cannot be loaded as a document");
}

void RunDump(const std::string& iPath)
{
  QIREdsXMLParser parser;
  Load("job dump", iPath, nullptr, parser);
  _SEQUENCE_octet* stream = nullptr;
  const HRESULT hr = parser.GenerateStream(&stream);
  std::unique_ptr<_SEQUENCE_octet> owned(stream);
  if (FAILED(hr) || !owned) QiredsFail("job dump", iPath + ": cannot write the document");
  std::fwrite(owned->data(), 1, owned->length(), stdout);
  if (owned->length() > 0 && (*owned)[owned->length() - 1] != '\n') std::fputc('\n', stdout);
}

int CountOf(HRESULT iCode, const QIRListValQIRUnicodeString& iList)
{
  return SUCCEEDED(iCode) ? iList.Size() : -1;
}

void RunCheck(const std::string& iPath, const std::string* iDTDName)
{
  QIREdsXMLParser parser;
  Load("job check", iPath, iDTDName, parser);
  QIRListValQIRUnicodeString ids, types, inputs;
  if (FAILED(parser.GetJobDefinition(ids, types, inputs)))
    QiredsFail("job check", iPath + ": cannot read its jobs");
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
    const bool hasError = SUCCEEDED(parser.GetJobError(id, key, errorFile, errorType, parameters));
    std::printf("%s\t%s\tinputs=%d\tcontext=%d\toutputs=%d\tdelete-errors=%d\trows=%d\terror=%s\n",
                id.ConvertToChar(), types[i].ConvertToChar(), in, context, out, deleteErrors,
                reportRows, hasError ? "yes" : "no");
  }
}

}  // namespace

void AddJobCommands(CLI::App& ioApp)
{
  CLI::App* job = ioApp.add_subcommand("job", "Read job documents");
  job->require_subcommand(1);
  const std::string loading =
      " The file must be a well-formed document of less than 2 GiB that refers to no external "
      "entity; a failure names the file, the line and the column.";

  CLI::App* dump = job->add_subcommand("dump", "Load a job document file and print it." + loading);
  auto dumpPath = std::make_shared<std::string>();
  dump->add_option("FILE", *dumpPath, "Job document")->required();
  dump->callback([dumpPath] { RunDump(*dumpPath); });

  CLI::App* check = job->add_subcommand(
      "check",
      "Load a job document as dump does and list its jobs: identifier, type, then the counts of "
      "inputs, context inputs, outputs, delete-error references and report rows, and whether it "
      "has an error (tab-separated, one job a line)." +
          loading);
  auto checkPath = std::make_shared<std::string>();
  auto dtdName = std::make_shared<std::string>();
  check->add_option("FILE", *checkPath, "Job document")->required();
  CLI::Option* dtd = check->add_option(
      "--dtd", *dtdName,
      "The document must be valid against this document type definition file, looked for in "
      "the directories of QIRDictionaryPath (':'-separated), whatever its own DOCTYPE says");
  dtd->check(CLI::Validator(
      [](std::string& iName) { return iName.empty() ? std::string("empty name") : std::string(); },
      "NAME"));
  check->callback([checkPath, dtdName, dtd] {
    RunCheck(*checkPath, dtd->count() > 0 ? dtdName.get() : nullptr);
  });
}
