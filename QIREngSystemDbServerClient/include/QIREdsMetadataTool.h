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
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"
#include "QIREdsMetadataDict.h"
#include "QIREdsMetadataTable.h"

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
  QIREdsMetadataTool& operator=(const QIREdsMetadataTool&) = delete;

  /// Class and attribute information.
  /// The type of a computed attribute (exact name); E_FAIL with oType untouched when unknown.
  /// Needs no dictionary.
  HRESULT GetComputedAttrType(const QIRUnicodeString& iAttrName, QIRUnicodeString& oType) const;
  /// The class's primary-key attribute; empty for an unknown class.
  QIRUnicodeString GetPrimaryKey(const QIRUnicodeString& iClassName) const;
  /// Every class with its primary key, in class order; short names ("Work_Package") when
  /// iShortNames is non-zero, else qualified names.
  HRESULT GetClassInfo(QIRListValQIRUnicodeString& oClassNames,
                       QIRListValQIRUnicodeString& oPrimaryKeys,
                       const unsigned char& iShortNames) const;
  /// The class's columns, their types and required flags (1 for NOT NULL), in column order.
  HRESULT GetAttributeInfo(const QIRUnicodeString& iClassName,
                           QIRListValQIRUnicodeString& oAttrNames,
                           QIRListValQIRUnicodeString& oAttrTypes,
                           QIRRawCollint& oRequired) const;
  /// The type and required flag of one attribute. S_OK with both outputs untouched when the
  /// class has no such attribute; E_FAIL for an unknown class.
  HRESULT GetAttributeType(const QIRUnicodeString& iClassName, const QIRUnicodeString iAttrName,
                           QIRUnicodeString& oAttrType, int& oRequired) const;
  /// The class's measured columns and, same index, their magnitude names ("LENGTH", ...).
  HRESULT GetAttrMagnitudeInfo(const QIRUnicodeString& iClassName,
                               QIRListValQIRUnicodeString& oAttrNames,
                               QIRListValQIRUnicodeString& oMagnitudes) const;

  /// Translations; no dictionary needed.
  /// "qm41862." + iClassName, unless the name already holds "qm41862" anywhere.
  QIRUnicodeString TranslateClassToNeutral(const QIRUnicodeString& iClassName) const;
  /// The text after the last "." (empty when it ends with one); the name itself when none.
  QIRUnicodeString TranslateClassToOrvane(const QIRUnicodeString& iClassName) const;
  /// The type of column iColumnIndex (from 1) of iTable, named iAttrName: "Uuid" for key and
  /// outside-reference columns, else from the SQL type text. Empty for a null record, an
  /// index out of range or a type text that names none of the types.
  QIRUnicodeString TranslateTypeToOrvane(const QIRUnicodeString iAttrName,
                                         const QIREdsMetadataTable* iTable,
                                         const int iColumnIndex) const;

  /// Relationships and keys.
  /// The class's foreign keys in clause order, then its outside references: relation name,
  /// referencing attribute and referenced class (unqualified), same index across the three.
  HRESULT GetRelationship(const QIRUnicodeString& iClassName,
                          QIRListValQIRUnicodeString& oRelationNames,
                          QIRListValQIRUnicodeString& oAttrNames,
                          QIRListValQIRUnicodeString& oToClasses) const;
  /// The relation that iAttrName of the class refers through; iAttrName itself when none.
  QIRUnicodeString TransRelationNameToOrvane(const QIRUnicodeString& iClassName,
                                             const QIRUnicodeString& iAttrName) const;
  /// Replaces oMissing with the class's NOT NULL attributes, primary key excepted, that
  /// iGivenAttrs lacks. Empty when the class is unknown.
  void FindMissingMandateAttr(const QIRUnicodeString& iClassName,
                              const QIRListValQIRUnicodeString& iGivenAttrs,
                              QIRListValQIRUnicodeString& oMissing) const;
  /// The columns of the class's unique key, in key order.
  HRESULT GetUniqueAttrNames(const QIRUnicodeString& iClassName,
                             QIRListValQIRUnicodeString& oAttrNames) const;

  /// Handed unchanged to the dictionary operation of the same name.
  HRESULT GetMagnitudeNames(QIRListValQIRUnicodeString& oNames) const;
  HRESULT ResolveDefine(const QIRUnicodeString& iDefine, QIRUnicodeString& oName) const;
  /// iClass unqualified; candidates and results qualified; both outputs cleared first.
  HRESULT GetReferencingClasses(const QIRUnicodeString& iClass,
                                const QIRListValQIRUnicodeString& iCandidates,
                                QIRListValQIRUnicodeString& oClasses,
                                QIRListValQIRUnicodeString& oConstraintNames) const;
  /// iClassName itself when the tool holds no dictionary.
  QIRUnicodeString ConvertClassNameToOrvane(const QIRUnicodeString& iClassName) const;
  HRESULT GenerateSQLStatements(QIRListValQIRUnicodeString& oStatements) const;
  /// Writes nothing, with E_FAIL, when neither list nor file has a UUID for every item.
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
