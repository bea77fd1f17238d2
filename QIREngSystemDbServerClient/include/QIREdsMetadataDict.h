#ifndef QIREdsMetadataDict_H
#define QIREdsMetadataDict_H
/// \file
/// The built-in metadata dictionary of the cable-routing database: thirteen table records
/// and the SQL defines, with the readers, queries and generators over them. Empty after
/// construction, full after Initialize, read only afterwards. Output lists are appended to
/// unless a member says otherwise; HRESULT results are S_OK or E_FAIL.

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIREdsMetadataTable.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"
#include "QIRXMLServices.h"

/// The schema's dictionary.
///
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
  QIREdsMetadataDict& operator=(const QIREdsMetadataDict&) = delete;  ///< Not copied either.

  QIRListValQIRUnicodeString Defines;       ///< 13 table defines, then 107 column defines.
  QIRListValQIRUnicodeString DefinedNames;  ///< Same index: qualified class or bare column name.
  QIRListPtrQIRBaseUnknown Tables;          ///< QIREdsMetadataTable records, one reference each.

  // Lifecycle.
  /// Drops the old records (callers holding references keep theirs) and builds the schema.
  /// \return S_OK, or E_FAIL when the schema cannot be built
  HRESULT Initialize();
  /// Builds the records from the fifteen source lists; Initialize's worker. Each tag list
  /// gives, entry by entry, the number of the class the item of its list belongs to.
  /// \param iClasses the qualified class names
  /// \param iClassNumbers their numbers, in step
  /// \param iColumns the column names
  /// \param iColumnTags their classes' numbers
  /// \param iColumnTypes the columns' SQL types
  /// \param iTypeTags their classes' numbers
  /// \param iConstraints the constraint clauses
  /// \param iConstraintTags their classes' numbers
  /// \param iScopes the scope entries ("_D_" or "_N_" forms)
  /// \param iScopeTags their classes' numbers
  /// \param iExtRefs the references to classes outside the schema
  /// \param iExtRefTags their classes' numbers
  /// \param iMagnitudeColumns the columns that have a magnitude
  /// \param iMagnitudeNames their magnitudes, in step
  /// \param iMagnitudeTags their classes' numbers
  /// \return S_OK; E_FAIL when a list and its tags differ in size or a record cannot be made
  HRESULT FillClassTypeTable(
      const QIRListValQIRUnicodeString& iClasses, const QIRRawCollint& iClassNumbers,
      const QIRListValQIRUnicodeString& iColumns, const QIRRawCollint& iColumnTags,
      const QIRListValQIRUnicodeString& iColumnTypes, const QIRRawCollint& iTypeTags,
      const QIRListValQIRUnicodeString& iConstraints, const QIRRawCollint& iConstraintTags,
      const QIRListValQIRUnicodeString& iScopes, const QIRRawCollint& iScopeTags,
      const QIRListValQIRUnicodeString& iExtRefs, const QIRRawCollint& iExtRefTags,
      const QIRListValQIRUnicodeString& iMagnitudeColumns,
      const QIRListValQIRUnicodeString& iMagnitudeNames, const QIRRawCollint& iMagnitudeTags);
  /// Empties Tables (releasing each record), Defines and DefinedNames.
  void CleanupAllTables();

  // Lookups.
  /// Appends each record's Name and first primary key.
  /// \param oClassNames receives the names
  /// \param oPrimaryKeys receives the keys, in step
  /// \return S_OK; E_FAIL when none was listed
  HRESULT GetClassNames(QIRListValQIRUnicodeString& oClassNames,
                        QIRListValQIRUnicodeString& oPrimaryKeys) const;
  /// \param iClassName the record's name, qualified, exact
  /// \param oTable receives the record with a reference the caller releases; null on failure
  /// \return S_OK; E_FAIL for an unknown name or a null oTable
  HRESULT GetClassTable(const QIRUnicodeString& iClassName, QIREdsMetadataTable** oTable) const;

  // Constraint clause readers: keyword searches, not SQL parsing. Nothing is appended on
  // failure.
  /// \param iKeyword "PRIMARY" or "UNIQUE"
  /// \param iClause the clause
  /// \param oKeys receives the columns in the parentheses after iKeyword, one per entry
  /// \return S_OK; E_FAIL when the clause holds no such list
  HRESULT GetKeys(const QIRUnicodeString& iKeyword, const QIRUnicodeString& iClause,
                  QIRListValQIRUnicodeString& oKeys) const;
  /// Reads one FOREIGN KEY clause.
  /// \param iClause the clause
  /// \param oFromColumns receives its columns
  /// \param oToTables receives the referenced class, unqualified
  /// \param oToColumns receives the referenced columns
  /// \return S_OK; E_FAIL when the clause is not one
  HRESULT GetConstraints(const QIRUnicodeString& iClause, QIRListValQIRUnicodeString& oFromColumns,
                         QIRListValQIRUnicodeString& oToTables,
                         QIRListValQIRUnicodeString& oToColumns) const;
  /// Splits iText at any of iSeparators; each piece stripped of blanks.
  /// \param iSeparators the separating characters
  /// \param iText the text
  /// \param oPieces receives the pieces
  /// \return S_OK; E_FAIL when the text or the separators are empty
  HRESULT ChoppedBy(const QIRUnicodeString& iSeparators, const QIRUnicodeString& iText,
                    QIRListValQIRUnicodeString& oPieces) const;
  /// Reads a FOREIGN KEY clause's name, columns and referenced class.
  /// \param iClause the clause
  /// \param oConstraintName receives its name
  /// \param oColumns receives its columns
  /// \param oToClass receives the referenced class
  /// \return S_OK; E_FAIL when the clause cannot be read, the outputs then partly set and not
  ///   to be used
  HRESULT ParseConstraint(const QIRUnicodeString& iClause, QIRUnicodeString& oConstraintName,
                          QIRUnicodeString& oColumns, QIRUnicodeString& oToClass) const;
  /// \param iClause the clause
  /// \return the word after "CONSTRAINT"; empty when there is none
  QIRUnicodeString GetConstraintName(const QIRUnicodeString& iClause) const;

  // Generators.
  /// Replaces oStatements with the CREATE TABLE / ALTER TABLE statements, each enclosed in
  /// double quotes.
  /// \param oStatements receives the statements
  /// \return S_OK; E_FAIL for an empty dictionary
  HRESULT GenerateSQLStatements(QIRListValQIRUnicodeString& oStatements) const;
  /// Prints the records to standard output for diagnosis.
  void DumpDictionary() const;
  /// Prints one record to standard output.
  /// \param iTable a QIREdsMetadataTable; null prints nothing
  void DumpTable(const QIRBaseUnknown* iTable) const;

  // Queries.
  /// Records (among iCandidates when non-empty) whose foreign keys reference iClass, given
  /// unqualified; both outputs are cleared first. A record is listed once per such key.
  /// \param iClass the referenced class, unqualified
  /// \param iCandidates the records looked at; empty for all
  /// \param oClasses receives the referencing records' names
  /// \param oConstraintNames receives the keys' names, in step
  /// \return S_OK; E_FAIL for an empty class name or an empty dictionary
  HRESULT GetReferencingClasses(const QIRUnicodeString& iClass,
                                const QIRListValQIRUnicodeString& iCandidates,
                                QIRListValQIRUnicodeString& oClasses,
                                QIRListValQIRUnicodeString& oConstraintNames) const;
  /// Describes an SQL type. Outputs untouched for an empty type.
  /// \param iType the SQL type text
  /// \param oAttrType receives "Integer", "Double", "String" or "Undefined"
  /// \param oMaxLength receives the length in CHAR(n)
  /// \param oMandatory receives "Yes" for a three-word type
  void GetDataType(const QIRUnicodeString& iType, QIRUnicodeString& oAttrType,
                   QIRUnicodeString& oMaxLength, QIRUnicodeString& oMandatory) const;
  /// \param iDefine an SQL define
  /// \param oName receives the class or column name it stands for
  /// \return S_OK; E_FAIL for an unknown define
  HRESULT ResolveDefine(const QIRUnicodeString& iDefine, QIRUnicodeString& oName) const;
  /// \param oNames receives "LENGTH", "MASS", "AREA", "LINEMASS", appended
  /// \return S_OK
  HRESULT GetMagnitudeNames(QIRListValQIRUnicodeString& oNames) const;
  /// Hands iName a UUID, known first, else the next of the pool, appending it to ioAssigned.
  /// ioIndex becomes its position in ioAssigned (0 when none); ioNextPool counts from 1.
  /// \param iName the name
  /// \param iPool the UUIDs handed out in order
  /// \param iKnownNames names with a known UUID
  /// \param iKnownUuids their UUIDs, in step
  /// \param ioAssigned the names handed a UUID so far
  /// \param ioIndex receives the position
  /// \param ioNextPool the next pool entry, from 1
  /// \return the number of known names
  int GetUUidIndex(const QIRUnicodeString iName, const QIRListValQIRUnicodeString& iPool,
                   const QIRListValQIRUnicodeString& iKnownNames,
                   const QIRListValQIRUnicodeString& iKnownUuids,
                   QIRListValQIRUnicodeString& ioAssigned, int& ioIndex, int& ioNextPool) const;
  /// \param iClass the class
  /// \param iName the attribute
  /// \return iClass + "_" + iName
  QIRUnicodeString ConvertToAttrKey(const QIRUnicodeString iClass,
                                    const QIRUnicodeString& iName) const;
  /// \param iClassName a qualified name
  /// \return the part after the last "." ("qm41862.Cable_Route" gives "Cable_Route")
  QIRUnicodeString ConvertClassNameToOrvane(const QIRUnicodeString& iClassName) const;

  // Dictionary XML.
  /// Writes the dictionary XML to iOutputPath; UUIDs come from the known names, else from the
  /// "INTERFACENAME" lines of iDictionaryPath in file order (an unreadable file gives none).
  /// Prints its progress to standard output. When some item gets no UUID, nothing is written:
  /// the item is logged and E_FAIL returned.
  /// \param iDictionaryPath the file of "INTERFACENAME" lines
  /// \param iKnownNames names with a known UUID
  /// \param iKnownUuids their UUIDs, in step
  /// \param iOutputPath the file written
  /// \return S_OK, or E_FAIL
  HRESULT GenerateOrvaneMetaData(const QIRUnicodeString& iDictionaryPath,
                                 const QIRListValQIRUnicodeString& iKnownNames,
                                 const QIRListValQIRUnicodeString& iKnownUuids,
                                 const QIRUnicodeString& iOutputPath) const;
  /// Makes a document with a document type and no element yet.
  /// \param iRootName the root name the type declares
  /// \param iDtdName the type's system identifier
  /// \param oDocument receives the document
  /// \return S_OK, or E_FAIL
  HRESULT CreateDOMDocument(const QIRUnicodeString& iRootName, const QIRUnicodeString& iDtdName,
                            QIRIDOMDocument_var& oDocument) const;
  /// Sets the attributes in list order; stops at the first failure.
  /// \param iElement the element
  /// \param iNames the attributes' names
  /// \param iValues their values, in step
  /// \return S_OK, or E_FAIL
  HRESULT SetAttribute(const QIRIDOMElement_var& iElement, const QIRListValQIRUnicodeString& iNames,
                       const QIRListValQIRUnicodeString& iValues) const;
  /// Writes the document to a file.
  /// \param iDocument the document
  /// \param iPath the file
  /// \return S_OK, or E_FAIL
  HRESULT WriteDOMDoc(QIRIDOMDocument_var iDocument, const QIRUnicodeString& iPath) const;
  /// Joins iComponents under each directory of the ':'-separated variable iVariable; S_OK
  /// with oPath once an existing path is found.
  /// \param iComponents the path's components
  /// \param iVariable the variable's name
  /// \param oPath receives the path found
  /// \return S_OK when found; E_FAIL otherwise
  HRESULT GetResourceDirectoryPath(QIRListValQIRUnicodeString iComponents, const char* iVariable,
                                   QIRUnicodeString& oPath) const;
};

#endif
