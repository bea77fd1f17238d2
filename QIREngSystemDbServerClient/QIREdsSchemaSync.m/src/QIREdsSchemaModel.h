#ifndef QIREdsSchemaModel_H
#define QIREdsSchemaModel_H
// The shape of a schema as both sides see it: the dictionary's (expected) and a live
// database's (found). Identifiers compare without regard to case, as both engines do for
// unquoted names.

#include <string>
#include <vector>

struct QIREdsSchemaColumn {
  std::string Name;
  std::string Type;  // expected: the dictionary's text ("CHAR(80)NULL"); found: the engine's
  bool NotNull = false;
};

struct QIREdsSchemaKey {
  char Kind = 'p';   // 'p' primary key, 'u' unique, 'f' foreign key
  std::string Name;  // may be empty for a found key: SQLite does not keep every name
  std::vector<std::string> Columns;
  std::string RefTable;  // unqualified; foreign keys only
  std::vector<std::string> RefColumns;
  std::string Clause;  // expected keys: the dictionary's "CONSTRAINT ..." clause
};

struct QIREdsSchemaTable {
  std::string Name;  // unqualified
  std::vector<QIREdsSchemaColumn> Columns;
  std::vector<QIREdsSchemaKey> Keys;
  std::string CreateStatement;  // expected tables: the dictionary's statement, unquoted
};

struct QIREdsSchemaDifference {
  std::string Kind, Object, Expected, Found;
  std::string Table, Column;             // what it concerns, for the planners
  const QIREdsSchemaKey* Key = nullptr;  // missing or extra key
  std::string Line() const;
};

class QIREdsSchemaModel {
 public:
  bool SchemaPresent = true;  // PostgreSQL: whether schema qm41862 exists
  std::vector<QIREdsSchemaTable> Tables;

  // The built-in dictionary's tables in class order. False when it cannot be built.
  bool FromDictionary();
  const QIREdsSchemaTable* FindTable(const std::string& iName) const;

  static bool SameName(const std::string& iLeft, const std::string& iRight);
  static std::string Lower(const std::string& iText);
  static std::string KeyDefinition(const QIREdsSchemaKey& iKey);  // "(a,b) REFERENCES T (c)"
  static bool SameKey(const QIREdsSchemaKey& iLeft, const QIREdsSchemaKey& iRight);
  // "CHAR(80)" from "CHAR(80)NULL", "INTEGER" from "INTEGER  NOT NULL", upper case.
  static std::string BaseType(const std::string& iTypeText);
  static const QIREdsSchemaColumn* FindColumn(const QIREdsSchemaTable& iTable,
                                              const std::string& iName);
};

#endif
