#include "QIREdsSchemaDatabase.h"

#include <algorithm>
#include <cctype>

namespace {

const char* KeyKind(char iKind)
{
  return iKind == 'p' ? "primary key" : iKind == 'u' ? "unique" : "foreign key";
}

std::string Nullability(bool iNotNull)
{
  return iNotNull ? "NOT NULL" : "NULL";
}

}  // namespace

std::vector<QIREdsSchemaDifference> QIREdsSchemaDatabase::Compare(
    const QIREdsSchemaModel& iExpected, const QIREdsSchemaModel& iLive) const
{
  std::vector<QIREdsSchemaDifference> differences;
  auto add = [&differences](const std::string& iKind, const std::string& iTable,
                            const std::string& iName, const std::string& iExpectedText,
                            const std::string& iFound) -> QIREdsSchemaDifference& {
    QIREdsSchemaDifference difference;
    difference.Kind = iKind;
    difference.Object = iName.empty() ? iTable : iTable + "." + iName;
    difference.Expected = iExpectedText;
    difference.Found = iFound;
    difference.Table = iTable;
    differences.push_back(difference);
    return differences.back();
  };
  if (!iLive.SchemaPresent) add("missing schema", "qm41862", "", "", "");
  for (const QIREdsSchemaTable& table : iExpected.Tables) {
    const QIREdsSchemaTable* live = iLive.FindTable(table.Name);
    if (!live) {
      add("missing table", table.Name, "", "", "");
      continue;
    }
    for (const QIREdsSchemaColumn& column : table.Columns) {
      const std::string type = ExpectedType(column.Type);
      const QIREdsSchemaColumn* found = QIREdsSchemaModel::FindColumn(*live, column.Name);
      if (!found) {
        add("missing column", table.Name, column.Name, type + " " + Nullability(column.NotNull), "")
            .Column = column.Name;
        continue;
      }
      if (found->Type != type)
        add("type", table.Name, column.Name, type, found->Type).Column = column.Name;
      if (found->NotNull != column.NotNull)
        add("nullability", table.Name, column.Name, Nullability(column.NotNull),
            Nullability(found->NotNull))
            .Column = column.Name;
    }
    for (const QIREdsSchemaColumn& column : live->Columns)
      if (!QIREdsSchemaModel::FindColumn(table, column.Name))
        add("extra column", table.Name, column.Name, "",
            column.Type + " " + Nullability(column.NotNull))
            .Column = column.Name;
    for (const QIREdsSchemaKey& key : table.Keys) {
      const bool present = std::any_of(live->Keys.begin(), live->Keys.end(), [&key](const auto& k) {
        return QIREdsSchemaModel::SameKey(key, k);
      });
      if (!present)
        add(std::string("missing ") + KeyKind(key.Kind), table.Name, key.Name,
            QIREdsSchemaModel::KeyDefinition(key), "")
            .Key = &key;
    }
    for (const QIREdsSchemaKey& key : live->Keys) {
      const bool expected =
          std::any_of(table.Keys.begin(), table.Keys.end(),
                      [&key](const auto& k) { return QIREdsSchemaModel::SameKey(key, k); });
      if (!expected)
        add(std::string("extra ") + KeyKind(key.Kind), table.Name, key.Name, "",
            QIREdsSchemaModel::KeyDefinition(key))
            .Key = &key;
    }
  }
  std::vector<std::string> extra;
  for (const QIREdsSchemaTable& table : iLive.Tables)
    if (!iExpected.FindTable(table.Name)) extra.push_back(table.Name);
  std::sort(extra.begin(), extra.end());
  for (const std::string& name : extra) add("extra table", name, "", "", "");
  return differences;
}

std::string QIREdsSchemaDatabase::Quoted(const std::string& iName, bool iFoldsToLower)
{
  bool plain = !iName.empty() && !std::isdigit(static_cast<unsigned char>(iName[0]));
  for (const char c : iName)
    plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_') &&
            !(iFoldsToLower && std::isupper(static_cast<unsigned char>(c)));
  if (plain) return iName;
  std::string quoted = "\"";
  for (const char c : iName) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string QIREdsSchemaDatabase::OneLine(const std::string& iText)
{
  std::string line;
  for (const char c : iText) {
    const bool blank = c == '\n' || c == '\r' || c == '\t' || c == ' ';
    if (!blank)
      line += c;
    else if (!line.empty() && line.back() != ' ')
      line += ' ';
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}
