#include "QIREdsMetadataDict.h"

#include "QIREdsCableRoutingSchema.h"
#include "QIRError.h"
#include "QIRFileServices.h"

#include <cstdio>
#include <new>
#include <string>

namespace {

// Entries of Tables are checked by metaclass before they are read, so that a foreign
// component placed there is passed over rather than misread.
QIREdsMetadataTable* AsTable(QIRBaseUnknown* iEntry)
{
  if (!iEntry || !iEntry->IsAKindOf(QIREdsMetadataTable::ClassName())) return nullptr;
  return dynamic_cast<QIREdsMetadataTable*>(iEntry);
}

int Contains(const QIRUnicodeString& iText, const char* iWhat)
{
  return iText.SearchSubString(iWhat) >= 0 ? 1 : 0;
}

// The characters strictly between two positions; empty whenever they do not enclose any,
// so that a clause with misplaced parentheses never leads a read outside the text.
QIRUnicodeString Between(const QIRUnicodeString& iText, int iOpen, int iClose)
{
  if (iOpen < 0 || iClose - iOpen - 1 <= 0) return QIRUnicodeString();
  return iText.SubString(iOpen + 1, iClose - iOpen - 1);
}

QIRUnicodeString Stripped(QIRUnicodeString iText)
{
  iText.Strip();
  return iText;
}

const int kResourcePathSize = 1024;

// Two fields of every row of a schema table, each appended to its own list in row order.
template <typename Row, typename First, typename Second, typename FirstList, typename SecondList>
void AppendRows(const Row* iRows, int iCount, First Row::*iFirst, Second Row::*iSecond,
                FirstList& oFirst, SecondList& oSecond)
{
  for (int i = 0; i < iCount; ++i) {
    oFirst.Append(iRows[i].*iFirst);
    oSecond.Append(iRows[i].*iSecond);
  }
}

// A line "... INTERFACENAME = { xxx<36-character UUID>yy" of an existing dictionary gives
// its UUID in the four-group form of the schema. False for any other line and for one too
// short to hold any text; a blank text or a lone dash still takes its place in the pool, as
// an empty UUID, so that the UUIDs after it keep theirs.
bool UuidOfDictionaryLine(QIRUnicodeString iLine, QIRUnicodeString& oUuid)
{
  const int length = iLine.GetLengthInChar();
  if (length > 0) iLine.Remove(length - 1, 1);  // the line end
  const int marker = iLine.SearchSubString("INTERFACENAME = { ");
  const int n = iLine.GetLengthInChar();
  const int first = marker + 21;  // the three characters after the marker are not the UUID's
  if (marker < 0 || n < 4 || n - 2 <= first) return false;
  oUuid = Stripped(iLine.SubString(first, n - 2 - first));
  const int dash = oUuid.SearchSubString("-", 0, QIRUnicodeString::QIRSearchBackward);
  if (dash >= 0) oUuid = oUuid.SubString(0, dash) + oUuid.SubString(dash + 1, 12);
  return true;
}

// ioFile is cleared before it is closed, so that after an error the caller closes only a
// file that is still open.
void ReadUuidPool(const QIRUnicodeString& iPath, QIRListValQIRUnicodeString& oPool,
                  QIRFileHandle& ioFile)
{
  if (FAILED(QIRFOpen(iPath.ConvertToChar(), "r", &ioFile)) || ioFile == nullptr) {
    ioFile = nullptr;
    return;
  }
  char line[1024];
  while (QIRFEof(ioFile) == 1 && QIRFGets(ioFile, line, sizeof line) == 0) {
    line[sizeof line - 1] = '\0';
    QIRUnicodeString uuid;
    if (UuidOfDictionaryLine(line, uuid)) oPool.Append(uuid);
  }
  QIRFileHandle file = ioFile;
  ioFile = nullptr;
  QIRFClose(file);
}

// Up the class tree without asking the element for an interface.
QIRIDOMNode_var AsNode(const QIRIDOMElement_var& iElement)
{
  return QIRIDOMNode_var(iElement.get());
}

// Attribute names and values in the order they are set on an element.
struct AttributeList {
  QIRListValQIRUnicodeString Names;
  QIRListValQIRUnicodeString Values;
  AttributeList& Add(const QIRUnicodeString& iName, const QIRUnicodeString& iValue)
  {
    Names.Append(iName);
    Values.Append(iValue);
    return *this;
  }
};

// The working lists of one dictionary XML run. Pool UUIDs go out in call order, so the
// order in which items ask for theirs is part of the written format.
struct DictionaryXmlRun {
  DictionaryXmlRun(const QIREdsMetadataDict& iDictionary,
                   const QIRListValQIRUnicodeString& iKnownNames,
                   const QIRListValQIRUnicodeString& iKnownUuids)
      : Dictionary(iDictionary), KnownNames(iKnownNames), KnownUuids(iKnownUuids)
  {
  }

  // The index of iName's UUID among Assigned; 0 when neither the known names nor the pool
  // could give one.
  int TakeUuid(const QIRUnicodeString& iName)
  {
    Dictionary.GetUUidIndex(iName, Pool, KnownNames, KnownUuids, Assigned, Index, NextPool);
    if (Index == 0 && FirstWithoutUuid.IsNull()) FirstWithoutUuid = iName;
    return Index;
  }
  QIRUnicodeString Uuid(int iIndex) const
  {
    return iIndex > 0 && iIndex <= Assigned.Size() ? Assigned[iIndex] : QIRUnicodeString();
  }
  // A new element of iTag appended to iParent; empty when either step fails. An empty
  // parent raises, which ends the run.
  QIRIDOMElement_var NewChild(const QIRIDOMNode_var& iParent, const char* iTag) const
  {
    QIRIDOMElement_var element;
    if (FAILED(Document->CreateElement(iTag, element)) || element == NULL_var) return NULL_var;
    if (FAILED(iParent->AppendChild(AsNode(element)))) return NULL_var;
    return element;
  }

  const QIREdsMetadataDict& Dictionary;
  const QIRListValQIRUnicodeString& KnownNames;
  const QIRListValQIRUnicodeString& KnownUuids;
  QIRIDOMDocument_var Document;
  QIRListValQIRUnicodeString Pool;
  QIRListValQIRUnicodeString Assigned;
  int Index = 1;
  int NextPool = 1;
  QIRUnicodeString FirstWithoutUuid;

  QIRListValQIRUnicodeString WrittenClasses;  // "Package", then short class names
  QIRRawCollint WrittenClassUuids;
  QIRListValQIRUnicodeString SimpleKeys;  // attribute keys, unique keys' included
  QIRRawCollint SimpleUuids;
  QIRListValQIRUnicodeString KeyColumnKeys;
  QIRRawCollint KeyColumnMandatory;
  QIRListValQIRUnicodeString ForeignKeyNames;
  QIRListValQIRUnicodeString ForeignKeyAttrKeys;
  QIRListValQIRUnicodeString ForeignKeyTargets;
  QIRRawCollint ForeignKeyUuids;
  QIRRawCollint ClassForeignKeys;  // positions in the foreign-key lists, current class only
};

// Everything from the first "_key" of the first primary key is cut ("Work_package_key"
// gives "Work_package"); the search is case-sensitive on purpose.
QIRUnicodeString ClassAlias(const QIREdsMetadataTable& iTable, const QIRUnicodeString& iShortName)
{
  if (iTable.PrimaryKeys.Size() == 0) return iShortName;
  const QIRUnicodeString& key = iTable.PrimaryKeys[1];
  const int cut = key.SearchSubString("_key");
  return cut >= 0 ? key.SubString(0, cut) : key;
}

// Keys and outside references are relationships, never simple attributes.
bool IsKeyColumn(const QIREdsMetadataTable& iTable, const QIRUnicodeString& iColumn)
{
  return Contains(iColumn, "_key") || Contains(iColumn, "_Key") ||
         iTable.ExtRefFromColumns.Locate(iColumn) > 0;
}

QIRUnicodeString RelationshipMandatory(const DictionaryXmlRun& iRun, const QIRUnicodeString& iKey)
{
  const int at = iRun.KeyColumnKeys.Locate(iKey);
  return at > 0 && iRun.KeyColumnMandatory[at] == 1 ? "Yes" : "No";
}

HRESULT SetRelationshipAttributes(const QIREdsMetadataDict& iDictionary,
                                  const QIRIDOMElement_var& iElement,
                                  const QIRUnicodeString& iName, const QIRUnicodeString& iUuid,
                                  const QIRUnicodeString& iMandatory,
                                  const QIRUnicodeString& iTarget)
{
  AttributeList attributes;
  attributes.Add("Name", iName)
      .Add("Uuid", iUuid)
      .Add("Visibility", "Public")
      .Add("AccessMode", "ReadWrite")
      .Add("Mandatory", iMandatory)
      .Add("TargetRef", iTarget)
      .Add("MultiValuated", "No")
      .Add("Aggregation", "Shared");
  return iDictionary.SetAttribute(iElement, attributes.Names, attributes.Values);
}

// Foreign keys take their UUIDs before any attribute, although their elements come last.
void TakeForeignKeyUuids(DictionaryXmlRun& ioRun, const QIREdsMetadataTable& iTable,
                         const QIRUnicodeString& iShortName)
{
  for (int i = 1; i <= iTable.Constraints.Size(); ++i) {
    const QIRUnicodeString& clause = iTable.Constraints[i];
    if (!Contains(clause, "FOREIGN KEY")) continue;
    QIRUnicodeString name, columns, target;
    if (FAILED(ioRun.Dictionary.ParseConstraint(clause, name, columns, target))) continue;
    const int uuid = ioRun.TakeUuid(name);
    ioRun.ForeignKeyNames.Append(name);
    ioRun.ForeignKeyAttrKeys.Append(ioRun.Dictionary.ConvertToAttrKey(iShortName, columns));
    ioRun.ForeignKeyTargets.Append(target);
    ioRun.ForeignKeyUuids.Append(uuid);
    ioRun.ClassForeignKeys.Append(ioRun.ForeignKeyNames.Size());
  }
}

void WriteSimpleAttributes(DictionaryXmlRun& ioRun, const QIREdsMetadataTable& iTable,
                           const QIRUnicodeString& iShortName, const QIRIDOMElement_var& iClass)
{
  const bool magnitudes = iTable.MagnitudeColumns.Size() > 0 &&
                          iTable.MagnitudeColumns.Size() == iTable.Magnitudes.Size();
  for (int i = 1; i <= iTable.Columns.Size(); ++i) {
    const QIRUnicodeString& column = iTable.Columns[i];
    const QIRUnicodeString key = ioRun.Dictionary.ConvertToAttrKey(iShortName, column);
    QIRUnicodeString type = "Undefined", maxLength, mandatory = "No";
    ioRun.Dictionary.GetDataType(iTable.ColumnTypes[i], type, maxLength, mandatory);
    if (IsKeyColumn(iTable, column)) {
      ioRun.KeyColumnKeys.Append(key);
      ioRun.KeyColumnMandatory.Append(mandatory == "Yes" ? 1 : 0);
      continue;
    }
    const QIRIDOMElement_var simple = ioRun.NewChild(AsNode(iClass), "Simple");
    if (simple == NULL_var) continue;
    const int uuid = ioRun.TakeUuid(key);
    ioRun.SimpleKeys.Append(key);
    ioRun.SimpleUuids.Append(uuid);
    AttributeList attributes;
    attributes.Add("Name", column)
        .Add("Uuid", ioRun.Uuid(uuid))
        .Add("Visibility", "Public")
        .Add("AccessMode", "ReadWrite")
        .Add("Type", type);
    if (!maxLength.IsNull()) attributes.Add("MaxLength", maxLength);
    attributes.Add("Mandatory", mandatory).Add("MultiValuated", "No");
    const int magnitude = magnitudes ? iTable.MagnitudeColumns.Locate(column) : 0;
    if (magnitude > 0) attributes.Add("Magnitude", iTable.Magnitudes[magnitude]);
    ioRun.Dictionary.SetAttribute(simple, attributes.Names, attributes.Values);
  }
}

// A member refers to the simple attribute, or failing that the relationship, that holds it.
int MemberUuid(const DictionaryXmlRun& iRun, const QIRUnicodeString& iKey)
{
  const int simple = iRun.SimpleKeys.Locate(iKey);
  if (simple > 0) return iRun.SimpleUuids[simple];
  const int foreignKey = iRun.ForeignKeyAttrKeys.Locate(iKey);
  return foreignKey > 0 ? iRun.ForeignKeyUuids[foreignKey] : 0;
}

void WriteUniqueKeys(DictionaryXmlRun& ioRun, const QIREdsMetadataTable& iTable,
                     const QIRUnicodeString& iShortName, const QIRIDOMElement_var& iClass)
{
  for (int i = 1; i <= iTable.Constraints.Size(); ++i) {
    const QIRUnicodeString& clause = iTable.Constraints[i];
    if (Contains(clause, "PRIMARY KEY") || !Contains(clause, " UNIQUE ")) continue;
    const QIRUnicodeString name = ioRun.Dictionary.GetConstraintName(clause);
    QIRToken members(
        Between(clause, clause.SearchSubString("("), clause.SearchSubString(")")));
    QIRUnicodeString references;
    for (QIRUnicodeString member = members.GetNextToken(","); !member.IsNull();
         member = members.GetNextToken(",")) {
      const int uuid =
          MemberUuid(ioRun, ioRun.Dictionary.ConvertToAttrKey(iShortName, Stripped(member)));
      if (uuid > 0) references += ioRun.Uuid(uuid) + " ";
    }
    if (references.IsNull()) continue;
    const QIRIDOMElement_var unique = ioRun.NewChild(AsNode(iClass), "Unique");
    if (unique == NULL_var) continue;
    ioRun.SimpleKeys.Append(ioRun.Dictionary.ConvertToAttrKey(iShortName, name));
    const int uuid = ioRun.TakeUuid(name);
    ioRun.SimpleUuids.Append(uuid);
    AttributeList attributes;
    attributes.Add("Name", name).Add("Uuid", ioRun.Uuid(uuid)).Add("UniqueRefs", references);
    ioRun.Dictionary.SetAttribute(unique, attributes.Names, attributes.Values);
  }
}

// Only targets written before this class can be referred to, so class order decides which
// foreign keys become relationships.
void WriteForeignKeys(DictionaryXmlRun& ioRun, const QIRIDOMElement_var& iClass)
{
  for (int i = 1; i <= ioRun.ClassForeignKeys.Size(); ++i) {
    const int at = ioRun.ClassForeignKeys[i];
    const int uuid = ioRun.ForeignKeyUuids[at];
    if (uuid <= 0) continue;
    const int target = ioRun.WrittenClasses.Locate(ioRun.ForeignKeyTargets[at]);
    if (target <= 0 || ioRun.WrittenClassUuids[target] <= 0) continue;
    const QIRUnicodeString mandatory = RelationshipMandatory(ioRun, ioRun.ForeignKeyAttrKeys[at]);
    const QIRIDOMElement_var relationship =
        ioRun.NewChild(AsNode(iClass), "Relationship");
    if (relationship == NULL_var) continue;
    SetRelationshipAttributes(ioRun.Dictionary, relationship, ioRun.ForeignKeyNames[at],
                              ioRun.Uuid(uuid), mandatory,
                              ioRun.Uuid(ioRun.WrittenClassUuids[target]));
  }
}

void WriteOutsideReferences(DictionaryXmlRun& ioRun, const QIREdsMetadataTable& iTable,
                            const QIRUnicodeString& iShortName, const QIRIDOMElement_var& iClass)
{
  const int n = iTable.ExtRefNames.Size();
  if (n == 0 || iTable.ExtRefFromColumns.Size() != n || iTable.ExtRefToClasses.Size() != n ||
      iTable.ExtRefToUuids.Size() != n)
    return;
  for (int k = 1; k <= n; ++k) {
    const QIRUnicodeString mandatory = RelationshipMandatory(
        ioRun, ioRun.Dictionary.ConvertToAttrKey(iShortName, iTable.ExtRefFromColumns[k]));
    const QIRIDOMElement_var relationship =
        ioRun.NewChild(AsNode(iClass), "Relationship");
    if (relationship == NULL_var) continue;
    const int uuid = ioRun.TakeUuid(iTable.ExtRefNames[k]);
    SetRelationshipAttributes(ioRun.Dictionary, relationship, iTable.ExtRefNames[k],
                              ioRun.Uuid(uuid), mandatory, iTable.ExtRefToUuids[k]);
  }
}

void WriteClass(DictionaryXmlRun& ioRun, const QIREdsMetadataTable& iTable,
                const QIRIDOMElement_var& iPackage)
{
  ioRun.ClassForeignKeys.RemoveAll();
  const QIRUnicodeString shortName = ioRun.Dictionary.ConvertClassNameToOrvane(iTable.Name);
  const QIRUnicodeString alias = ClassAlias(iTable, shortName);
  // A class that extends an outside product-model class is written as its extension.
  const bool extension = !iTable.ScopeName.IsNull() && !iTable.ScopeRef.IsNull();
  const QIRIDOMElement_var element =
      ioRun.NewChild(AsNode(iPackage), extension ? "Extension" : "Class");
  if (element == NULL_var) return;
  const int uuid = ioRun.TakeUuid(shortName);
  ioRun.WrittenClasses.Append(shortName);
  ioRun.WrittenClassUuids.Append(uuid);
  AttributeList attributes;
  attributes.Add("Name", shortName)
      .Add("Uuid", ioRun.Uuid(uuid))
      .Add("Visibility", "Public")
      .Add("Persistent", "Yes")
      .Add("Abstract", "No")
      .Add("Alias", alias);
  if (extension) attributes.Add("ScopeRefs", iTable.ScopeRef).Add("ScopeNames", iTable.ScopeName);
  if (FAILED(ioRun.Dictionary.SetAttribute(element, attributes.Names, attributes.Values))) return;

  if (iTable.Columns.Size() > 0 && iTable.Columns.Size() == iTable.ColumnTypes.Size()) {
    TakeForeignKeyUuids(ioRun, iTable, shortName);
    WriteSimpleAttributes(ioRun, iTable, shortName, element);
  }
  WriteUniqueKeys(ioRun, iTable, shortName, element);
  WriteForeignKeys(ioRun, element);
  WriteOutsideReferences(ioRun, iTable, shortName, element);
}

}  // namespace

QIR_IMPLEMENT_CLASS(QIREdsMetadataDict, QIRBaseUnknown, "QIREngSystemDbServerClient")

QIREdsMetadataDict::QIREdsMetadataDict() = default;

QIREdsMetadataDict::~QIREdsMetadataDict()
{
  CleanupAllTables();
}

HRESULT QIREdsMetadataDict::Initialize()
{
  namespace schema = QIREdsCableRoutingSchema;
  using schema::ClassRow;
  using schema::ClauseRow;
  using schema::ColumnRow;
  HRESULT hr = E_FAIL;
  try {
    CleanupAllTables();
    const ClassRow* classRows = schema::kClasses;
    const ColumnRow* columnRows = schema::kColumns;

    QIRListValQIRUnicodeString classes, columns, types;
    QIRRawCollint classNumbers, columnTags, typeTags;
    AppendRows(classRows, schema::kClassCount, &ClassRow::Name, &ClassRow::Number, classes,
               classNumbers);
    AppendRows(classRows, schema::kClassCount, &ClassRow::Name, &ClassRow::Define, DefinedNames,
               Defines);
    AppendRows(columnRows, schema::kColumnCount, &ColumnRow::Name, &ColumnRow::ClassNumber,
               columns, columnTags);
    AppendRows(columnRows, schema::kColumnCount, &ColumnRow::Name, &ColumnRow::Define,
               DefinedNames, Defines);
    AppendRows(columnRows, schema::kColumnCount, &ColumnRow::Type, &ColumnRow::ClassNumber, types,
               typeTags);

    QIRListValQIRUnicodeString constraints, outsideReferences, scopes;
    QIRRawCollint constraintTags, outsideReferenceTags, scopeTags;
    AppendRows(schema::kConstraints, schema::kConstraintCount, &ClauseRow::Text, &ClauseRow::Tag,
               constraints, constraintTags);
    AppendRows(schema::kOutsideReferences, schema::kOutsideReferenceCount, &ClauseRow::Text,
               &ClauseRow::Tag, outsideReferences, outsideReferenceTags);
    AppendRows(schema::kScopes, schema::kScopeCount, &ClauseRow::Text, &ClauseRow::Tag, scopes,
               scopeTags);

    QIRListValQIRUnicodeString magnitudeColumns, magnitudeNames;
    QIRRawCollint magnitudeTags;
    for (int i = 0; i < schema::kColumnCount; ++i) {
      if (!schema::kColumns[i].Magnitude) continue;
      magnitudeColumns.Append(schema::kColumns[i].Name);
      magnitudeNames.Append(schema::kColumns[i].Magnitude);
      magnitudeTags.Append(schema::kColumns[i].ClassNumber);
    }

    FillClassTypeTable(classes, classNumbers, columns, columnTags, types, typeTags, constraints,
                       constraintTags, scopes, scopeTags, outsideReferences, outsideReferenceTags,
                       magnitudeColumns, magnitudeNames, magnitudeTags);
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::FillClassTypeTable(
    const QIRListValQIRUnicodeString& iClasses, const QIRRawCollint& iClassNumbers,
    const QIRListValQIRUnicodeString& iColumns, const QIRRawCollint& iColumnTags,
    const QIRListValQIRUnicodeString& iColumnTypes, const QIRRawCollint& iTypeTags,
    const QIRListValQIRUnicodeString& iConstraints, const QIRRawCollint& iConstraintTags,
    const QIRListValQIRUnicodeString& iScopes, const QIRRawCollint& iScopeTags,
    const QIRListValQIRUnicodeString& iExtRefs, const QIRRawCollint& iExtRefTags,
    const QIRListValQIRUnicodeString& iMagnitudeColumns,
    const QIRListValQIRUnicodeString& iMagnitudeNames, const QIRRawCollint& iMagnitudeTags)
{
  HRESULT hr = E_FAIL;
  try {
    // Scope entries name their class by number; resolve them to positions once.
    QIRListValQIRUnicodeString scopeNames, scopeRefs;
    QIRRawCollint scopePositions, scopeKinds;
    for (int i = 1; i <= iScopes.Size() && i <= iScopeTags.Size(); ++i) {
      const QIRUnicodeString& entry = iScopes[i];
      int kind = 1;
      int at = entry.SearchSubString("_D_");
      if (at < 0) {
        kind = 0;
        at = entry.SearchSubString("_N_");
      }
      if (at < 0) continue;
      const QIRUnicodeString name = entry.SubString(0, at);
      const QIRUnicodeString ref = entry.SubString(at + 3, entry.GetLengthInChar() - at - 3);
      const int position = iClassNumbers.Locate(iScopeTags[i]);
      if (name.IsNull() || ref.IsNull() || position <= 0) continue;
      scopeNames.Append(name);
      scopeRefs.Append(ref);
      scopePositions.Append(position);
      scopeKinds.Append(kind);
    }

    const auto paired = [](int iLeft, int iRight) { return iLeft > 0 && iLeft == iRight; };
    if (!paired(iClasses.Size(), iClassNumbers.Size()) ||
        !paired(iColumns.Size(), iColumnTags.Size()) ||
        !paired(iColumnTypes.Size(), iTypeTags.Size()) ||
        !paired(iConstraints.Size(), iConstraintTags.Size()))
      return hr;
    const bool useMagnitudes = iMagnitudeColumns.Size() > 0 &&
                               iMagnitudeColumns.Size() == iMagnitudeNames.Size() &&
                               iMagnitudeColumns.Size() == iMagnitudeTags.Size();
    const bool useScopes = scopeNames.Size() > 0;  // the four kept lists grow together
    const bool useExtRefs = iExtRefs.Size() > 0 && iExtRefs.Size() == iExtRefTags.Size();

    for (int i = 1; i <= iClasses.Size(); ++i) {
      const int number = iClassNumbers[i];
      if (iClasses[i].IsNull()) continue;
      QIRVar<QIREdsMetadataTable> record;
      try {
        record.Attach(new QIREdsMetadataTable(iClasses[i]));
      } catch (std::bad_alloc&) {
        continue;
      }
      if (record.isNull()) continue;

      for (int j = 1; j <= iColumns.Size(); ++j)
        if (iColumnTags[j] == number) record->Columns.Append(iColumns[j]);

      if (useMagnitudes) {
        for (int j = 1; j <= iMagnitudeColumns.Size(); ++j) {
          if (iMagnitudeTags[j] != number) continue;
          record->MagnitudeColumns.Append(iMagnitudeColumns[j]);
          record->Magnitudes.Append(iMagnitudeNames[j]);
        }
      }

      for (int j = 1; j <= iColumnTypes.Size(); ++j) {
        if (iTypeTags[j] != number) continue;
        record->ColumnTypes.Append(iColumnTypes[j]);
        record->Required.Append(Contains(iColumnTypes[j], "NOT NULL"));
      }

      // A clause is whichever reader accepts it first; the others leave their lists alone.
      for (int j = 1; j <= iConstraints.Size(); ++j) {
        if (iConstraintTags[j] != number) continue;
        const QIRUnicodeString& clause = iConstraints[j];
        record->Constraints.Append(clause);
        if (SUCCEEDED(GetKeys("PRIMARY", clause, record->PrimaryKeys))) continue;
        if (SUCCEEDED(GetKeys("UNIQUE", clause, record->UniqueKeys))) continue;
        GetConstraints(clause, record->RefFromColumns, record->RefToTables, record->RefToColumns);
      }

      if (useScopes) {
        for (int j = 1; j <= scopeNames.Size(); ++j) {
          if (scopePositions[j] != i) continue;
          record->ScopeName = scopeNames[j];
          record->ScopeRef = scopeRefs[j];
          record->ScopeKind = scopeKinds[j];
        }
      }

      // Outside references are tagged by position, not by class number.
      if (useExtRefs) {
        for (int j = 1; j <= iExtRefs.Size(); ++j) {
          if (iExtRefTags[j] != i) continue;
          const QIRUnicodeString name = GetConstraintName(iExtRefs[j]);
          if (SUCCEEDED(GetConstraints(iExtRefs[j], record->ExtRefFromColumns,
                                       record->ExtRefToClasses, record->ExtRefToUuids)))
            record->ExtRefNames.Append(name);
        }
      }

      Tables.Append(record.get());
      record.Detach();  // only once Tables holds it: its creation reference is now the dictionary's
    }
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

void QIREdsMetadataDict::CleanupAllTables()
{
  for (int i = 1; i <= Tables.Size(); ++i)
    if (Tables[i]) Tables[i]->Release();
  Tables.RemoveAll();
  Defines.RemoveAll();
  DefinedNames.RemoveAll();
}

HRESULT QIREdsMetadataDict::GetClassNames(QIRListValQIRUnicodeString& oClassNames,
                                          QIRListValQIRUnicodeString& oPrimaryKeys) const
{
  HRESULT hr = E_FAIL;
  if (Tables.Size() == 0) return hr;
  try {
    for (int i = 1; i <= Tables.Size(); ++i) {
      const QIREdsMetadataTable* table = AsTable(Tables[i]);
      if (!table || table->Name.IsNull() || table->PrimaryKeys.Size() < 1 ||
          table->PrimaryKeys[1].IsNull())
        continue;
      oClassNames.Append(table->Name);
      oPrimaryKeys.Append(table->PrimaryKeys[1]);
      hr = S_OK;
    }
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::GetClassTable(const QIRUnicodeString& iClassName,
                                          QIREdsMetadataTable** oTable) const
{
  HRESULT hr = E_FAIL;
  if (!oTable) return hr;
  *oTable = nullptr;
  if (Tables.Size() == 0) return hr;
  try {
    for (int i = 1; i <= Tables.Size(); ++i) {
      QIREdsMetadataTable* table = AsTable(Tables[i]);
      if (!table || table->Name != iClassName) continue;
      table->AddRef();
      *oTable = table;
      hr = S_OK;
      break;
    }
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::GetKeys(const QIRUnicodeString& iKeyword,
                                    const QIRUnicodeString& iClause,
                                    QIRListValQIRUnicodeString& oKeys) const
{
  HRESULT hr = E_FAIL;
  if (iClause.IsNull()) return hr;
  try {
    const int at = iClause.SearchSubString(iKeyword);
    if (at < 0) return hr;
    const int open = iClause.SearchSubString("(", at + iKeyword.GetLengthInChar());
    if (open < 0) return hr;
    const int close = iClause.SearchSubString(")", open + 1);
    if (close < 0) return hr;
    hr = ChoppedBy(",", Between(iClause, open, close), oKeys);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::GetConstraints(const QIRUnicodeString& iClause,
                                           QIRListValQIRUnicodeString& oFromColumns,
                                           QIRListValQIRUnicodeString& oToTables,
                                           QIRListValQIRUnicodeString& oToColumns) const
{
  HRESULT hr = E_FAIL;
  if (iClause.IsNull()) return hr;
  try {
    const int foreignKey = iClause.SearchSubString("FOREIGN KEY");
    if (foreignKey < 0) return hr;
    const int fromOpen = iClause.SearchSubString("(", foreignKey + 11);
    const int fromClose = fromOpen < 0 ? -1 : iClause.SearchSubString(")", fromOpen + 1);
    QIRUnicodeString from = Between(iClause, fromOpen, fromClose);
    if (from.IsNull()) return hr;
    from.Strip();

    const int references = iClause.SearchSubString("REFERENCES");
    if (references < 0) return hr;
    const int classStart = references + 10;
    const int toOpen = iClause.SearchSubString("(", classStart);
    if (toOpen - classStart <= 0) return hr;
    const QIRUnicodeString toClass = Stripped(iClause.SubString(classStart, toOpen - classStart));
    if (toClass.IsNull()) return hr;

    const int toClose = iClause.SearchSubString(")", toOpen);
    const QIRUnicodeString target = Stripped(Between(iClause, toOpen, toClose));
    if (target.IsNull()) return hr;

    // All three or none, so that the lists keep sharing one index.
    oFromColumns.Append(from);
    oToTables.Append(toClass);
    oToColumns.Append(target);
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::ChoppedBy(const QIRUnicodeString& iSeparators,
                                      const QIRUnicodeString& iText,
                                      QIRListValQIRUnicodeString& oPieces) const
{
  HRESULT hr = E_FAIL;
  if (iText.IsNull() || iSeparators.IsNull()) return hr;
  try {
    QIRToken tokens(iText);
    for (QIRUnicodeString piece = tokens.GetNextToken(iSeparators); !piece.IsNull();
         piece = tokens.GetNextToken(iSeparators)) {
      oPieces.Append(Stripped(piece));  // a blank-only piece stays, as an empty entry
      hr = S_OK;
    }
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::ParseConstraint(const QIRUnicodeString& iClause,
                                            QIRUnicodeString& oConstraintName,
                                            QIRUnicodeString& oColumns,
                                            QIRUnicodeString& oToClass) const
{
  HRESULT hr = E_FAIL;
  if (iClause.IsNull()) return hr;
  try {
    if (!Contains(iClause, "FOREIGN KEY")) return hr;
    oConstraintName = GetConstraintName(iClause);
    oColumns = QIRUnicodeString();
    oToClass = QIRUnicodeString();

    const int open = iClause.SearchSubString("(");
    const int close = iClause.SearchSubString(")");
    if (open >= 0 && close >= 0) oColumns = Stripped(Between(iClause, open, close));

    // "REFERENCE" also finds "REFERENCES"; the class starts after the whole word.
    const int references = iClause.SearchSubString("REFERENCE");
    if (references >= 0) {
      const QIRUnicodeString rest =
          iClause.SubString(references + 10, iClause.GetLengthInChar() - references - 10);
      const int restOpen = rest.SearchSubString("(");
      if (restOpen > 0) oToClass = Stripped(rest.SubString(0, restOpen));
    }

    if (!oConstraintName.IsNull() && !oColumns.IsNull() && !oToClass.IsNull()) hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

QIRUnicodeString QIREdsMetadataDict::GetConstraintName(const QIRUnicodeString& iClause) const
{
  QIRUnicodeString name;
  if (iClause.IsNull()) return name;
  try {
    QIRToken tokens(iClause);
    bool afterKeyword = false;
    for (QIRUnicodeString word = tokens.GetNextToken(" "); !word.IsNull();
         word = tokens.GetNextToken(" ")) {
      if (afterKeyword) {
        name = Stripped(word);
        break;
      }
      if (Contains(word, "CONSTRAINT")) afterKeyword = true;
    }
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
  return name;
}

HRESULT QIREdsMetadataDict::GenerateSQLStatements(QIRListValQIRUnicodeString& oStatements) const
{
  HRESULT hr = E_FAIL;
  oStatements.RemoveAll();
  if (Tables.Size() == 0) return hr;
  try {
    for (int i = 1; i <= Tables.Size(); ++i) {
      const QIREdsMetadataTable* table = AsTable(Tables[i]);
      if (table) {
        const int columnCount = table->Columns.Size();
        if (columnCount > 0 && columnCount == table->ColumnTypes.Size()) {
          QIRUnicodeString statement = "\"CREATE TABLE ";
          statement += table->Name;
          statement += " (";
          for (int j = 1; j <= columnCount; ++j) {
            if (j > 1) statement += ",";
            statement += table->Columns[j];
            statement += " ";
            statement += table->ColumnTypes[j];
          }
          statement += ");\"";
          oStatements.Append(statement);
        }
        for (int j = 1; j <= table->Constraints.Size(); ++j) {
          QIRUnicodeString statement = "\"ALTER TABLE ";
          statement += table->Name;
          statement += " ADD ";
          statement += table->Constraints[j];
          statement += ";\"";
          oStatements.Append(statement);
        }
      }
      hr = S_OK;
    }
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

void QIREdsMetadataDict::DumpDictionary() const
{
  std::printf("Number of tables = %d \n", Tables.Size());
  if (Tables.Size() < 1) return;
  try {
    for (int i = 1; i <= Tables.Size(); ++i)
      if (AsTable(Tables[i])) DumpTable(Tables[i]);
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
}

void QIREdsMetadataDict::DumpTable(const QIRBaseUnknown* iTable) const
{
  const auto* table = dynamic_cast<const QIREdsMetadataTable*>(iTable);
  if (!table) return;
  const char* separator = "============================================================\n";
  try {
    std::printf("%s", separator);
    std::printf("Table name = %s \n", table->Name.ConvertToChar());
    const int columnCount = table->Columns.Size();
    const int typeCount = table->ColumnTypes.Size();
    const int requiredCount = table->Required.Size();
    std::printf("Number of columns = %d \n", columnCount);
    if (columnCount > 0 && columnCount == typeCount && columnCount == requiredCount) {
      for (int i = 1; i <= columnCount; ++i)
        std::printf("  column %d: name=%s  |  type=%s   | reqd=%d\n", i,
                    table->Columns[i].ConvertToChar(), table->ColumnTypes[i].ConvertToChar(),
                    table->Required[i]);
    } else {
      std::printf("problem NC = %d, NCT = %d, NReq = %d\n", columnCount, typeCount, requiredCount);
    }

    const auto printList = [](const char* iTitle, const QIRListValQIRUnicodeString& iList) {
      if (iList.Size() == 0) return;
      std::printf("%s", iTitle);
      for (int i = 1; i <= iList.Size(); ++i)
        std::printf("   %d: name=%s \n", i, iList[i].ConvertToChar());
    };
    printList("  Constraints ----- \n", table->Constraints);
    printList("  Primary keys ----- \n", table->PrimaryKeys);
    printList("  Unique keys ----- \n", table->UniqueKeys);

    const int fromCount = table->RefFromColumns.Size();
    const int toTableCount = table->RefToTables.Size();
    const int toCount = table->RefToColumns.Size();
    if (fromCount > 0 && fromCount == toTableCount && fromCount == toCount) {
      std::printf("  Reference ------- \n");
      for (int i = 1; i <= fromCount; ++i)
        std::printf("   %d: from=%s, to table=%s, to=%s \n", i,
                    table->RefFromColumns[i].ConvertToChar(), table->RefToTables[i].ConvertToChar(),
                    table->RefToColumns[i].ConvertToChar());
    } else {
      std::printf("NFrom = %d, NTableTo = %d, NTo = %d\n", fromCount, toTableCount, toCount);
    }
    std::printf("%s", separator);
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
}

HRESULT QIREdsMetadataDict::GetReferencingClasses(
    const QIRUnicodeString& iClass, const QIRListValQIRUnicodeString& iCandidates,
    QIRListValQIRUnicodeString& oClasses, QIRListValQIRUnicodeString& oConstraintNames) const
{
  HRESULT hr = E_FAIL;
  if (iClass.IsNull()) return hr;
  oClasses.RemoveAll();
  oConstraintNames.RemoveAll();
  if (Tables.Size() == 0) return hr;
  try {
    for (int i = 1; i <= Tables.Size(); ++i) {
      const QIREdsMetadataTable* table = AsTable(Tables[i]);
      if (!table) continue;
      if (iCandidates.Size() > 0 && iCandidates.Locate(table->Name) == 0) continue;
      for (int j = 1; j <= table->Constraints.Size(); ++j) {
        const QIRUnicodeString& clause = table->Constraints[j];
        if (!Contains(clause, "FOREIGN KEY")) continue;
        QIRUnicodeString name, columns, toClass;
        if (FAILED(ParseConstraint(clause, name, columns, toClass)) || toClass != iClass) continue;
        oClasses.Append(table->Name);
        oConstraintNames.Append(name);
      }
    }
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

void QIREdsMetadataDict::GetDataType(const QIRUnicodeString& iType, QIRUnicodeString& oAttrType,
                                     QIRUnicodeString& oMaxLength,
                                     QIRUnicodeString& oMandatory) const
{
  if (iType.IsNull()) return;
  try {
    oAttrType = "Undefined";
    oMaxLength = QIRUnicodeString();
    oMandatory = "No";
    QIRToken tokens(iType);
    QIRUnicodeString first;
    int count = 0;
    for (QIRUnicodeString word = tokens.GetNextToken(" "); !word.IsNull();
         word = tokens.GetNextToken(" ")) {
      if (count++ == 0) first = word;
    }
    if (Contains(first, "INTEGER")) {
      oAttrType = "Integer";
    } else if (Contains(first, "FLOAT")) {
      oAttrType = "Double";
    } else if (Contains(first, "CHAR")) {
      oAttrType = "String";
      oMaxLength = Between(first, first.SearchSubString("("), first.SearchSubString(")"));
    }
    // The word count decides, not the words: every three-word type is mandatory.
    if (count == 3) oMandatory = "Yes";
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
}

HRESULT QIREdsMetadataDict::ResolveDefine(const QIRUnicodeString& iDefine,
                                          QIRUnicodeString& oName) const
{
  HRESULT hr = E_FAIL;
  if (Defines.Size() == 0 || Defines.Size() != DefinedNames.Size()) return hr;
  try {
    const int at = Defines.Locate(iDefine);
    if (at > 0) {
      oName = DefinedNames[at];
      hr = S_OK;
    }
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::GetMagnitudeNames(QIRListValQIRUnicodeString& oNames) const
{
  HRESULT hr = E_FAIL;
  try {
    oNames.Append("LENGTH");
    oNames.Append("MASS");
    oNames.Append("AREA");
    oNames.Append("LINEMASS");
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

int QIREdsMetadataDict::GetUUidIndex(const QIRUnicodeString iName,
                                     const QIRListValQIRUnicodeString& iPool,
                                     const QIRListValQIRUnicodeString& iKnownNames,
                                     const QIRListValQIRUnicodeString& iKnownUuids,
                                     QIRListValQIRUnicodeString& ioAssigned, int& ioIndex,
                                     int& ioNextPool) const
{
  const int indexOnEntry = ioIndex;
  int result = 0;
  try {
    int known = 0;
    if (iKnownNames.Size() > 0 && iKnownUuids.Size() == iKnownNames.Size())
      known = iKnownNames.Locate(iName);
    if (known > 0) {
      ioAssigned.Append(iKnownUuids[known]);
      result = ioAssigned.Size();
    } else if (indexOnEntry >= 1 && indexOnEntry < iPool.Size() && ioNextPool >= 1 &&
               ioNextPool <= iPool.Size()) {
      // Bounded by the index on entry, not by the pool position: once a call hands out
      // nothing, later calls take no pool UUID either, and UUID order in output depends on it.
      ioAssigned.Append(iPool[ioNextPool]);
      ++ioNextPool;
      result = ioAssigned.Size();
    }
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
  ioIndex = result;
  return iKnownNames.Size();
}

QIRUnicodeString QIREdsMetadataDict::ConvertToAttrKey(const QIRUnicodeString iClass,
                                                      const QIRUnicodeString& iName) const
{
  QIRUnicodeString key;
  try {
    key = iClass;
    key += "_";
    key += iName;
  } catch (...) {
    key = QIRUnicodeString();
  }
  return key;
}

QIRUnicodeString QIREdsMetadataDict::ConvertClassNameToOrvane(
    const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString shortName;
  if (iClassName.IsNull()) return shortName;
  try {
    const int dot = iClassName.SearchSubString(".", 0, QIRUnicodeString::QIRSearchBackward);
    if (dot < 0) return iClassName;
    shortName = iClassName.SubString(dot + 1, iClassName.GetLengthInChar() - dot - 1);
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
  return shortName;
}

HRESULT QIREdsMetadataDict::GenerateOrvaneMetaData(const QIRUnicodeString& iDictionaryPath,
                                                   const QIRListValQIRUnicodeString& iKnownNames,
                                                   const QIRListValQIRUnicodeString& iKnownUuids,
                                                   const QIRUnicodeString& iOutputPath) const
{
  HRESULT hr = E_FAIL;
  if (iDictionaryPath.IsNull() || iOutputPath.IsNull() || Tables.Size() == 0) return hr;
  QIRFileHandle file = nullptr;
  try {
    DictionaryXmlRun run(*this, iKnownNames, iKnownUuids);
    ReadUuidPool(iDictionaryPath, run.Pool, file);
    std::printf("******************** Number of existing uuid = %d \n", run.Pool.Size());

    hr = CreateDOMDocument("Package", "Dictionary00.dtd", run.Document);
    if (SUCCEEDED(hr) && run.Document == NULL_var) hr = E_FAIL;
    if (SUCCEEDED(hr)) {
      const QIRIDOMElement_var package =
          run.NewChild(QIRIDOMNode_var(run.Document.get()), "Package");
      if (package != NULL_var) {
        const int uuid = run.TakeUuid("CableNetwork");
        run.WrittenClasses.Append("Package");
        run.WrittenClassUuids.Append(uuid);
        AttributeList attributes;
        attributes.Add("Name", "CableNetwork")
            .Add("Uuid", run.Uuid(uuid))
            .Add("Alias", "Electrical Cable Routing")
            .Add("UseScopes", "DOCDIR PRODUCT");
        hr = SetAttribute(package, attributes.Names, attributes.Values);
      }
      for (int i = 1; i <= Tables.Size(); ++i) {
        const QIREdsMetadataTable* table = AsTable(Tables[i]);
        if (table) WriteClass(run, *table, package);
        // A DOM failure inside a class costs that class elements, not the run.
        hr = S_OK;
      }
    }

    std::printf("Number of classes = %d \n", run.WrittenClasses.Size());
    if (run.WrittenClasses.Size() > 0) {
      for (int i = 1; i <= run.WrittenClasses.Size(); ++i)
        std::printf("Class %d = %s \n", i, run.WrittenClasses[i].ConvertToChar());
      std::printf("IndUiid = %d \n", run.Index);
    }
    std::fflush(stdout);

    if (SUCCEEDED(hr) && !run.FirstWithoutUuid.IsNull()) {
      // A dictionary with an item lacking its UUID would be taken as a different model on
      // the other side, so none is written.
      const QIRUnicodeString message =
          QIRUnicodeString("error in QIREdsMetadataDict::GenerateOrvaneMetaData: no UUID for ") +
          run.FirstWithoutUuid;
      QIRSysLogAbend(message.ConvertToChar());
      hr = E_FAIL;
    }
    if (SUCCEEDED(hr)) hr = WriteDOMDoc(run.Document, iOutputPath);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  if (file) QIRFClose(file);
  return hr;
}

HRESULT QIREdsMetadataDict::CreateDOMDocument(const QIRUnicodeString& iRootName,
                                              const QIRUnicodeString& iDtdName,
                                              QIRIDOMDocument_var& oDocument) const
{
  HRESULT hr = E_FAIL;
  try {
    QIRIXMLDOMDocumentBuilder_var builder;
    hr = CreateQIRIXMLDOMDocumentBuilder(builder, CLSID_QIRXMLDOMDocumentBuilder);
    if (FAILED(hr) || builder == NULL_var) return FAILED(hr) ? hr : E_FAIL;
    QIRIDOMImplementation_var implementation;
    hr = builder->GetDOMImplementation(implementation);
    if (FAILED(hr) || implementation == NULL_var) return FAILED(hr) ? hr : E_FAIL;
    QIRIDOMDocumentType_var type;
    hr = implementation->CreateDocumentType(iRootName, "", iDtdName, type);
    if (FAILED(hr) || type == NULL_var) return FAILED(hr) ? hr : E_FAIL;
    hr = implementation->CreateDocument("", iRootName, type, oDocument);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::SetAttribute(const QIRIDOMElement_var& iElement,
                                         const QIRListValQIRUnicodeString& iNames,
                                         const QIRListValQIRUnicodeString& iValues) const
{
  HRESULT hr = E_FAIL;
  if (iElement == NULL_var) return hr;
  if (iNames.Size() == 0 || iNames.Size() != iValues.Size()) return hr;
  try {
    for (int i = 1; i <= iNames.Size(); ++i) {
      hr = iElement->SetAttribute(iNames[i], iValues[i]);
      if (FAILED(hr)) break;
    }
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::WriteDOMDoc(QIRIDOMDocument_var iDocument,
                                        const QIRUnicodeString& iPath) const
{
  HRESULT hr = E_FAIL;
  if (iDocument == NULL_var) return hr;
  try {
    QIRIXMLDOMDocumentBuilder_var builder;
    hr = CreateQIRIXMLDOMDocumentBuilder(builder, CLSID_QIRXMLDOMDocumentBuilder);
    if (FAILED(hr) || builder == NULL_var) return FAILED(hr) ? hr : E_FAIL;
    const QIRListValQIRUnicodeString noOptions;
    hr = builder->WriteToFile(iDocument, iPath, noOptions, noOptions);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataDict::GetResourceDirectoryPath(QIRListValQIRUnicodeString iComponents,
                                                     const char* iVariable,
                                                     QIRUnicodeString& oPath) const
{
  HRESULT hr = E_FAIL;
  const int n = iComponents.Size();
  if (n == 0 || iVariable == nullptr) return hr;
  try {
    const char* value = QIRGetEnv(iVariable);
    if (value == nullptr || *value == '\0') return hr;
    const char separator = QIRGetOperatingSystem() == 1 ? ';' : ':';
    const std::string directories(value);  // the environment may change while we search
    std::string::size_type start = 0;
    while (start <= directories.size()) {
      std::string::size_type end = directories.find(separator, start);
      if (end == std::string::npos) end = directories.size();
      std::string directory = directories.substr(start, end - start);
      start = end + 1;
      if (directory.empty()) continue;
      char path[kResourcePathSize];
      bool joined = true;
      for (int k = 1; k < n && joined; ++k) {
        joined = SUCCEEDED(
            QIRMakePath(directory.c_str(), iComponents[k].ConvertToChar(), path, sizeof path));
        if (joined) directory = path;
      }
      if (!joined) continue;
      const char* last = iComponents[n].ConvertToChar();
      if (SUCCEEDED(QIRMakePath(directory.c_str(), last, path, sizeof path)) &&
          QIRFileAccess(path, 0) == 0) {
        oPath = path;
        hr = S_OK;
        break;
      }
      // Found only by searching below the directory: keep looking, since a later directory
      // replaces it by either rule.
      if (SUCCEEDED(QIRFindPath(last, directory.c_str(), path, sizeof path)) &&
          QIRFileAccess(path, 0) == 0) {
        oPath = path;
        hr = S_OK;
      }
    }
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}
