#include "QIREdsMetadataRecords.h"

#include "QIREdsMetadataText.h"

namespace QIREdsMetadataRecords {

Scopes ReadScopes(const Sources& iSources)
{
  Scopes scopes;
  for (int i = 1; i <= iSources.Scopes.Size() && i <= iSources.ScopeTags.Size(); ++i) {
    const QIRUnicodeString& entry = iSources.Scopes[i];
    int kind = 1;
    int at = entry.SearchSubString("_D_");
    if (at < 0) {
      kind = 0;
      at = entry.SearchSubString("_N_");
    }
    if (at < 0) continue;
    const QIRUnicodeString name = entry.SubString(0, at);
    const QIRUnicodeString ref = entry.SubString(at + 3, entry.GetLengthInChar() - at - 3);
    const int position = iSources.ClassNumbers.Locate(iSources.ScopeTags[i]);
    if (name.IsNull() || ref.IsNull() || position <= 0) continue;
    scopes.Names.Append(name);
    scopes.Refs.Append(ref);
    scopes.Positions.Append(position);
    scopes.Kinds.Append(kind);
  }
  return scopes;
}

bool Paired(const Sources& iSources)
{
  const auto paired = [](int iLeft, int iRight) { return iLeft > 0 && iLeft == iRight; };
  return paired(iSources.Classes.Size(), iSources.ClassNumbers.Size()) &&
         paired(iSources.Columns.Size(), iSources.ColumnTags.Size()) &&
         paired(iSources.ColumnTypes.Size(), iSources.TypeTags.Size()) &&
         paired(iSources.Constraints.Size(), iSources.ConstraintTags.Size());
}

void AddColumns(QIREdsMetadataTable& ioRecord, int iNumber, const Sources& iSources)
{
  for (int j = 1; j <= iSources.Columns.Size(); ++j)
    if (iSources.ColumnTags[j] == iNumber) ioRecord.Columns.Append(iSources.Columns[j]);

  const int magnitudes = iSources.MagnitudeColumns.Size();
  if (magnitudes > 0 && magnitudes == iSources.MagnitudeNames.Size() &&
      magnitudes == iSources.MagnitudeTags.Size()) {
    for (int j = 1; j <= magnitudes; ++j) {
      if (iSources.MagnitudeTags[j] != iNumber) continue;
      ioRecord.MagnitudeColumns.Append(iSources.MagnitudeColumns[j]);
      ioRecord.Magnitudes.Append(iSources.MagnitudeNames[j]);
    }
  }

  for (int j = 1; j <= iSources.ColumnTypes.Size(); ++j) {
    if (iSources.TypeTags[j] != iNumber) continue;
    ioRecord.ColumnTypes.Append(iSources.ColumnTypes[j]);
    ioRecord.Required.Append(QIREdsMetadataText::Contains(iSources.ColumnTypes[j], "NOT NULL"));
  }
}

void AddClauses(const QIREdsMetadataDict& iDictionary, QIREdsMetadataTable& ioRecord, int iNumber,
                const Sources& iSources)
{
  // A clause is whichever reader accepts it first; the others leave their lists alone.
  for (int j = 1; j <= iSources.Constraints.Size(); ++j) {
    if (iSources.ConstraintTags[j] != iNumber) continue;
    const QIRUnicodeString& clause = iSources.Constraints[j];
    ioRecord.Constraints.Append(clause);
    if (SUCCEEDED(iDictionary.GetKeys("PRIMARY", clause, ioRecord.PrimaryKeys))) continue;
    if (SUCCEEDED(iDictionary.GetKeys("UNIQUE", clause, ioRecord.UniqueKeys))) continue;
    iDictionary.GetConstraints(clause, ioRecord.RefFromColumns, ioRecord.RefToTables,
                               ioRecord.RefToColumns);
  }
}

void AddScope(QIREdsMetadataTable& ioRecord, int iPosition, const Scopes& iScopes)
{
  for (int j = 1; j <= iScopes.Names.Size(); ++j) {
    if (iScopes.Positions[j] != iPosition) continue;
    ioRecord.ScopeName = iScopes.Names[j];
    ioRecord.ScopeRef = iScopes.Refs[j];
    ioRecord.ScopeKind = iScopes.Kinds[j];
  }
}

void AddOutsideReferences(const QIREdsMetadataDict& iDictionary, QIREdsMetadataTable& ioRecord,
                          int iPosition, const Sources& iSources)
{
  const QIRListValQIRUnicodeString& references = iSources.ExtRefs;
  if (references.Size() == 0 || references.Size() != iSources.ExtRefTags.Size()) return;
  for (int j = 1; j <= references.Size(); ++j) {
    if (iSources.ExtRefTags[j] != iPosition) continue;
    const QIRUnicodeString name = iDictionary.GetConstraintName(references[j]);
    if (SUCCEEDED(iDictionary.GetConstraints(references[j], ioRecord.ExtRefFromColumns,
                                             ioRecord.ExtRefToClasses, ioRecord.ExtRefToUuids)))
      ioRecord.ExtRefNames.Append(name);
  }
}

}  // namespace QIREdsMetadataRecords
