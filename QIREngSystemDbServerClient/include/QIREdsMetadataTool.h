#ifndef QIREdsMetadataTool_H
#define QIREdsMetadataTool_H
/// \file
/// The object through which applications use the metadata dictionary: it builds and owns one
/// dictionary, accepts class names with or without the "qm41862." qualifier, reports attribute
/// types as the product-data-management side names them ("Uuid", "Integer", "Double",
/// "String") and holds the table of computed attributes. Output lists are appended to and
/// never cleared first, unless a member says otherwise. HRESULT results are S_OK or E_FAIL;
/// every code-returning query except GetComputedAttrType fails when the tool holds no
/// dictionary.

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIREdsMetadataDict.h"
#include "QIREdsMetadataTable.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

/// The metadata dictionary as applications use it.
///
/// Threads: once constructed, a tool may be queried from any number of threads at once (every
/// query, GenerateOrvaneMetaData included, only reads it); its destruction must wait for them.
class QIR_API QIREdsMetadataTool : public QIRBaseUnknown {
 public:
  /// Creates and initialises the dictionary and fills the computed-attribute table.
  QIREdsMetadataTool();
  /// Releases the dictionary.
  ~QIREdsMetadataTool() override;
  /// The tool owns its dictionary's only reference: copies would give it up twice.
  QIREdsMetadataTool(const QIREdsMetadataTool&) = delete;
  QIREdsMetadataTool& operator=(const QIREdsMetadataTool&) = delete;  ///< Not copied either.

  // Class and attribute information.
  /// The type of a computed attribute. Needs no dictionary.
  /// \param iAttrName the attribute's exact name
  /// \param oType receives its type
  /// \return S_OK; E_FAIL with oType untouched for an unknown attribute
  HRESULT GetComputedAttrType(const QIRUnicodeString& iAttrName, QIRUnicodeString& oType) const;
  /// \param iClassName the class, qualified or not
  /// \return the class's primary-key attribute; empty for an unknown class
  QIRUnicodeString GetPrimaryKey(const QIRUnicodeString& iClassName) const;
  /// Every class with its primary key, in class order; short names ("Work_Package") when
  /// iShortNames is non-zero, else qualified names.
  /// \param oClassNames receives the classes
  /// \param oPrimaryKeys receives their keys, in step
  /// \param iShortNames non-zero for short names
  /// \return S_OK; E_FAIL without a dictionary
  HRESULT GetClassInfo(QIRListValQIRUnicodeString& oClassNames,
                       QIRListValQIRUnicodeString& oPrimaryKeys,
                       const unsigned char& iShortNames) const;
  /// The class's columns, their types and required flags, in column order.
  /// \param iClassName the class, qualified or not
  /// \param oAttrNames receives the columns
  /// \param oAttrTypes receives their types
  /// \param oRequired receives 1 for NOT NULL, else 0
  /// \return S_OK; E_FAIL for an unknown class or without a dictionary
  HRESULT GetAttributeInfo(const QIRUnicodeString& iClassName,
                           QIRListValQIRUnicodeString& oAttrNames,
                           QIRListValQIRUnicodeString& oAttrTypes, QIRRawCollint& oRequired) const;
  /// The type and required flag of one attribute.
  /// \param iClassName the class, qualified or not
  /// \param iAttrName the attribute
  /// \param oAttrType receives its type
  /// \param oRequired receives 1 for NOT NULL, else 0
  /// \return S_OK, with both outputs untouched when the class has no such attribute; E_FAIL
  ///   for an unknown class or without a dictionary
  HRESULT GetAttributeType(const QIRUnicodeString& iClassName, const QIRUnicodeString iAttrName,
                           QIRUnicodeString& oAttrType, int& oRequired) const;
  /// The class's measured columns and their magnitudes.
  /// \param iClassName the class, qualified or not
  /// \param oAttrNames receives the columns
  /// \param oMagnitudes receives their magnitude names ("LENGTH", ...), in step
  /// \return S_OK; E_FAIL for an unknown class or without a dictionary
  HRESULT GetAttrMagnitudeInfo(const QIRUnicodeString& iClassName,
                               QIRListValQIRUnicodeString& oAttrNames,
                               QIRListValQIRUnicodeString& oMagnitudes) const;

  // Translations; no dictionary needed.
  /// \param iClassName a class name
  /// \return "qm41862." + iClassName, unless the name already holds "qm41862" anywhere
  QIRUnicodeString TranslateClassToNeutral(const QIRUnicodeString& iClassName) const;
  /// \param iClassName a class name
  /// \return the text after the last "." (empty when it ends with one); the name itself when
  ///   there is none
  QIRUnicodeString TranslateClassToOrvane(const QIRUnicodeString& iClassName) const;
  /// The type of column iColumnIndex (from 1) of iTable, named iAttrName: "Uuid" for key and
  /// outside-reference columns, else from the SQL type text. Empty for a null record, an
  /// index out of range or a type text that names none of the types.
  /// \param iAttrName the column's name
  /// \param iTable the record
  /// \param iColumnIndex the column's index, from 1
  /// \return the type
  QIRUnicodeString TranslateTypeToOrvane(const QIRUnicodeString iAttrName,
                                         const QIREdsMetadataTable* iTable,
                                         const int iColumnIndex) const;

  // Relationships and keys.
  /// The class's foreign keys in clause order, then its outside references: relation name,
  /// referencing attribute and referenced class (unqualified), same index across the three.
  /// \param iClassName the class, qualified or not
  /// \param oRelationNames receives the relations' names
  /// \param oAttrNames receives the referencing attributes
  /// \param oToClasses receives the referenced classes
  /// \return S_OK; E_FAIL for an unknown class or without a dictionary
  HRESULT GetRelationship(const QIRUnicodeString& iClassName,
                          QIRListValQIRUnicodeString& oRelationNames,
                          QIRListValQIRUnicodeString& oAttrNames,
                          QIRListValQIRUnicodeString& oToClasses) const;
  /// \param iClassName the class, qualified or not
  /// \param iAttrName one of its attributes
  /// \return the relation that iAttrName refers through; iAttrName itself when none
  QIRUnicodeString TransRelationNameToOrvane(const QIRUnicodeString& iClassName,
                                             const QIRUnicodeString& iAttrName) const;
  /// Replaces oMissing with the class's NOT NULL attributes, primary key excepted, that
  /// iGivenAttrs lacks.
  /// \param iClassName the class, qualified or not
  /// \param iGivenAttrs the attributes given
  /// \param oMissing receives those missing; empty when the class is unknown
  void FindMissingMandateAttr(const QIRUnicodeString& iClassName,
                              const QIRListValQIRUnicodeString& iGivenAttrs,
                              QIRListValQIRUnicodeString& oMissing) const;
  /// \param iClassName the class, qualified or not
  /// \param oAttrNames receives the columns of the class's unique key, in key order
  /// \return S_OK; E_FAIL for an unknown class or without a dictionary
  HRESULT GetUniqueAttrNames(const QIRUnicodeString& iClassName,
                             QIRListValQIRUnicodeString& oAttrNames) const;

  // Handed unchanged to the dictionary operations of the same names.
  /// \param oNames receives "LENGTH", "MASS", "AREA", "LINEMASS", appended
  /// \return S_OK; E_FAIL without a dictionary
  HRESULT GetMagnitudeNames(QIRListValQIRUnicodeString& oNames) const;
  /// \param iDefine an SQL define
  /// \param oName receives the class or column name it stands for
  /// \return S_OK; E_FAIL for an unknown define or without a dictionary
  HRESULT ResolveDefine(const QIRUnicodeString& iDefine, QIRUnicodeString& oName) const;
  /// The classes whose foreign keys reference iClass; both outputs cleared first.
  /// \param iClass the referenced class, unqualified
  /// \param iCandidates the classes looked at, qualified; empty for all
  /// \param oClasses receives the referencing classes, qualified, once per key
  /// \param oConstraintNames receives the keys' names, in step
  /// \return S_OK; E_FAIL without a dictionary
  HRESULT GetReferencingClasses(const QIRUnicodeString& iClass,
                                const QIRListValQIRUnicodeString& iCandidates,
                                QIRListValQIRUnicodeString& oClasses,
                                QIRListValQIRUnicodeString& oConstraintNames) const;
  /// \param iClassName a qualified name
  /// \return the part after the last "."; iClassName itself when the tool holds no dictionary
  QIRUnicodeString ConvertClassNameToOrvane(const QIRUnicodeString& iClassName) const;
  /// Replaces oStatements with the CREATE TABLE / ALTER TABLE statements, each enclosed in
  /// double quotes.
  /// \param oStatements receives the statements
  /// \return S_OK; E_FAIL without a dictionary
  HRESULT GenerateSQLStatements(QIRListValQIRUnicodeString& oStatements) const;
  /// Writes the dictionary XML, as QIREdsMetadataDict::GenerateOrvaneMetaData does.
  /// \param iDictionaryPath the file of "INTERFACENAME" lines
  /// \param iKnownNames names with a known UUID
  /// \param iKnownUuids their UUIDs, in step
  /// \param iOutputPath the file written
  /// \return S_OK; E_FAIL, nothing written, when neither list nor file has a UUID for every
  ///   item, or without a dictionary
  HRESULT GenerateOrvaneMetaData(const QIRUnicodeString& iDictionaryPath,
                                 const QIRListValQIRUnicodeString& iKnownNames,
                                 const QIRListValQIRUnicodeString& iKnownUuids,
                                 const QIRUnicodeString& iOutputPath) const;

 private:
  /// The dictionary when it is usable, else null.
  const QIREdsMetadataDict* Dictionary() const;

  QIREdsMetadataDict* _pMetadataDict = nullptr;  // owned: the reference its creation gave
  QIRListValQIRUnicodeString _ComputedAttrNames;
  QIRListValQIRUnicodeString _ComputedAttrTypes;  // same index as the names
};

#endif
