#include "QIREdsSchemaSync.h"

#include "QIREdsPostgresDatabase.h"
#include "QIREdsSchemaModel.h"
#include "QIREdsSqliteDatabase.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

struct QIREdsSchemaSync::Private {
  std::unique_ptr<QIREdsSchemaDatabase> Database;
  std::string Message;
};

namespace {

// Every public operation runs through here: nothing it calls may throw past the library.
template <typename Body>
HRESULT Guarded(std::string& oMessage, Body&& iBody) noexcept
{
  try {
    return iBody();
  } catch (const std::bad_alloc&) {
    oMessage = "out of memory";
    return E_OUTOFMEMORY;
  } catch (const std::exception& error) {
    oMessage = error.what();
  } catch (...) {
    oMessage = "unexpected error";
  }
  return E_FAIL;
}

void Fill(QIRListValQIRUnicodeString& oList, const std::vector<std::string>& iItems)
{
  oList.RemoveAll();
  for (const std::string& item : iItems) oList.Append(item.c_str());
}

// The dictionary, the database as it is and their differences, read together.
struct Snapshot {
  QIREdsSchemaModel Expected, Live;
  std::vector<QIREdsSchemaDifference> Differences;

  bool Read(QIREdsSchemaDatabase& ioDatabase, std::string& oMessage)
  {
    if (!Expected.FromDictionary()) {
      oMessage = "cannot build the schema from the dictionary";
      return false;
    }
    if (!ioDatabase.Read(Live, oMessage)) return false;
    Differences = ioDatabase.Compare(Expected, Live);
    return true;
  }
  bool Plan(QIREdsSchemaDatabase& ioDatabase, QIREdsSchemaPlan& oPlan, std::string& oMessage)
  {
    if (!Read(ioDatabase, oMessage)) return false;
    ioDatabase.Plan(Expected, Live, Differences, oPlan);
    return true;
  }
};

// The operations that need an open database share its check and the guard; a transaction
// left open by any failure, a thrown one included, is rolled back.
template <typename Private, typename Body>
HRESULT WithDatabase(Private* ioPrivate, Body&& iBody) noexcept
{
  if (!ioPrivate) return E_OUTOFMEMORY;
  if (!ioPrivate->Database) {
    ioPrivate->Message = "no database is open";
    return E_FAIL;
  }
  const HRESULT hr = Guarded(ioPrivate->Message, [&] { return iBody(*ioPrivate->Database); });
  if (SUCCEEDED(hr))
    ioPrivate->Message.clear();
  else
    ioPrivate->Database->Rollback();
  return hr;
}

}  // namespace

QIREdsSchemaSync::QIREdsSchemaSync() : _private(new (std::nothrow) Private) {}

QIREdsSchemaSync::~QIREdsSchemaSync()
{
  delete _private;
}

HRESULT QIREdsSchemaSync::ConnectPostgres(const QIRUnicodeString& iConnInfo)
{
  if (!_private) return E_OUTOFMEMORY;
  _private->Database.reset();
  return Guarded(_private->Message, [&] {
    auto database = std::make_unique<QIREdsPostgresDatabase>();
    if (!database->Connect(iConnInfo.ConvertToChar(), _private->Message)) return E_FAIL;
    _private->Database = std::move(database);
    _private->Message.clear();
    return S_OK;
  });
}

HRESULT QIREdsSchemaSync::OpenSqlite(const QIRUnicodeString& iPath, int iCreate)
{
  if (!_private) return E_OUTOFMEMORY;
  _private->Database.reset();
  if (iPath.IsNull()) {
    _private->Message = "no database file given";
    return E_INVALIDARG;
  }
  return Guarded(_private->Message, [&] {
    auto database = std::make_unique<QIREdsSqliteDatabase>();
    if (!database->Open(iPath.ConvertToChar(), iCreate != 0, _private->Message)) return E_FAIL;
    _private->Database = std::move(database);
    _private->Message.clear();
    return S_OK;
  });
}

HRESULT QIREdsSchemaSync::Check(QIRListValQIRUnicodeString& oKinds,
                                QIRListValQIRUnicodeString& oObjects,
                                QIRListValQIRUnicodeString& oExpected,
                                QIRListValQIRUnicodeString& oFound,
                                QIRListValQIRUnicodeString& oLines)
{
  return WithDatabase(_private, [&](QIREdsSchemaDatabase& ioDatabase) {
    Snapshot snapshot;
    if (!snapshot.Read(ioDatabase, _private->Message)) return E_FAIL;
    std::vector<std::string> kinds, objects, expected, found, lines;
    for (const QIREdsSchemaDifference& difference : snapshot.Differences) {
      kinds.push_back(difference.Kind);
      objects.push_back(difference.Object);
      expected.push_back(difference.Expected);
      found.push_back(difference.Found);
      lines.push_back(difference.Line());
    }
    Fill(oKinds, kinds);
    Fill(oObjects, objects);
    Fill(oExpected, expected);
    Fill(oFound, found);
    Fill(oLines, lines);
    return S_OK;
  });
}

HRESULT QIREdsSchemaSync::Diff(QIRListValQIRUnicodeString& oStatements,
                               QIRListValQIRUnicodeString& oNotRun)
{
  return WithDatabase(_private, [&](QIREdsSchemaDatabase& ioDatabase) {
    Snapshot snapshot;
    QIREdsSchemaPlan plan;
    if (!snapshot.Plan(ioDatabase, plan, _private->Message)) return E_FAIL;
    Fill(oStatements, plan.Statements);
    Fill(oNotRun, plan.NotRun);
    return S_OK;
  });
}

HRESULT QIREdsSchemaSync::DiffScript(QIRListValQIRUnicodeString& oLines)
{
  QIRListValQIRUnicodeString statements, notRun;
  const HRESULT hr = Diff(statements, notRun);
  if (FAILED(hr)) return hr;
  return Guarded(_private->Message, [&] {
    std::vector<std::string> lines;
    if (statements.Size() > 0) {
      lines = _private->Database->ScriptHead();
      for (int i = 1; i <= statements.Size(); ++i) lines.push_back(statements[i].ConvertToChar());
      for (const std::string& line : _private->Database->ScriptTail()) lines.push_back(line);
    }
    // Notes already read as comments; statements become one to run by removing the prefix.
    for (int i = 1; i <= notRun.Size(); ++i) {
      const std::string entry = notRun[i].ConvertToChar();
      lines.push_back(entry.compare(0, 3, "-- ") == 0 ? entry : "-- not run: " + entry);
    }
    Fill(oLines, lines);
    return S_OK;
  });
}

HRESULT QIREdsSchemaSync::Apply(QIRListValQIRUnicodeString& oApplied,
                                QIRListValQIRUnicodeString& oNotRun)
{
  return WithDatabase(_private, [&](QIREdsSchemaDatabase& ioDatabase) {
    // Read inside the transaction, so that what is planned is what is changed.
    Snapshot snapshot;
    QIREdsSchemaPlan plan;
    bool done =
        ioDatabase.Begin(_private->Message) && snapshot.Plan(ioDatabase, plan, _private->Message);
    for (std::size_t i = 0; done && i < plan.Statements.size(); ++i)
      done = ioDatabase.Execute(plan.Statements[i], _private->Message);
    if (!done || !ioDatabase.Commit(_private->Message)) return E_FAIL;
    Fill(oApplied, plan.Statements);
    Fill(oNotRun, plan.NotRun);
    return S_OK;
  });
}

QIRUnicodeString QIREdsSchemaSync::GetLastMessage() const
{
  return _private ? _private->Message.c_str() : "out of memory";
}

HRESULT QIREdsSchemaSync::GenerateSqliteStatements(QIRListValQIRUnicodeString& oStatements)
{
  std::string message;
  return Guarded(message, [&] {
    QIREdsSchemaModel schema;
    if (!schema.FromDictionary()) return E_FAIL;
    std::vector<std::string> statements{"PRAGMA foreign_keys=ON;", "BEGIN;"};
    for (const QIREdsSchemaTable& table : schema.Tables)
      statements.push_back(QIREdsSqliteDatabase::CreateTable(table, table.Name));
    statements.push_back("COMMIT;");
    Fill(oStatements, statements);
    return S_OK;
  });
}
