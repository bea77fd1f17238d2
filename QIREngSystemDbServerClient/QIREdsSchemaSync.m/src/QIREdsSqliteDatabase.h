#ifndef QIREdsSqliteDatabase_H
#define QIREdsSqliteDatabase_H
// The main database of an SQLite file: the schema's tables without their qualifier, every
// constraint inside its CREATE TABLE, since SQLite adds none to an existing table.

#include "QIREdsSchemaDatabase.h"

#include <string>

struct sqlite3;

class QIREdsSqliteDatabase final : public QIREdsSchemaDatabase {
 public:
  QIREdsSqliteDatabase() = default;
  ~QIREdsSqliteDatabase() override;
  QIREdsSqliteDatabase(const QIREdsSqliteDatabase&) = delete;
  QIREdsSqliteDatabase& operator=(const QIREdsSqliteDatabase&) = delete;

  // False with SQLite's reason when the file cannot be opened or read as a database.
  bool Open(const std::string& iPath, bool iCreate, std::string& oError);

  // The table with every constraint, as "CREATE TABLE name (...);".
  static std::string CreateTable(const QIREdsSchemaTable& iTable, const std::string& iName);

  bool Read(QIREdsSchemaModel& oLive, std::string& oError) override;
  std::string ExpectedType(const std::string& iTypeText) const override;
  void Plan(const QIREdsSchemaModel& iExpected, const QIREdsSchemaModel& iLive,
            const std::vector<QIREdsSchemaDifference>& iDifferences,
            QIREdsSchemaPlan& oPlan) const override;
  std::vector<std::string> ScriptHead() const override;
  std::vector<std::string> ScriptTail() const override;
  bool Begin(std::string& oError) override;
  bool Execute(const std::string& iStatement, std::string& oError) override;
  bool Commit(std::string& oError) override;
  void Rollback() override;

 private:
  bool Rows(const std::string& iSql, std::vector<std::vector<std::string>>& oRows,
            std::string& oError) const;

  sqlite3* _connection = nullptr;
  bool _inTransaction = false;
};

#endif
