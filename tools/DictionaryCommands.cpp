// qireds dictionary: the metadata dictionary XML; qireds diagram: the schema as Graphviz DOT.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "QIREdsMetadataDict.h"
#include "QIREdsMetadataTable.h"
#include "QIREdsMetadataTool.h"
#include "QiredsCommands.h"

namespace {

struct DictionaryOptions {
  std::string UuidsPath;
  std::string KnownPath;
  std::string OutputPath;
};

int Fail(const std::string& iReason)
{
  std::fprintf(stderr, "qireds: %s\n", iReason.c_str());
  return 1;
}

// Lines "name<TAB>uuid"; blank lines and lines starting with '#' are skipped, so that a
// list can carry notes. False with the reason for the first line that has no two columns.
bool ReadKnownUuids(const std::string& iPath, QIRListValQIRUnicodeString& oNames,
                    QIRListValQIRUnicodeString& oUuids, std::string& oReason)
{
  std::ifstream input(iPath);
  if (!input) {
    oReason = "cannot read " + iPath;
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(input, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string::size_type tab = line.find('\t');
    const bool twoColumns = tab != std::string::npos && tab > 0 && tab + 1 < line.size() &&
                            line.find('\t', tab + 1) == std::string::npos;
    if (!twoColumns) {
      oReason = iPath + ":" + std::to_string(number) + ": expected a name, a tab and a UUID";
      return false;
    }
    oNames.Append(line.substr(0, tab).c_str());
    oUuids.Append(line.substr(tab + 1).c_str());
  }
  return true;
}

int RunDictionary(const DictionaryOptions& iOptions)
{
  QIRListValQIRUnicodeString names, uuids;
  std::string reason;
  if (!iOptions.KnownPath.empty() && !ReadKnownUuids(iOptions.KnownPath, names, uuids, reason))
    return Fail(reason);
  QIREdsMetadataTool tool;
  const HRESULT hr = tool.GenerateOrvaneMetaData(iOptions.UuidsPath.c_str(), names, uuids,
                                                 iOptions.OutputPath.c_str());
  if (FAILED(hr)) return Fail("could not write the dictionary to " + iOptions.OutputPath);
  return 0;
}

std::string EscapeHtml(const QIRUnicodeString& iText)
{
  std::string escaped;
  for (const char* c = iText.ConvertToChar(); *c; ++c) {
    switch (*c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += *c;
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
    std::printf("  <TR><TD ALIGN=\"LEFT\" PORT=\"%s_in\">%s</TD><TD ALIGN=\"LEFT\">%s</TD>"
                "<TD ALIGN=\"LEFT\" PORT=\"%s_out\">%s</TD></TR>\n",
                column.c_str(), KeyMarks(iTable, iTable.Columns[i]).c_str(), column.c_str(),
                column.c_str(), type.c_str());
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
  return std::fflush(stdout) == 0 ? 0 : Fail("could not write the diagram");
}

// A library error or a failed allocation ends the command with a reason, never with an abort.
template <class Run>
void RunCommand(const Run& iRun)
{
  int code = 1;
  try {
    code = iRun();
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
      "dictionary", "Write the metadata dictionary XML, reusing the UUIDs of an existing one");
  dictionary
      ->add_option("--uuids", options->UuidsPath,
                   "existing dictionary file whose INTERFACENAME lines give UUIDs, in order")
      ->required()
      ->check(CLI::ExistingFile);
  dictionary
      ->add_option("--known", options->KnownPath,
                   "tab-separated file of item names and their UUIDs, used first")
      ->check(CLI::ExistingFile);
  dictionary->add_option("-o,--output", options->OutputPath, "the XML file to write")
      ->required();
  dictionary->callback([options]() {
    RunCommand([&options]() { return RunDictionary(*options); });
  });

  CLI::App* diagram = ioApp.add_subcommand(
      "diagram", "Print the schema as a Graphviz DOT entity-relationship diagram");
  diagram->callback([]() { RunCommand(RunDiagram); });
}
