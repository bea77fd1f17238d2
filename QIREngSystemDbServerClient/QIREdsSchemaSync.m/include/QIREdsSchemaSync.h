#ifndef QIREdsSchemaSync_H
#define QIREdsSchemaSync_H
/// \file
/// Brings a live database to the cable-routing schema of the built-in dictionary, and says
/// how it differs: PostgreSQL through libpq (the tables in schema "qm41862") or an SQLite file
/// (the tables in its main database, without the qualifier). A separate library from
/// QIREdsUtil so that only its users link the database clients. Lists index from 1 and are
/// replaced, not appended to. No operation throws.

#include "QIRCodes.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

#if defined(__GNUC__)
#define QIREDS_SCHEMA_SYNC_API __attribute__((visibility("default")))
#else
#define QIREDS_SCHEMA_SYNC_API
#endif

class QIREDS_SCHEMA_SYNC_API QIREdsSchemaSync {
 public:
  QIREdsSchemaSync();
  /// Closes the connection, rolling back anything left open.
  ~QIREdsSchemaSync();
  QIREdsSchemaSync(const QIREdsSchemaSync&) = delete;
  QIREdsSchemaSync& operator=(const QIREdsSchemaSync&) = delete;

  /// Connects with a libpq connection string ("host=/tmp dbname=routing"). E_FAIL when the
  /// server cannot be reached; GetLastMessage says why.
  HRESULT ConnectPostgres(const QIRUnicodeString& iConnInfo);
  /// Opens an SQLite file; iCreate non-zero creates it when absent (only Apply needs that).
  /// E_FAIL when it cannot be opened or is not a database.
  HRESULT OpenSqlite(const QIRUnicodeString& iPath, int iCreate);

  /// Every difference between the database and the schema, one per index of the five lists:
  /// kind ("missing table", "type", "extra column", ...), object ("Cable_Route",
  /// "Cable_Route.Design_length", "Cable_Route.RTC_PK"), expected and found (either may be
  /// empty), and the whole difference as one stable line. Empty lists when it matches.
  HRESULT Check(QIRListValQIRUnicodeString& oKinds, QIRListValQIRUnicodeString& oObjects,
                QIRListValQIRUnicodeString& oExpected, QIRListValQIRUnicodeString& oFound,
                QIRListValQIRUnicodeString& oLines);
  /// The statements that converge the database without losing data, in the order to run them
  /// (empty when nothing is to do), and those a person must decide on (dropping what the
  /// schema lacks, type changes that could lose values), never run by this class.
  HRESULT Diff(QIRListValQIRUnicodeString& oStatements, QIRListValQIRUnicodeString& oNotRun);
  /// The same as a script that runs as it is in psql or sqlite3, one line each: the statements
  /// inside one transaction, then each statement not run as an SQL comment.
  HRESULT DiffScript(QIRListValQIRUnicodeString& oLines);
  /// Runs Diff's statements in one transaction. On S_OK oApplied holds what ran (empty when
  /// nothing was to do) and oNotRun what was left alone. On E_FAIL everything is rolled back
  /// and GetLastMessage names the statement and the server's message.
  HRESULT Apply(QIRListValQIRUnicodeString& oApplied, QIRListValQIRUnicodeString& oNotRun);

  /// One line on the last failure; empty after a success.
  QIRUnicodeString GetLastMessage() const;

  /// The table-creation statements in the form SQLite accepts, one per entry: foreign keys
  /// switched on, then every table with all its constraints inside one transaction.
  static HRESULT GenerateSqliteStatements(QIRListValQIRUnicodeString& oStatements);

 private:
  struct Private;
  Private* _private;
};

#endif
