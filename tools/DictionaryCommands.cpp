// qireds dictionary: the metadata dictionary XML; qireds diagram: the schema as Graphviz DOT.
#include "QIREdsDomParser.h"
#include "QIREdsMetadataDict.h"
#include "QIREdsMetadataTable.h"
#include "QIREdsMetadataTool.h"
#include "QIRFileServices.h"
#include "QIRXMLCheck.h"
#include "QiredsCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

struct DictionaryOptions {
  std::string UuidsPath;
  std::string KnownPath;
  std::string ReusePath;
  std::string OutputPath;
  bool Fresh = false;
};

// Names and UUIDs that are known before the run; the first entry of a name wins.
struct KnownUuids {
  QIRListValQIRUnicodeString Names;
  QIRListValQIRUnicodeString Uuids;
  void Add(const QIRUnicodeString& iName, const QIRUnicodeString& iUuid)
  {
    if (iName.IsNull() || iUuid.IsNull()) return;
    Names.Append(iName);
    Uuids.Append(iUuid);
  }
};

const char* const kCommand = "dictionary";

int Fail(const std::string& iReason)
{
  std::fprintf(stderr, "qireds: %s\n", QiredsEscape(iReason, 400).c_str());
  return 1;
}

// Lines "name<TAB>uuid"; blank lines and lines starting with '#' are skipped, so that a
// list can carry notes.
void ReadKnownUuids(const std::string& iPath, KnownUuids& ioKnown)
{
  std::istringstream input(QiredsReadFile(kCommand, iPath));
  std::string line;
  for (int number = 1; std::getline(input, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string::size_type tab = line.find('\t');
    const bool twoColumns = tab != std::string::npos && tab > 0 && tab + 1 < line.size() &&
                            line.find('\t', tab + 1) == std::string::npos;
    if (!twoColumns)
      QiredsFail(kCommand, iPath + ":" + std::to_string(number) +
                               ": expected a name, a tab and a UUID, not \"" +
                               QiredsEscape(line, 60) + "\"");
    ioKnown.Add(line.substr(0, tab).c_str(), line.substr(tab + 1).c_str());
  }
}

QIRUnicodeString AttributeOf(const QIRIDOMElement_var& iElement, const char* iName)
{
  QIRUnicodeString value;
  if (FAILED(iElement->GetAttribute(iName, value))) value = QIRUnicodeString();
  return value;
}

template <class Visit>
void ForEachChildElement(const QIRIDOMNode_var& iParent, const Visit& iVisit)
{
  QIRIDOMNode_var child;
  if (FAILED(iParent->GetFirstChild(child))) return;
  while (child != NULL_var) {
    unsigned short type = 0;
    const QIRIDOMElement_var element(child);
    if (SUCCEEDED(child->GetNodeType(type)) && type == QIR_ELEMENT_NODE && element != NULL_var) {
      QIRUnicodeString tag;
      if (SUCCEEDED(element->GetTagName(tag))) iVisit(tag, element);
    }
    QIRIDOMNode_var next;
    if (FAILED(child->GetNextSibling(next))) break;
    child = next;
  }
}

// Every item of a dictionary written before, under the name by which the generator asks for
// its UUID: a simple attribute under its class's name, "_" and its own, anything else under
// its own name.
void ReadPreviousDictionary(const std::string& iPath, KnownUuids& ioKnown)
{
  QIRUnicodeString reason;
  if (FAILED(QIRCheckXMLFile(iPath.c_str(), nullptr, kQiredsMaxInputBytes, reason)))
    QiredsFail(kCommand, reason.ConvertToChar());
  QIREdsDomParser parser;
  if (FAILED(parser.LoadFile(iPath.c_str(), 0)))
    QiredsFail(kCommand, iPath + ": cannot be loaded as a document");
  const QIRIDOMElement_var package(parser.GetRoot());
  QIRUnicodeString tag;
  if (package == NULL_var || FAILED(package->GetTagName(tag)) || tag != "Package")
    QiredsFail(kCommand, iPath + ": not a dictionary: its document element is not Package");
  const int before = ioKnown.Names.Size();
  ioKnown.Add(AttributeOf(package, "Name"), AttributeOf(package, "Uuid"));
  ForEachChildElement(QIRIDOMNode_var(package.get()), [&ioKnown](const QIRUnicodeString& iTag,
                                                                 const QIRIDOMElement_var& iClass) {
    if (iTag != "Class" && iTag != "Extension") return;
    const QIRUnicodeString className = AttributeOf(iClass, "Name");
    ioKnown.Add(className, AttributeOf(iClass, "Uuid"));
    ForEachChildElement(QIRIDOMNode_var(iClass.get()), [&](const QIRUnicodeString& iMemberTag,
                                                           const QIRIDOMElement_var& iMember) {
      const QIRUnicodeString name = AttributeOf(iMember, "Name");
      if (iMemberTag == "Simple")
        ioKnown.Add(name.IsNull() ? name : className + "_" + name, AttributeOf(iMember, "Uuid"));
      else if (iMemberTag == "Unique" || iMemberTag == "Relationship")
        ioKnown.Add(name, AttributeOf(iMember, "Uuid"));
    });
  });
  if (ioKnown.Names.Size() == before) QiredsFail(kCommand, iPath + ": holds no Name and Uuid");
}

// A file of our own that goes away with the run.
class TempFile {
 public:
  TempFile()
  {
    const char* directory = std::getenv("TMPDIR");
    std::string pattern =
        std::string(directory && *directory ? directory : "/tmp") + "/qireds-XXXXXX";
    const int file = mkstemp(&pattern[0]);
    if (file < 0) QiredsFail(kCommand, "cannot make a temporary file: " + SystemReason());
    close(file);
    _path = pattern;
  }
  ~TempFile() { unlink(_path.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return _path; }

 private:
  static std::string SystemReason() { return std::strerror(errno); }
  std::string _path;
};

// All or nothing, as the library writes files: a cut-short write keeps the older file.
void WriteWhole(const std::string& iPath, const std::string& iBytes)
{
  errno = 0;
  if (SUCCEEDED(QIRWriteFileAtomically(iPath.c_str(), iBytes.data(), iBytes.size()))) return;
  QiredsFail(kCommand, iPath + ": " + (errno ? std::strerror(errno) : "cannot be written"));
}

// A random UUID (version 4) in the standard form, upper-case; the generator turns it into the
// 8-4-4-16 form of the others.
std::string FreshUuid(std::random_device& ioRandom)
{
  unsigned char bytes[16];
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(ioRandom() & 0xFF);
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  std::string text;
  char digits[3];
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    text += digits;
  }
  return text;
}

// The pool as a dictionary file the generator reads: the given file's lines first, then
// fresh UUIDs, more than the schema has items, each on a line in the form the generator
// takes apart ("INTERFACENAME = { " and three characters, the UUID, two closing characters).
void WriteFreshPool(const std::string& iUuidsPath, const std::string& iPoolPath)
{
  std::string pool = iUuidsPath.empty() ? std::string() : QiredsReadFile(kCommand, iUuidsPath);
  if (!pool.empty() && pool.back() != '\n') pool += '\n';
  std::random_device random;
  for (int i = 0; i < 1024; ++i) pool += "INTERFACENAME = { ID(" + FreshUuid(random) + ")}\n";
  WriteWhole(iPoolPath, pool);
}

// Standard output and error of the library go to a file while it runs: its trace lines then
// reach our standard error, and its log lines are folded into our one-line failure.
class CapturedOutput {
 public:
  explicit CapturedOutput(const std::string& iPath)
  {
    std::fflush(stdout);
    std::fflush(stderr);
    const int file = open(iPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    _output = dup(STDOUT_FILENO);
    _error = dup(STDERR_FILENO);
    if (file >= 0 && _output >= 0 && _error >= 0) {
      dup2(file, STDOUT_FILENO);
      dup2(file, STDERR_FILENO);
    }
    if (file >= 0) close(file);
  }
  ~CapturedOutput()
  {
    std::fflush(stdout);
    std::fflush(stderr);
    if (_output >= 0) dup2(_output, STDOUT_FILENO);
    if (_error >= 0) dup2(_error, STDERR_FILENO);
    if (_output >= 0) close(_output);
    if (_error >= 0) close(_error);
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

 private:
  int _output = -1;
  int _error = -1;
};

struct Generation {
  HRESULT Code = E_FAIL;
  std::string Text;  // what the library printed and logged
};

Generation Generate(const std::string& iPoolPath, const KnownUuids& iKnown,
                    const std::string& iOutputPath)
{
  const TempFile capture;
  Generation result;
  {
    const CapturedOutput captured(capture.Path());
    QIREdsMetadataTool tool;
    result.Code = tool.GenerateOrvaneMetaData(iPoolPath.c_str(), iKnown.Names, iKnown.Uuids,
                                              iOutputPath.c_str());
  }
  std::ifstream text(capture.Path(), std::ios::binary);
  result.Text.assign(std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>());
  return result;
}

// The text after iMarker up to the line's end, "" when iText has no such line.
std::string After(const std::string& iText, const std::string& iMarker)
{
  const std::string::size_type at = iText.find(iMarker);
  if (at == std::string::npos) return "";
  const std::string::size_type begin = at + iMarker.size();
  std::string value = iText.substr(begin, iText.find('\n', begin) - begin);
  while (!value.empty() && value.back() == ' ') value.pop_back();
  return value;
}

// How many UUIDs a complete run hands out, learnt from a run that lacks none.
std::string NeededUuids()
{
  const TempFile pool, output;
  WriteFreshPool("", pool.Path());
  const Generation complete = Generate(pool.Path(), KnownUuids(), output.Path());
  const std::string count = After(complete.Text, "IndUiid = ");
  return count.empty() ? "one per item" : count;
}

int RunDictionary(const DictionaryOptions& iOptions)
{
  KnownUuids known;
  if (!iOptions.KnownPath.empty()) ReadKnownUuids(iOptions.KnownPath, known);
  if (!iOptions.ReusePath.empty()) ReadPreviousDictionary(iOptions.ReusePath, known);
  // The generator reads the pool itself and takes a file it cannot open for an empty pool:
  // a file that cannot be read is reported here, with the reason.
  if (!iOptions.UuidsPath.empty()) QiredsReadFile(kCommand, iOptions.UuidsPath);
  const TempFile freshPool, output;
  std::string poolPath = iOptions.UuidsPath.empty() ? "/dev/null" : iOptions.UuidsPath;
  if (iOptions.Fresh) {
    WriteFreshPool(iOptions.UuidsPath, freshPool.Path());
    poolPath = freshPool.Path();
  }
  const Generation run = Generate(poolPath, known, output.Path());
  if (FAILED(run.Code)) {
    const std::string missing = After(run.Text, "no UUID for ");
    const std::string logged = After(run.Text, "error in ");
    if (missing.empty())
      QiredsFail(kCommand, "the dictionary could not be generated" +
                               (logged.empty() ? "" : " (error in " + logged + ")"));
    QiredsFail(kCommand, "no UUID for " + missing + ": the dictionary needs " + NeededUuids() +
                             " UUIDs; --known and --reuse gave " +
                             std::to_string(known.Names.Size()) + " names, --uuids " +
                             After(run.Text, "Number of existing uuid = ") +
                             " UUIDs; --fresh makes the missing ones");
  }
  WriteWhole(iOptions.OutputPath, QiredsReadFile(kCommand, output.Path()));
  // Only after the write, so that a failure stays one line.
  std::fputs(run.Text.c_str(), stderr);
  return 0;
}

std::string EscapeHtml(const QIRUnicodeString& iText)
{
  std::string escaped;
  for (const char* c = iText.ConvertToChar(); *c; ++c) {
    switch (*c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += *c;
    }
  }
  return escaped;
}

// PK, FK, UK, and EXT for a reference to a product-model class outside the schema.
std::string KeyMarks(const QIREdsMetadataTable& iTable, const QIRUnicodeString& iColumn)
{
  std::string marks;
  const auto mark = [&marks](bool iSet, const char* iText) {
    if (!iSet) return;
    if (!marks.empty()) marks += " ";
    marks += iText;
  };
  mark(iTable.PrimaryKeys.Locate(iColumn) > 0, "PK");
  mark(iTable.RefFromColumns.Locate(iColumn) > 0, "FK");
  mark(iTable.UniqueKeys.Locate(iColumn) > 0, "UK");
  mark(iTable.ExtRefFromColumns.Locate(iColumn) > 0, "EXT");
  return marks;
}

void PrintNode(const QIREdsMetadataDict& iDictionary, const QIREdsMetadataTable& iTable)
{
  const std::string name = EscapeHtml(iDictionary.ConvertClassNameToOrvane(iTable.Name));
  std::printf("  \"%s\" [label=<\n", name.c_str());
  std::printf("<TABLE BORDER=\"0\" CELLBORDER=\"1\" CELLSPACING=\"0\" CELLPADDING=\"3\">\n");
  std::printf("  <TR><TD COLSPAN=\"3\" BGCOLOR=\"lightsteelblue\"><B>%s</B></TD></TR>\n",
              name.c_str());
  for (int i = 1; i <= iTable.Columns.Size(); ++i) {
    const std::string column = EscapeHtml(iTable.Columns[i]);
    const std::string type =
        i <= iTable.ColumnTypes.Size() ? EscapeHtml(iTable.ColumnTypes[i]) : std::string();
    // Edges leave a row on its right and enter on its left, so they never cross the row.
    std::printf(
        "  <TR><TD ALIGN=\"LEFT\" PORT=\"%s_in\">%s</TD><TD ALIGN=\"LEFT\">%s</TD>"
        "<TD ALIGN=\"LEFT\" PORT=\"%s_out\">%s</TD></TR>\n",
        column.c_str(), KeyMarks(iTable, iTable.Columns[i]).c_str(), column.c_str(), column.c_str(),
        type.c_str());
  }
  std::printf("</TABLE>>];\n");
}

// One edge per foreign key, from the referencing column to the referenced one, so that the
// picture shows which column carries each relationship.
void PrintEdges(const QIREdsMetadataDict& iDictionary, const QIREdsMetadataTable& iTable,
                const QIRListValQIRUnicodeString& iShortNames)
{
  const QIRUnicodeString from = iDictionary.ConvertClassNameToOrvane(iTable.Name);
  for (int i = 1; i <= iTable.Constraints.Size(); ++i) {
    const QIRUnicodeString& clause = iTable.Constraints[i];
    QIRListValQIRUnicodeString columns, toTables, toColumns;
    if (FAILED(iDictionary.GetConstraints(clause, columns, toTables, toColumns))) continue;
    if (iShortNames.Locate(toTables[1]) == 0) continue;  // not a class of the schema
    std::printf("  \"%s\":\"%s_out\":e -> \"%s\":\"%s_in\":w [label=\"%s\"];\n",
                from.ConvertToChar(), columns[1].ConvertToChar(), toTables[1].ConvertToChar(),
                toColumns[1].ConvertToChar(),
                iDictionary.GetConstraintName(clause).ConvertToChar());
  }
}

int RunDiagram()
{
  QIRVar<QIREdsMetadataDict> dictionary;
  dictionary.Attach(new QIREdsMetadataDict());
  if (FAILED(dictionary->Initialize()) || dictionary->Tables.Size() == 0)
    return Fail("the dictionary could not be built");
  QIRListValQIRUnicodeString shortNames;
  for (int i = 1; i <= dictionary->Tables.Size(); ++i) {
    const auto* table = dynamic_cast<const QIREdsMetadataTable*>(dictionary->Tables[i]);
    shortNames.Append(table ? dictionary->ConvertClassNameToOrvane(table->Name) : "");
  }
  std::printf("digraph CableRoutingSchema {\n");
  std::printf("  graph [rankdir=LR, fontname=\"Helvetica\", nodesep=0.4, ranksep=1.2];\n");
  std::printf("  node [shape=plain, fontname=\"Helvetica\", fontsize=10];\n");
  std::printf("  edge [fontname=\"Helvetica\", fontsize=9, color=\"gray30\"];\n");
  for (int i = 1; i <= dictionary->Tables.Size(); ++i) {
    const auto* table = dynamic_cast<const QIREdsMetadataTable*>(dictionary->Tables[i]);
    if (table) PrintNode(*dictionary, *table);
  }
  for (int i = 1; i <= dictionary->Tables.Size(); ++i) {
    const auto* table = dynamic_cast<const QIREdsMetadataTable*>(dictionary->Tables[i]);
    if (table) PrintEdges(*dictionary, *table, shortNames);
  }
  std::printf("}\n");
  return 0;
}

// A library error or a failed allocation ends the command with a reason, never with an abort.
template <class Run>
void RunCommand(const Run& iRun)
{
  int code = 1;
  try {
    code = iRun();
  } catch (const CLI::RuntimeError&) {
    throw;  // already reported
  } catch (...) {
    code = Fail("internal error");
  }
  if (code != 0) throw CLI::RuntimeError(code);
}

}  // namespace

void AddDictionaryCommands(CLI::App& ioApp)
{
  auto options = std::make_shared<DictionaryOptions>();
  CLI::App* dictionary = ioApp.add_subcommand(
      "dictionary",
      "Write the metadata dictionary XML (a Package document naming Dictionary00.dtd, installed "
      "in share/QIREdsUtil/). Every package, class, attribute, unique key and relationship needs "
      "a UUID; each is taken, in this order, from --known, from --reuse, from the --uuids pool "
      "in file order, and with --fresh made new. The generator's trace lines go to standard "
      "error.");
  dictionary->add_option("-o,--output", options->OutputPath, "The XML file to write")->required();
  dictionary->add_option(
      "--uuids", options->UuidsPath,
      "An existing dictionary file: each line containing 'INTERFACENAME = { ' gives one UUID, "
      "the text after the marker and three more characters up to the line's last two "
      "characters, e.g. 'INTERFACENAME = { ID(80A2B3BD-0000-520C-383B-E49800076012)}'; the "
      "last '-' is dropped");
  dictionary->add_option(
      "--known", options->KnownPath,
      "Lines NAME<TAB>UUID, the UUID used as written; blank lines and lines starting with '#' "
      "are skipped. NAME is CableNetwork, a class (Cable_Route), CLASS_COLUMN for an attribute "
      "(Cable_Instance_Cable_name), or the name of a relationship or unique key (CIC_WP, "
      "CIC_UNIQ)");
  dictionary->add_option("--reuse", options->ReusePath,
                         "A dictionary XML written before: every item keeps its UUID");
  dictionary->add_flag("--fresh", options->Fresh,
                       "Make random UUIDs (8-4-4-16 hexadecimal digits) for the items that "
                       "nothing else provides, so that a first run needs no input");
  dictionary->callback(
      [options]() { RunCommand([&options]() { return RunDictionary(*options); }); });

  CLI::App* diagram = ioApp.add_subcommand(
      "diagram", "Print the schema as a Graphviz DOT entity-relationship diagram");
  diagram->callback([]() { RunCommand(RunDiagram); });
}
