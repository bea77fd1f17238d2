#include "QIREdsDictionaryXml.h"

#include "QIREdsGuard.h"
#include "QIREdsMetadataText.h"
#include "QIRError.h"
#include "QIRFileServices.h"

#include <cstdio>

using QIREdsMetadataText::AsTable;
using QIREdsMetadataText::Between;
using QIREdsMetadataText::Contains;
using QIREdsMetadataText::Stripped;

namespace {

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
                                  const QIRIDOMElement_var& iElement, const QIRUnicodeString& iName,
                                  const QIRUnicodeString& iUuid, const QIRUnicodeString& iMandatory,
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
    QIRToken members(Between(clause, clause.SearchSubString("("), clause.SearchSubString(")")));
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
    const QIRIDOMElement_var relationship = ioRun.NewChild(AsNode(iClass), "Relationship");
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
    const QIRIDOMElement_var relationship = ioRun.NewChild(AsNode(iClass), "Relationship");
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

namespace QIREdsDictionaryXml {

HRESULT Generate(const QIREdsMetadataDict& iDictionary, const QIRUnicodeString& iDictionaryPath,
                 const QIRListValQIRUnicodeString& iKnownNames,
                 const QIRListValQIRUnicodeString& iKnownUuids, const QIRUnicodeString& iOutputPath)
{
  HRESULT hr = E_FAIL;
  const QIRListPtrQIRBaseUnknown& tables = iDictionary.Tables;
  if (iDictionaryPath.IsNull() || iOutputPath.IsNull() || tables.Size() == 0) return hr;
  QIRFileHandle file = nullptr;
  hr = QIRGuarded([&] {
    DictionaryXmlRun run(iDictionary, iKnownNames, iKnownUuids);
    ReadUuidPool(iDictionaryPath, run.Pool, file);
    std::printf("******************** Number of existing uuid = %d \n", run.Pool.Size());

    hr = iDictionary.CreateDOMDocument("Package", "Dictionary00.dtd", run.Document);
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
        hr = iDictionary.SetAttribute(package, attributes.Names, attributes.Values);
      }
      for (int i = 1; i <= tables.Size(); ++i) {
        const QIREdsMetadataTable* table = AsTable(tables[i]);
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
    if (SUCCEEDED(hr)) hr = iDictionary.WriteDOMDoc(run.Document, iOutputPath);
    return hr;
  });
  if (file) QIRFClose(file);
  return hr;
}

}  // namespace QIREdsDictionaryXml
