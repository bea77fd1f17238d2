#ifndef QIREdsSchemaDatabase_H
#define QIREdsSchemaDatabase_H
// One live database as the schema component sees it: read its tables, compare them with the
// dictionary's, plan the statements that converge it, run them in one transaction. Each
// engine says how it spells types and which changes it can make in place.

#include "QIREdsSchemaModel.h"

#include <string>
#include <vector>

struct QIREdsSchemaPlan {
  std::vector<std::string> Statements;  // safe to run, in order
  std::vector<std::string> NotRun;      // for a person to decide
};

class QIREdsSchemaDatabase {
 public:
  virtual ~QIREdsSchemaDatabase() = default;

  // Reads what the database holds; false with a one-line reason.
  virtual bool Read(QIREdsSchemaModel& oLive, std::string& oError) = 0;
  // The dictionary's type text in the form the engine reports it back.
  virtual std::string ExpectedType(const std::string& iTypeText) const = 0;
  virtual void Plan(const QIREdsSchemaModel& iExpected, const QIREdsSchemaModel& iLive,
                    const std::vector<QIREdsSchemaDifference>& iDifferences,
                    QIREdsSchemaPlan& oPlan) const = 0;
  // The lines that open and close the plan's statements in a script run by a person.
  virtual std::vector<std::string> ScriptHead() const = 0;
  virtual std::vector<std::string> ScriptTail() const = 0;

  // A transaction around Read and the statements; Execute names the statement in oError.
  virtual bool Begin(std::string& oError) = 0;
  virtual bool Execute(const std::string& iStatement, std::string& oError) = 0;
  virtual bool Commit(std::string& oError) = 0;
  virtual void Rollback() = 0;

  // Every difference, in dictionary order, then the tables the dictionary lacks by name.
  std::vector<QIREdsSchemaDifference> Compare(const QIREdsSchemaModel& iExpected,
                                              const QIREdsSchemaModel& iLive) const;

  // "name" as written when it needs no quotes to keep its spelling, else double-quoted.
  static std::string Quoted(const std::string& iName, bool iFoldsToLower);
  // Messages of servers span lines; the tool promises one.
  static std::string OneLine(const std::string& iText);
};

#endif
