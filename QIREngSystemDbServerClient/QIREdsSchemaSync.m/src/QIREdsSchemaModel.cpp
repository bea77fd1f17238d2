#include "QIREdsSchemaModel.h"

#include "QIREdsMetadataDict.h"
#include "QIREdsMetadataTable.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace {

std::string Text(const QIRUnicodeString& iText)
{
  return iText.ConvertToChar();
}

std::vector<std::string> Pieces(const QIREdsMetadataDict& iDictionary,
                                const QIRUnicodeString& iText)
{
  QIRListValQIRUnicodeString pieces;
  std::vector<std::string> result;
  if (SUCCEEDED(iDictionary.ChoppedBy(",", iText, pieces)))
    for (int i = 1; i <= pieces.Size(); ++i) result.push_back(Text(pieces[i]));
  return result;
}

std::string Joined(const std::vector<std::string>& iNames)
{
  std::string text;
  for (const std::string& name : iNames) text += (text.empty() ? "" : ",") + name;
  return text;
}

bool SameNames(const std::vector<std::string>& iLeft, const std::vector<std::string>& iRight)
{
  return std::equal(iLeft.begin(), iLeft.end(), iRight.begin(), iRight.end(),
                    QIREdsSchemaModel::SameName);
}

// Keys read through the dictionary's own clause readers, so both agree on every clause.
bool ReadKey(const QIREdsMetadataDict& iDictionary, const QIRUnicodeString& iClause,
             QIREdsSchemaKey& oKey)
{
  oKey.Clause = Text(iClause);
  oKey.Name = Text(iDictionary.GetConstraintName(iClause));
  QIRListValQIRUnicodeString keys, from, to, target;
  if (iClause.SearchSubString("FOREIGN KEY") >= 0) {
    if (FAILED(iDictionary.GetConstraints(iClause, from, to, target))) return false;
    oKey.Kind = 'f';
    oKey.Columns = Pieces(iDictionary, from[1]);
    oKey.RefTable = Text(to[1]);
    oKey.RefColumns = Pieces(iDictionary, target[1]);
    return true;
  }
  const bool primary = iClause.SearchSubString("PRIMARY KEY") >= 0;
  if (!primary && iClause.SearchSubString("UNIQUE") < 0) return false;
  if (FAILED(iDictionary.GetKeys(primary ? "PRIMARY" : "UNIQUE", iClause, keys))) return false;
  oKey.Kind = primary ? 'p' : 'u';
  for (int i = 1; i <= keys.Size(); ++i) oKey.Columns.push_back(Text(keys[i]));
  return true;
}

}  // namespace

std::string QIREdsSchemaDifference::Line() const
{
  if (Kind == "type" || Kind == "nullability")
    return Kind + " " + Object + ": expected " + Expected + ", found " + Found;
  const std::string& detail = Kind.compare(0, 6, "extra ") == 0 ? Found : Expected;
  return Kind + " " + Object + (detail.empty() ? "" : " " + detail);
}

bool QIREdsSchemaModel::FromDictionary()
{
  Tables.clear();
  QIREdsMetadataDict dictionary;
  QIRListValQIRUnicodeString statements;
  if (FAILED(dictionary.Initialize()) || FAILED(dictionary.GenerateSQLStatements(statements)))
    return false;
  // The table statements exactly as the dictionary writes them, by qualified table name.
  const std::string start = "\"CREATE TABLE ";
  std::map<std::string, std::string> creates;
  for (int i = 1; i <= statements.Size(); ++i) {
    const std::string statement = Text(statements[i]);
    const std::string::size_type open = statement.find(" (");
    if (statement.compare(0, start.size(), start) == 0 && open != std::string::npos)
      creates[statement.substr(start.size(), open - start.size())] =
          statement.substr(1, statement.size() - 2);
  }
  for (int i = 1; i <= dictionary.Tables.Size(); ++i) {
    const auto* record = dynamic_cast<const QIREdsMetadataTable*>(dictionary.Tables[i]);
    if (!record) return false;
    QIREdsSchemaTable table;
    const QIRUnicodeString shortName = dictionary.ConvertClassNameToOrvane(record->Name);
    table.Name = Text(shortName);
    const std::string qualified = Text(record->Name);
    table.CreateStatement = creates[qualified];
    if (table.CreateStatement.empty() || record->Columns.Size() != record->ColumnTypes.Size())
      return false;
    for (int j = 1; j <= record->Columns.Size(); ++j)
      table.Columns.push_back(
          {Text(record->Columns[j]), Text(record->ColumnTypes[j]), record->Required[j] != 0});
    for (int j = 1; j <= record->Constraints.Size(); ++j) {
      QIREdsSchemaKey key;
      if (!ReadKey(dictionary, record->Constraints[j], key)) return false;
      table.Keys.push_back(key);
    }
    Tables.push_back(table);
  }
  return !Tables.empty();
}

const QIREdsSchemaTable* QIREdsSchemaModel::FindTable(const std::string& iName) const
{
  for (const QIREdsSchemaTable& table : Tables)
    if (SameName(table.Name, iName)) return &table;
  return nullptr;
}

const QIREdsSchemaColumn* QIREdsSchemaModel::FindColumn(const QIREdsSchemaTable& iTable,
                                                        const std::string& iName)
{
  for (const QIREdsSchemaColumn& column : iTable.Columns)
    if (SameName(column.Name, iName)) return &column;
  return nullptr;
}

std::string QIREdsSchemaModel::Lower(const std::string& iText)
{
  std::string text = iText;
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool QIREdsSchemaModel::SameName(const std::string& iLeft, const std::string& iRight)
{
  return Lower(iLeft) == Lower(iRight);
}

std::string QIREdsSchemaModel::KeyDefinition(const QIREdsSchemaKey& iKey)
{
  std::string text = "(" + Joined(iKey.Columns) + ")";
  if (iKey.Kind == 'f')
    text += " REFERENCES " + iKey.RefTable + " (" + Joined(iKey.RefColumns) + ")";
  return text;
}

bool QIREdsSchemaModel::SameKey(const QIREdsSchemaKey& iLeft, const QIREdsSchemaKey& iRight)
{
  return iLeft.Kind == iRight.Kind && SameNames(iLeft.Columns, iRight.Columns) &&
         SameName(iLeft.RefTable, iRight.RefTable) &&
         SameNames(iLeft.RefColumns, iRight.RefColumns);
}

std::string QIREdsSchemaModel::BaseType(const std::string& iTypeText)
{
  std::string base;
  std::string::size_type i = 0;
  while (i < iTypeText.size() && iTypeText[i] == ' ') ++i;
  while (i < iTypeText.size() && std::isalpha(static_cast<unsigned char>(iTypeText[i])))
    base += static_cast<char>(std::toupper(static_cast<unsigned char>(iTypeText[i++])));
  // A length belongs to the type; "NULL" written straight after it does not.
  if (i < iTypeText.size() && iTypeText[i] == '(') {
    const std::string::size_type close = iTypeText.find(')', i);
    if (close != std::string::npos) {
      for (; i <= close; ++i)
        if (iTypeText[i] != ' ') base += iTypeText[i];
    }
  }
  return base;
}
