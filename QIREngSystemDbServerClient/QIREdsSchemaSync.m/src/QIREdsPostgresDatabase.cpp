#include "QIREdsPostgresDatabase.h"

#include <cstdio>
#include <cstdlib>
#include <libpq-fe.h>
#include <memory>

namespace {

const char* const kSchema = "qm41862";
// The search path under which the dictionary's clauses, which name their referenced tables
// without the schema, find them.
const char* const kSearchPath = "SET LOCAL search_path TO qm41862, public";

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

std::string Field(const PGresult* iResult, int iRow, int iColumn)
{
  return PQgetisnull(iResult, iRow, iColumn) ? "" : PQgetvalue(iResult, iRow, iColumn);
}

std::vector<std::string> Names(const std::string& iJoined)
{
  std::vector<std::string> names;
  std::string::size_type start = 0;
  while (!iJoined.empty()) {
    const std::string::size_type comma = iJoined.find(',', start);
    names.push_back(iJoined.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return names;
}

// Widening a fixed-length text keeps every value; any other change may not.
bool SafeTypeChange(const std::string& iFound, const std::string& iExpected)
{
  const std::string prefix = "character(";
  if (iFound.compare(0, prefix.size(), prefix) != 0 ||
      iExpected.compare(0, prefix.size(), prefix) != 0)
    return false;
  return std::atoi(iFound.c_str() + prefix.size()) <= std::atoi(iExpected.c_str() + prefix.size());
}

std::string Table(const std::string& iName)
{
  return std::string(kSchema) + "." + iName;
}

}  // namespace

QIREdsPostgresDatabase::~QIREdsPostgresDatabase()
{
  if (_connection) {
    Rollback();
    PQfinish(_connection);
  }
}

bool QIREdsPostgresDatabase::Connect(const std::string& iConnInfo, std::string& oError)
{
  _connection = PQconnectdb(iConnInfo.c_str());
  if (_connection && PQstatus(_connection) == CONNECTION_OK) return true;
  oError = OneLine(_connection ? PQerrorMessage(_connection) : "out of memory");
  if (_connection) PQfinish(_connection);
  _connection = nullptr;
  return false;
}

bool QIREdsPostgresDatabase::Read(QIREdsSchemaModel& oLive, std::string& oError)
{
  oLive = QIREdsSchemaModel();
  auto query = [this, &oError](const char* iSql) {
    Result result(PQexec(_connection, iSql), &PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
      oError = "cannot read the schema: " + OneLine(PQerrorMessage(_connection));
      result.reset();
    }
    return result;
  };
  const Result schema = query("SELECT 1 FROM pg_namespace WHERE nspname = 'qm41862'");
  if (!schema) return false;
  oLive.SchemaPresent = PQntuples(schema.get()) > 0;

  // A table without columns still has its row, with null column fields.
  const Result columns = query(
      "SELECT c.relname, a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull"
      " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
      " LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped"
      " WHERE n.nspname = 'qm41862' AND c.relkind IN ('r', 'p')"
      " ORDER BY c.relname, a.attnum");
  if (!columns) return false;
  for (int row = 0; row < PQntuples(columns.get()); ++row) {
    const std::string table = Field(columns.get(), row, 0);
    if (oLive.Tables.empty() || oLive.Tables.back().Name != table)
      oLive.Tables.push_back({table, {}, {}, ""});
    if (PQgetisnull(columns.get(), row, 1)) continue;
    oLive.Tables.back().Columns.push_back({Field(columns.get(), row, 1),
                                           Field(columns.get(), row, 2),
                                           Field(columns.get(), row, 3) == "t"});
  }

  const char* const keyColumns =
      "(SELECT string_agg(a.attname, ',' ORDER BY k.i) FROM unnest(%s) WITH ORDINALITY AS k(n, i)"
      " JOIN pg_attribute a ON a.attrelid = %s AND a.attnum = k.n)";
  char from[256], to[256];
  std::snprintf(from, sizeof(from), keyColumns, "con.conkey", "con.conrelid");
  std::snprintf(to, sizeof(to), keyColumns, "con.confkey", "con.confrelid");
  // A target outside the schema keeps its schema name, so it never passes for one inside.
  const char* const target =
      "CASE WHEN rn.nspname = 'qm41862' THEN rt.relname ELSE rn.nspname || '.' || rt.relname END";
  const std::string keySql = std::string("SELECT t.relname, con.conname, con.contype, ") + from +
                             ", " + target + ", " + to +
                             " FROM pg_constraint con JOIN pg_class t ON t.oid = con.conrelid"
                             " JOIN pg_namespace n ON n.oid = t.relnamespace"
                             " LEFT JOIN pg_class rt ON rt.oid = con.confrelid"
                             " LEFT JOIN pg_namespace rn ON rn.oid = rt.relnamespace"
                             " WHERE n.nspname = 'qm41862' AND con.contype IN ('p', 'u', 'f')"
                             " ORDER BY t.relname, con.conname";
  const Result keys = query(keySql.c_str());
  if (!keys) return false;
  for (int row = 0; row < PQntuples(keys.get()); ++row) {
    QIREdsSchemaKey key;
    key.Name = Field(keys.get(), row, 1);
    key.Kind = Field(keys.get(), row, 2)[0];
    key.Columns = Names(Field(keys.get(), row, 3));
    key.RefTable = Field(keys.get(), row, 4);
    key.RefColumns = Names(Field(keys.get(), row, 5));
    for (QIREdsSchemaTable& table : oLive.Tables)
      if (table.Name == Field(keys.get(), row, 0)) table.Keys.push_back(key);
  }
  return true;
}

std::string QIREdsPostgresDatabase::ExpectedType(const std::string& iTypeText) const
{
  const std::string base = QIREdsSchemaModel::BaseType(iTypeText);
  if (base == "INTEGER") return "integer";
  if (base == "FLOAT") return "double precision";
  if (base.compare(0, 5, "CHAR(") == 0) return "character" + base.substr(4);
  return QIREdsSchemaModel::Lower(base);
}

void QIREdsPostgresDatabase::Plan(const QIREdsSchemaModel& iExpected,
                                  const QIREdsSchemaModel& /*iLive*/,
                                  const std::vector<QIREdsSchemaDifference>& iDifferences,
                                  QIREdsSchemaPlan& oPlan) const
{
  // Tables and columns first, then keys, primary and unique before the foreign keys that
  // need them, whatever order the differences came in.
  std::vector<std::string> tables, columns, keys[3];
  auto addKey = [&keys](const std::string& iTable, const QIREdsSchemaKey& iKey) {
    const int phase = iKey.Kind == 'p' ? 0 : (iKey.Kind == 'u' ? 1 : 2);
    keys[phase].push_back("ALTER TABLE " + Table(iTable) + " ADD " + iKey.Clause + ";");
  };
  for (const QIREdsSchemaDifference& difference : iDifferences) {
    const QIREdsSchemaTable* expected = iExpected.FindTable(difference.Table);
    const std::string& kind = difference.Kind;
    const std::string column = difference.Column;
    if (kind == "missing schema") {
      tables.push_back("CREATE SCHEMA IF NOT EXISTS qm41862;");
    } else if (kind == "missing table") {
      tables.push_back(expected->CreateStatement);
      for (const QIREdsSchemaKey& key : expected->Keys) addKey(expected->Name, key);
    } else if (kind == "missing column") {
      columns.push_back("ALTER TABLE " + Table(expected->Name) + " ADD COLUMN " + column + " " +
                        QIREdsSchemaModel::FindColumn(*expected, column)->Type + ";");
    } else if (kind == "type") {
      const std::string base =
          QIREdsSchemaModel::BaseType(QIREdsSchemaModel::FindColumn(*expected, column)->Type);
      std::string alter = "ALTER TABLE " + Table(expected->Name) + " ALTER COLUMN " + column;
      alter += " TYPE ";
      alter += base;
      if (SafeTypeChange(difference.Found, difference.Expected)) {
        columns.push_back(alter + ";");
        continue;
      }
      alter += " USING ";
      alter += column;
      alter += "::";
      alter += base;
      oPlan.NotRun.push_back(alter + ";");
    } else if (kind == "nullability") {
      columns.push_back("ALTER TABLE " + Table(expected->Name) + " ALTER COLUMN " + column +
                        (difference.Expected == "NULL" ? " DROP NOT NULL;" : " SET NOT NULL;"));
    } else if (kind.compare(0, 8, "missing ") == 0) {
      addKey(expected->Name, *difference.Key);
    } else if (kind == "extra table") {
      oPlan.NotRun.push_back("DROP TABLE " + Table(Quoted(difference.Table, true)) + ";");
    } else if (kind == "extra column") {
      oPlan.NotRun.push_back("ALTER TABLE " + Table(expected->Name) + " DROP COLUMN " +
                             Quoted(column, true) + ";");
    } else if (kind.compare(0, 6, "extra ") == 0) {
      oPlan.NotRun.push_back("ALTER TABLE " + Table(expected->Name) + " DROP CONSTRAINT " +
                             Quoted(difference.Key->Name, true) + ";");
    }
  }
  for (auto* part : {&tables, &columns, &keys[0], &keys[1], &keys[2]})
    oPlan.Statements.insert(oPlan.Statements.end(), part->begin(), part->end());
}

std::vector<std::string> QIREdsPostgresDatabase::ScriptHead() const
{
  return {"BEGIN;", std::string(kSearchPath) + ";"};
}

std::vector<std::string> QIREdsPostgresDatabase::ScriptTail() const
{
  return {"COMMIT;"};
}

bool QIREdsPostgresDatabase::Begin(std::string& oError)
{
  if (!Execute("BEGIN", oError)) return false;
  _inTransaction = true;
  return Execute(kSearchPath, oError);
}

bool QIREdsPostgresDatabase::Execute(const std::string& iStatement, std::string& oError)
{
  const Result result(PQexec(_connection, iStatement.c_str()), &PQclear);
  const ExecStatusType status = PQresultStatus(result.get());
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
  const char* primary =
      result ? PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  oError = iStatement + ": " + OneLine(primary ? primary : PQerrorMessage(_connection));
  return false;
}

bool QIREdsPostgresDatabase::Commit(std::string& oError)
{
  _inTransaction = false;
  return Execute("COMMIT", oError);
}

void QIREdsPostgresDatabase::Rollback()
{
  if (!_inTransaction) return;
  _inTransaction = false;
  PQclear(PQexec(_connection, "ROLLBACK"));
}
