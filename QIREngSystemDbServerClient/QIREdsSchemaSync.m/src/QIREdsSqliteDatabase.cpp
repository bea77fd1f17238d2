#include "QIREdsSqliteDatabase.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sqlite3.h>

namespace {

// SQLite's own rule for the affinity of a declared type: a change that keeps it leaves every
// stored value as it is.
std::string Affinity(const std::string& iType)
{
  const std::string type = QIREdsSchemaModel::Lower(iType);
  auto has = [&type](const char* iPart) { return type.find(iPart) != std::string::npos; };
  if (has("int")) return "INTEGER";
  if (has("char") || has("clob") || has("text")) return "TEXT";
  if (type.empty() || has("blob")) return "BLOB";
  if (has("real") || has("floa") || has("doub")) return "REAL";
  return "NUMERIC";
}

std::string Declared(const std::string& iType)
{
  std::string type;
  for (const char c : iType)
    if (c != ' ') type += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return type;
}

std::string KeyClause(const QIREdsSchemaKey& iKey)
{
  std::string clause = iKey.Name.empty() ? "" : "CONSTRAINT " + iKey.Name + " ";
  clause += iKey.Kind == 'u' ? "UNIQUE " : iKey.Kind == 'p' ? "PRIMARY KEY " : "FOREIGN KEY ";
  return clause + QIREdsSchemaModel::KeyDefinition(iKey);
}

}  // namespace

QIREdsSqliteDatabase::~QIREdsSqliteDatabase()
{
  if (_connection) {
    Rollback();
    sqlite3_close(_connection);
  }
}

bool QIREdsSqliteDatabase::Open(const std::string& iPath, bool iCreate, std::string& oError)
{
  const int flags = SQLITE_OPEN_READWRITE | (iCreate ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(iPath.c_str(), &_connection, flags, nullptr) != SQLITE_OK) {
    oError = iPath + ": " + (_connection ? sqlite3_errmsg(_connection) : "out of memory");
    sqlite3_close(_connection);
    _connection = nullptr;
    return false;
  }
  sqlite3_busy_timeout(_connection, 5000);
  // Opening is lazy: a file that is not a database shows only when it is first read.
  std::vector<std::vector<std::string>> rows;
  if (Rows("SELECT count(*) FROM sqlite_schema", rows, oError)) return true;
  oError = iPath + ": " + sqlite3_errmsg(_connection);
  sqlite3_close(_connection);
  _connection = nullptr;
  return false;
}

bool QIREdsSqliteDatabase::Rows(const std::string& iSql,
                                std::vector<std::vector<std::string>>& oRows,
                                std::string& oError) const
{
  oRows.clear();
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(_connection, iSql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    oError = "cannot read the schema: " + std::string(sqlite3_errmsg(_connection));
    return false;
  }
  int step;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    oRows.push_back(row);
  }
  sqlite3_finalize(statement);
  if (step == SQLITE_DONE) return true;
  oError = "cannot read the schema: " + std::string(sqlite3_errmsg(_connection));
  return false;
}

bool QIREdsSqliteDatabase::Read(QIREdsSchemaModel& oLive, std::string& oError)
{
  oLive = QIREdsSchemaModel();
  std::vector<std::vector<std::string>> tables, rows, parts;
  if (!Rows("SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
            "ESCAPE '\\' ORDER BY name",
            tables, oError))
    return false;
  for (const auto& tableRow : tables) {
    QIREdsSchemaTable table;
    table.Name = tableRow[0];
    const std::string quoted = Quoted(table.Name, false);
    // cid, name, type, notnull, default, position in the primary key
    if (!Rows("PRAGMA table_info(" + quoted + ")", rows, oError)) return false;
    std::map<int, std::string> primary;
    for (const auto& row : rows) {
      table.Columns.push_back({row[1], Declared(row[2]), row[3] == "1"});
      if (row[5] != "0") primary[std::stoi(row[5])] = row[1];
    }
    if (!primary.empty()) {
      QIREdsSchemaKey key;
      for (const auto& entry : primary) key.Columns.push_back(entry.second);
      table.Keys.push_back(key);
    }
    // seq, name, unique, origin ("u" for a UNIQUE constraint), partial
    if (!Rows("PRAGMA index_list(" + quoted + ")", rows, oError)) return false;
    std::reverse(rows.begin(), rows.end());  // listed newest first
    for (const auto& row : rows) {
      if (row[2] != "1" || row[3] != "u") continue;
      if (!Rows("PRAGMA index_info(" + Quoted(row[1], false) + ")", parts, oError)) return false;
      QIREdsSchemaKey key;
      key.Kind = 'u';
      for (const auto& part : parts) key.Columns.push_back(part[2]);
      table.Keys.push_back(key);
    }
    // id, seq, table, from, to, ...; one id per key, its columns by seq
    if (!Rows("PRAGMA foreign_key_list(" + quoted + ")", rows, oError)) return false;
    std::map<int, QIREdsSchemaKey> foreign;
    for (const auto& row : rows) {
      QIREdsSchemaKey& key = foreign[std::stoi(row[0])];
      key.Kind = 'f';
      key.RefTable = row[2];
      key.Columns.push_back(row[3]);
      key.RefColumns.push_back(row[4]);
    }
    for (const auto& entry : foreign) table.Keys.push_back(entry.second);
    oLive.Tables.push_back(table);
  }
  return true;
}

std::string QIREdsSqliteDatabase::ExpectedType(const std::string& iTypeText) const
{
  return QIREdsSchemaModel::BaseType(iTypeText);
}

std::string QIREdsSqliteDatabase::CreateTable(const QIREdsSchemaTable& iTable,
                                              const std::string& iName)
{
  std::string statement = "CREATE TABLE " + iName + " (";
  for (std::size_t i = 0; i < iTable.Columns.size(); ++i)
    statement += (i ? "," : "") + iTable.Columns[i].Name + " " + iTable.Columns[i].Type;
  for (const QIREdsSchemaKey& key : iTable.Keys)
    statement += "," + (key.Clause.empty() ? KeyClause(key) : key.Clause);
  return statement + ");";
}

void QIREdsSqliteDatabase::Plan(const QIREdsSchemaModel& iExpected, const QIREdsSchemaModel& iLive,
                                const std::vector<QIREdsSchemaDifference>& iDifferences,
                                QIREdsSchemaPlan& oPlan) const
{
  std::vector<std::string> created, rebuilt, added;
  for (const QIREdsSchemaTable& table : iExpected.Tables) {
    const QIREdsSchemaTable* live = iLive.FindTable(table.Name);
    if (!live) {
      created.push_back(CreateTable(table, table.Name));
      continue;
    }
    bool rebuild = false;
    std::vector<std::string> columns;  // nullable and in no key: ADD COLUMN can make them
    std::map<std::string, std::string> keptTypes;  // column -> found type kept by a rebuild
    std::vector<const QIREdsSchemaKey*> extraKeys;
    for (const QIREdsSchemaDifference& difference : iDifferences) {
      if (difference.Table != table.Name) continue;
      const std::string& kind = difference.Kind;
      if (kind == "missing column") {
        const QIREdsSchemaColumn* column = QIREdsSchemaModel::FindColumn(table, difference.Column);
        const bool keyed = std::any_of(table.Keys.begin(), table.Keys.end(), [&](const auto& k) {
          return std::any_of(k.Columns.begin(), k.Columns.end(), [&](const std::string& c) {
            return QIREdsSchemaModel::SameName(c, column->Name);
          });
        });
        if (column->NotNull || keyed)
          rebuild = true;
        else
          columns.push_back("ALTER TABLE " + table.Name + " ADD COLUMN " + column->Name + " " +
                            column->Type + ";");
      } else if (kind == "type") {
        if (Affinity(difference.Found) == Affinity(difference.Expected)) {
          rebuild = true;
        } else {
          keptTypes[difference.Column] = difference.Found;
          oPlan.NotRun.push_back(
              "-- " + table.Name + "." + difference.Column + " holds " + difference.Found +
              " values; rebuild the table by hand to make it " + difference.Expected);
        }
      } else if (kind == "nullability" || kind.compare(0, 8, "missing ") == 0) {
        rebuild = true;
      } else if (kind == "extra column") {
        oPlan.NotRun.push_back("ALTER TABLE " + table.Name + " DROP COLUMN " +
                               Quoted(difference.Column, false) + ";");
      } else if (kind.compare(0, 6, "extra ") == 0) {
        extraKeys.push_back(difference.Key);
        oPlan.NotRun.push_back("-- " + table.Name + " has " + KeyClause(*difference.Key) +
                               ", which SQLite drops only by rebuilding the table");
      }
    }
    if (!rebuild) {
      added.insert(added.end(), columns.begin(), columns.end());
      continue;
    }
    // The documented way to change a table: a new one, the rows copied, the old one
    // replaced. Extra columns and keys go along, so nothing a user added is lost.
    QIREdsSchemaTable target = table;
    std::string copied;
    for (QIREdsSchemaColumn& column : target.Columns) {
      const auto kept = keptTypes.find(column.Name);
      if (kept != keptTypes.end()) column.Type = kept->second + (column.NotNull ? " NOT NULL" : "");
      if (const QIREdsSchemaColumn* found = QIREdsSchemaModel::FindColumn(*live, column.Name))
        copied += (copied.empty() ? "" : ",") + Quoted(found->Name, false);
    }
    for (const QIREdsSchemaColumn& column : live->Columns) {
      if (QIREdsSchemaModel::FindColumn(table, column.Name)) continue;
      target.Columns.push_back({Quoted(column.Name, false),
                                column.Type + (column.NotNull ? " NOT NULL" : ""), column.NotNull});
      copied += (copied.empty() ? "" : ",") + Quoted(column.Name, false);
    }
    for (const QIREdsSchemaKey* key : extraKeys)
      if (key->Kind != 'p') target.Keys.push_back(*key);
    const std::string scratch = "qireds_rebuild_" + table.Name;
    rebuilt.push_back(CreateTable(target, scratch));
    std::string copy = "INSERT INTO " + scratch;
    copy += " (";
    copy += copied;
    copy += ") SELECT ";
    copy += copied;
    copy += " FROM ";
    copy += table.Name;
    rebuilt.push_back(copy + ";");
    rebuilt.push_back("DROP TABLE " + table.Name + ";");
    rebuilt.push_back("ALTER TABLE " + scratch + " RENAME TO " + table.Name + ";");
  }
  for (const QIREdsSchemaDifference& difference : iDifferences)
    if (difference.Kind == "extra table")
      oPlan.NotRun.push_back("DROP TABLE " + Quoted(difference.Table, false) + ";");
  for (auto* part : {&created, &rebuilt, &added})
    oPlan.Statements.insert(oPlan.Statements.end(), part->begin(), part->end());
}

std::vector<std::string> QIREdsSqliteDatabase::ScriptHead() const
{
  // Off while tables are replaced, since dropping one would otherwise check its references.
  return {"PRAGMA foreign_keys=OFF;", "BEGIN;"};
}

std::vector<std::string> QIREdsSqliteDatabase::ScriptTail() const
{
  return {"COMMIT;", "PRAGMA foreign_keys=ON;"};
}

bool QIREdsSqliteDatabase::Begin(std::string& oError)
{
  // The pragma does nothing inside a transaction, so it comes first.
  if (!Execute("PRAGMA foreign_keys=OFF", oError) || !Execute("BEGIN IMMEDIATE", oError))
    return false;
  _inTransaction = true;
  return true;
}

bool QIREdsSqliteDatabase::Execute(const std::string& iStatement, std::string& oError)
{
  if (sqlite3_exec(_connection, iStatement.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
    return true;
  oError = iStatement + ": " + OneLine(sqlite3_errmsg(_connection));
  return false;
}

bool QIREdsSqliteDatabase::Commit(std::string& oError)
{
  // With the checks off, a rebuilt table could have let through rows whose references
  // dangle: refuse to commit them.
  std::vector<std::vector<std::string>> violations;
  if (!Rows("PRAGMA foreign_key_check", violations, oError)) return false;
  if (!violations.empty()) {
    oError = "COMMIT: " + std::to_string(violations.size()) +
             " rows break a foreign key, the first in table " + violations[0][0];
    return false;
  }
  _inTransaction = false;
  const bool committed = Execute("COMMIT", oError);
  std::string ignored;
  Execute("PRAGMA foreign_keys=ON", ignored);
  return committed;
}

void QIREdsSqliteDatabase::Rollback()
{
  if (!_inTransaction) return;
  _inTransaction = false;
  sqlite3_exec(_connection, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_exec(_connection, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
}
