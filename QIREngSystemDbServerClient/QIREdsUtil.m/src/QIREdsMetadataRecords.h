#ifndef QIREdsMetadataRecords_H
#define QIREdsMetadataRecords_H
// The steps by which QIREdsMetadataDict::FillClassTypeTable builds one record per class from
// its tagged source lists. Not installed.

#include "QIREdsMetadataDict.h"
#include "QIREdsMetadataTable.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

namespace QIREdsMetadataRecords {

// The source lists, each beside the list of tags that ties its entries to a class.
struct Sources {
  const QIRListValQIRUnicodeString& Classes;
  const QIRRawCollint& ClassNumbers;
  const QIRListValQIRUnicodeString& Columns;
  const QIRRawCollint& ColumnTags;
  const QIRListValQIRUnicodeString& ColumnTypes;
  const QIRRawCollint& TypeTags;
  const QIRListValQIRUnicodeString& Constraints;
  const QIRRawCollint& ConstraintTags;
  const QIRListValQIRUnicodeString& Scopes;
  const QIRRawCollint& ScopeTags;
  const QIRListValQIRUnicodeString& ExtRefs;
  const QIRRawCollint& ExtRefTags;
  const QIRListValQIRUnicodeString& MagnitudeColumns;
  const QIRListValQIRUnicodeString& MagnitudeNames;
  const QIRRawCollint& MagnitudeTags;
};

// Scope entries that parsed, their class resolved from number to position; the four lists
// grow together.
struct Scopes {
  QIRListValQIRUnicodeString Names;
  QIRListValQIRUnicodeString Refs;
  QIRRawCollint Positions;
  QIRRawCollint Kinds;  // 1 for "_D_", 0 for "_N_"
};

Scopes ReadScopes(const Sources& iSources);
// False when classes, columns, types or constraints are missing or unpaired with their tags.
bool Paired(const Sources& iSources);
// Columns, their magnitudes and their types, those of class number iNumber.
void AddColumns(QIREdsMetadataTable& ioRecord, int iNumber, const Sources& iSources);
// Constraint clauses and the keys and references read from them.
void AddClauses(const QIREdsMetadataDict& iDictionary, QIREdsMetadataTable& ioRecord, int iNumber,
                const Sources& iSources);
// The scope of the class at iPosition; the last matching entry wins.
void AddScope(QIREdsMetadataTable& ioRecord, int iPosition, const Scopes& iScopes);
// Outside references are tagged by position, not by class number.
void AddOutsideReferences(const QIREdsMetadataDict& iDictionary, QIREdsMetadataTable& ioRecord,
                          int iPosition, const Sources& iSources);

}  // namespace QIREdsMetadataRecords

#endif
