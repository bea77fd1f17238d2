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

/// Marks what the schema library exports; everything else in it stays hidden.
#if defined(__GNUC__)
#define QIREDS_SCHEMA_SYNC_API __attribute__((visibility("default")))
#else
#define QIREDS_SCHEMA_SYNC_API
#endif

/// One connection to a database and the schema work done over it. Operations that talk to
/// the database return E_FAIL without a connection.
class QIREDS_SCHEMA_SYNC_API QIREdsSchemaSync {
 public:
  /// Not connected yet.
  QIREdsSchemaSync();
  /// Closes the connection, rolling back anything left open.
  ~QIREdsSchemaSync();
  QIREdsSchemaSync(const QIREdsSchemaSync&) = delete;
  QIREdsSchemaSync& operator=(const QIREdsSchemaSync&) = delete;  ///< Not copied either.

  /// Connects to PostgreSQL.
  /// \param iConnInfo a libpq connection string ("host=/tmp dbname=routing")
  /// \return S_OK; E_FAIL when the server cannot be reached, GetLastMessage saying why
  HRESULT ConnectPostgres(const QIRUnicodeString& iConnInfo);
  /// Opens an SQLite file.
  /// \param iPath the file
  /// \param iCreate non-zero to create it when absent (only Apply needs that)
  /// \return S_OK; E_FAIL when it cannot be opened or is not a database
  HRESULT OpenSqlite(const QIRUnicodeString& iPath, int iCreate);

  /// Every difference between the database and the schema, one per index of the five lists:
  /// kind ("missing table", "type", "extra column", ...), object ("Cable_Route",
  /// "Cable_Route.Design_length", "Cable_Route.RTC_PK"), expected and found (either may be
  /// empty), and the whole difference as one stable line. Empty lists when it matches.
  /// \param oKinds receives the kinds
  /// \param oObjects receives the objects
  /// \param oExpected receives what the schema expects
  /// \param oFound receives what the database holds
  /// \param oLines receives the lines
  /// \return S_OK (also when differences are found); E_FAIL when the database cannot be read
  HRESULT Check(QIRListValQIRUnicodeString& oKinds, QIRListValQIRUnicodeString& oObjects,
                QIRListValQIRUnicodeString& oExpected, QIRListValQIRUnicodeString& oFound,
                QIRListValQIRUnicodeString& oLines);
  /// The statements that converge the database without losing data, in the order to run them
  /// (empty when nothing is to do), and those a person must decide on (dropping what the
  /// schema lacks, type changes that could lose values), never run by this class.
  /// \param oStatements receives the statements to run
  /// \param oNotRun receives the statements left to a person
  /// \return S_OK; E_FAIL when the database cannot be read
  HRESULT Diff(QIRListValQIRUnicodeString& oStatements, QIRListValQIRUnicodeString& oNotRun);
  /// The same as a script that runs as it is in psql or sqlite3, one line each: the statements
  /// inside one transaction, then each statement not run as an SQL comment.
  /// \param oLines receives the script's lines
  /// \return S_OK; E_FAIL when the database cannot be read
  HRESULT DiffScript(QIRListValQIRUnicodeString& oLines);
  /// Runs Diff's statements in one transaction.
  /// \param oApplied receives what ran (empty when nothing was to do)
  /// \param oNotRun receives what was left alone
  /// \return S_OK; E_FAIL when a statement fails, everything then rolled back and
  ///   GetLastMessage naming the statement and the server's message
  HRESULT Apply(QIRListValQIRUnicodeString& oApplied, QIRListValQIRUnicodeString& oNotRun);

  /// \return one line on the last failure; empty after a success
  QIRUnicodeString GetLastMessage() const;

  /// The table-creation statements in the form SQLite accepts, one per entry: foreign keys
  /// switched on, then every table with all its constraints inside one transaction.
  /// \param oStatements receives the statements
  /// \return S_OK, or E_FAIL when the dictionary cannot be built
  static HRESULT GenerateSqliteStatements(QIRListValQIRUnicodeString& oStatements);

 private:
  struct Private;
  Private* _private;
};

#endif
