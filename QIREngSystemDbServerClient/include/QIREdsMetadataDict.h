#ifndef QIREdsMetadataDict_H
#define QIREdsMetadataDict_H
/// \file
/// The built-in metadata dictionary of the cable-routing database: thirteen table records
/// and the SQL defines, with the readers, queries and generators over them. Empty after
/// construction, full after Initialize, read only afterwards. Output lists are appended to
/// unless a member says otherwise; HRESULT results are S_OK or E_FAIL.

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"
#include "QIRXMLServices.h"
#include "QIREdsMetadataTable.h"

/// Threads: once Initialize has returned, any number of threads may call the const members and
/// read the public lists at once. Initialize, FillClassTypeTable, CleanupAllTables and writes
/// to the public lists must not run while any other thread uses the dictionary.
class QIR_API QIREdsMetadataDict : public QIRBaseUnknown {
  QIR_DECLARE_CLASS
 public:
  QIREdsMetadataDict();
  /// Releases the dictionary's reference to every record.
  ~QIREdsMetadataDict() override;
  /// The dictionary owns references to its records: copies would give them up twice.
  QIREdsMetadataDict(const QIREdsMetadataDict&) = delete;
  QIREdsMetadataDict& operator=(const QIREdsMetadataDict&) = delete;

  QIRListValQIRUnicodeString Defines;       // 13 table defines, then 107 column defines
  QIRListValQIRUnicodeString DefinedNames;  // same index: qualified class or bare column name
  QIRListPtrQIRBaseUnknown Tables;          // QIREdsMetadataTable records, one reference each

  /// Lifecycle.
  /// Drops the old records (callers holding references keep theirs) and builds the schema.
  HRESULT Initialize();
  /// Builds the records from the fifteen parallel source lists; Initialize's worker.
  HRESULT FillClassTypeTable(const QIRListValQIRUnicodeString& iClasses,
                             const QIRRawCollint& iClassNumbers,
                             const QIRListValQIRUnicodeString& iColumns,
                             const QIRRawCollint& iColumnTags,
                             const QIRListValQIRUnicodeString& iColumnTypes,
                             const QIRRawCollint& iTypeTags,
                             const QIRListValQIRUnicodeString& iConstraints,
                             const QIRRawCollint& iConstraintTags,
                             const QIRListValQIRUnicodeString& iScopes,
                             const QIRRawCollint& iScopeTags,
                             const QIRListValQIRUnicodeString& iExtRefs,
                             const QIRRawCollint& iExtRefTags,
                             const QIRListValQIRUnicodeString& iMagnitudeColumns,
                             const QIRListValQIRUnicodeString& iMagnitudeNames,
                             const QIRRawCollint& iMagnitudeTags);
  /// Empties Tables (releasing each record), Defines and DefinedNames.
  void CleanupAllTables();

  /// Lookups.
  /// Appends each record's Name and first primary key; E_FAIL when none was listed.
  HRESULT GetClassNames(QIRListValQIRUnicodeString& oClassNames,
                        QIRListValQIRUnicodeString& oPrimaryKeys) const;
  /// The record named iClassName (qualified, exact) with a reference the caller releases;
  /// *oTable is null on failure.
  HRESULT GetClassTable(const QIRUnicodeString& iClassName, QIREdsMetadataTable** oTable) const;

  /// Constraint clause readers: keyword searches, not SQL parsing. Nothing is appended on
  /// failure.
  /// Columns in the parentheses after iKeyword ("PRIMARY" or "UNIQUE"), one per entry.
  HRESULT GetKeys(const QIRUnicodeString& iKeyword, const QIRUnicodeString& iClause,
                  QIRListValQIRUnicodeString& oKeys) const;
  /// One FOREIGN KEY clause: its columns, the referenced class (unqualified) and target.
  HRESULT GetConstraints(const QIRUnicodeString& iClause,
                         QIRListValQIRUnicodeString& oFromColumns,
                         QIRListValQIRUnicodeString& oToTables,
                         QIRListValQIRUnicodeString& oToColumns) const;
  /// Splits iText at any of iSeparators; each piece stripped of blanks. E_FAIL when empty.
  HRESULT ChoppedBy(const QIRUnicodeString& iSeparators, const QIRUnicodeString& iText,
                    QIRListValQIRUnicodeString& oPieces) const;
  /// A FOREIGN KEY clause's name, columns and referenced class. On E_FAIL the outputs may be
  /// partly set and are not to be used.
  HRESULT ParseConstraint(const QIRUnicodeString& iClause, QIRUnicodeString& oConstraintName,
                          QIRUnicodeString& oColumns, QIRUnicodeString& oToClass) const;
  /// The word after "CONSTRAINT"; empty when there is none.
  QIRUnicodeString GetConstraintName(const QIRUnicodeString& iClause) const;

  /// Generators.
  /// Replaces oStatements with the CREATE TABLE / ALTER TABLE statements, each enclosed in
  /// double quotes. E_FAIL for an empty dictionary.
  HRESULT GenerateSQLStatements(QIRListValQIRUnicodeString& oStatements) const;
  /// Print the records to standard output for diagnosis.
  void DumpDictionary() const;
  /// iTable is a QIREdsMetadataTable; null prints nothing.
  void DumpTable(const QIRBaseUnknown* iTable) const;

  /// Queries.
  /// Records (among iCandidates when non-empty) whose foreign keys reference iClass, given
  /// unqualified; both outputs are cleared first. A record is listed once per such key.
  HRESULT GetReferencingClasses(const QIRUnicodeString& iClass,
                                const QIRListValQIRUnicodeString& iCandidates,
                                QIRListValQIRUnicodeString& oClasses,
                                QIRListValQIRUnicodeString& oConstraintNames) const;
  /// "Integer", "Double", "String" or "Undefined"; the length in CHAR(n); "Yes" for a
  /// three-word type. Outputs untouched for an empty type.
  void GetDataType(const QIRUnicodeString& iType, QIRUnicodeString& oAttrType,
                   QIRUnicodeString& oMaxLength, QIRUnicodeString& oMandatory) const;
  /// The class or column name that an SQL define stands for.
  HRESULT ResolveDefine(const QIRUnicodeString& iDefine, QIRUnicodeString& oName) const;
  /// Appends "LENGTH", "MASS", "AREA", "LINEMASS".
  HRESULT GetMagnitudeNames(QIRListValQIRUnicodeString& oNames) const;
  /// Hands iName a UUID, known first, else the next of the pool, appending it to ioAssigned.
  /// ioIndex becomes its position in ioAssigned (0 when none); ioNextPool counts from 1.
  /// Returns the number of known names.
  int GetUUidIndex(const QIRUnicodeString iName, const QIRListValQIRUnicodeString& iPool,
                   const QIRListValQIRUnicodeString& iKnownNames,
                   const QIRListValQIRUnicodeString& iKnownUuids,
                   QIRListValQIRUnicodeString& ioAssigned, int& ioIndex,
                   int& ioNextPool) const;
  /// iClass + "_" + iName.
  QIRUnicodeString ConvertToAttrKey(const QIRUnicodeString iClass,
                                    const QIRUnicodeString& iName) const;
  /// The part after the last "." ("qm41862.Cable_Route" gives "Cable_Route").
  QIRUnicodeString ConvertClassNameToOrvane(const QIRUnicodeString& iClassName) const;

  /// Dictionary XML.
  /// Writes the dictionary XML to iOutputPath; UUIDs come from the known names, else from the
  /// "INTERFACENAME" lines of iDictionaryPath in file order (an unreadable file gives none).
  /// Prints its progress to standard output. When some item gets no UUID, nothing is written:
  /// the item is logged and E_FAIL returned.
  HRESULT GenerateOrvaneMetaData(const QIRUnicodeString& iDictionaryPath,
                                 const QIRListValQIRUnicodeString& iKnownNames,
                                 const QIRListValQIRUnicodeString& iKnownUuids,
                                 const QIRUnicodeString& iOutputPath) const;
  /// A document with a document type (iRootName, system id iDtdName) and no element yet.
  HRESULT CreateDOMDocument(const QIRUnicodeString& iRootName, const QIRUnicodeString& iDtdName,
                            QIRIDOMDocument_var& oDocument) const;
  /// Sets the attributes in list order; stops at the first failure.
  HRESULT SetAttribute(const QIRIDOMElement_var& iElement,
                       const QIRListValQIRUnicodeString& iNames,
                       const QIRListValQIRUnicodeString& iValues) const;
  HRESULT WriteDOMDoc(QIRIDOMDocument_var iDocument, const QIRUnicodeString& iPath) const;
  /// Joins iComponents under each directory of the ':'-separated variable iVariable; S_OK
  /// with oPath once an existing path is found.
  HRESULT GetResourceDirectoryPath(QIRListValQIRUnicodeString iComponents,
                                   const char* iVariable, QIRUnicodeString& oPath) const;
};

#endif
