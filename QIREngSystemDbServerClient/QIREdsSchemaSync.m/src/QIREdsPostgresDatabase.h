#ifndef QIREdsPostgresDatabase_H
#define QIREdsPostgresDatabase_H
// The schema "qm41862" of a PostgreSQL database, through libpq.

#include "QIREdsSchemaDatabase.h"

#include <string>

struct pg_conn;

class QIREdsPostgresDatabase final : public QIREdsSchemaDatabase {
 public:
  QIREdsPostgresDatabase() = default;
  ~QIREdsPostgresDatabase() override;
  QIREdsPostgresDatabase(const QIREdsPostgresDatabase&) = delete;
  QIREdsPostgresDatabase& operator=(const QIREdsPostgresDatabase&) = delete;

  // False with libpq's reason when the server cannot be reached.
  bool Connect(const std::string& iConnInfo, std::string& oError);

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
  pg_conn* _connection = nullptr;
  bool _inTransaction = false;
};

#endif
