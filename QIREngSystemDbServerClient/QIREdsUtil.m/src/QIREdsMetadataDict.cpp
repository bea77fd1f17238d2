#include "QIREdsMetadataDict.h"

#include "QIREdsCableRoutingSchema.h"
#include "QIREdsDictionaryXml.h"
#include "QIREdsGuard.h"
#include "QIREdsMetadataRecords.h"
#include "QIREdsMetadataText.h"
#include "QIREdsResourcePath.h"
#include "QIRError.h"
#include "QIRFileServices.h"

#include <cstdio>
#include <new>
#include <string>

namespace {

using QIREdsMetadataText::AsTable;
using QIREdsMetadataText::Between;
using QIREdsMetadataText::Contains;
using QIREdsMetadataText::Stripped;

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
  return QIRGuarded([&] {
    CleanupAllTables();
    const ClassRow* classRows = schema::kClasses;
    const ColumnRow* columnRows = schema::kColumns;

    QIRListValQIRUnicodeString classes, columns, types;
    QIRRawCollint classNumbers, columnTags, typeTags;
    AppendRows(classRows, schema::kClassCount, &ClassRow::Name, &ClassRow::Number, classes,
               classNumbers);
    AppendRows(classRows, schema::kClassCount, &ClassRow::Name, &ClassRow::Define, DefinedNames,
               Defines);
    AppendRows(columnRows, schema::kColumnCount, &ColumnRow::Name, &ColumnRow::ClassNumber, columns,
               columnTags);
    AppendRows(columnRows, schema::kColumnCount, &ColumnRow::Name, &ColumnRow::Define, DefinedNames,
               Defines);
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
    return S_OK;
  });
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
  namespace records = QIREdsMetadataRecords;
  HRESULT hr = E_FAIL;
  return QIRGuarded([&] {
    const records::Sources sources{
        iClasses,  iClassNumbers, iColumns,          iColumnTags,     iColumnTypes,
        iTypeTags, iConstraints,  iConstraintTags,   iScopes,         iScopeTags,
        iExtRefs,  iExtRefTags,   iMagnitudeColumns, iMagnitudeNames, iMagnitudeTags};
    const records::Scopes scopes = records::ReadScopes(sources);
    if (!records::Paired(sources)) return hr;

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
      records::AddColumns(*record, number, sources);
      records::AddClauses(*this, *record, number, sources);
      records::AddScope(*record, i, scopes);
      records::AddOutsideReferences(*this, *record, i, sources);
      Tables.Append(record.get());
      record.Detach();  // only once Tables holds it: its creation reference is now the dictionary's
    }
    return S_OK;
  });
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
  return QIRGuarded([&] {
    for (int i = 1; i <= Tables.Size(); ++i) {
      const QIREdsMetadataTable* table = AsTable(Tables[i]);
      if (!table || table->Name.IsNull() || table->PrimaryKeys.Size() < 1 ||
          table->PrimaryKeys[1].IsNull())
        continue;
      oClassNames.Append(table->Name);
      oPrimaryKeys.Append(table->PrimaryKeys[1]);
      hr = S_OK;
    }
    return hr;
  });
}

HRESULT QIREdsMetadataDict::GetClassTable(const QIRUnicodeString& iClassName,
                                          QIREdsMetadataTable** oTable) const
{
  HRESULT hr = E_FAIL;
  if (!oTable) return hr;
  *oTable = nullptr;
  if (Tables.Size() == 0) return hr;
  return QIRGuarded([&] {
    for (int i = 1; i <= Tables.Size(); ++i) {
      QIREdsMetadataTable* table = AsTable(Tables[i]);
      if (!table || table->Name != iClassName) continue;
      table->AddRef();
      *oTable = table;
      hr = S_OK;
      break;
    }
    return hr;
  });
}

HRESULT QIREdsMetadataDict::GetKeys(const QIRUnicodeString& iKeyword,
                                    const QIRUnicodeString& iClause,
                                    QIRListValQIRUnicodeString& oKeys) const
{
  HRESULT hr = E_FAIL;
  if (iClause.IsNull()) return hr;
  return QIRGuarded([&] {
    const int at = iClause.SearchSubString(iKeyword);
    if (at < 0) return hr;
    const int open = iClause.SearchSubString("(", at + iKeyword.GetLengthInChar());
    if (open < 0) return hr;
    const int close = iClause.SearchSubString(")", open + 1);
    if (close < 0) return hr;
    hr = ChoppedBy(",", Between(iClause, open, close), oKeys);
    return hr;
  });
}

HRESULT QIREdsMetadataDict::GetConstraints(const QIRUnicodeString& iClause,
                                           QIRListValQIRUnicodeString& oFromColumns,
                                           QIRListValQIRUnicodeString& oToTables,
                                           QIRListValQIRUnicodeString& oToColumns) const
{
  HRESULT hr = E_FAIL;
  if (iClause.IsNull()) return hr;
  return QIRGuarded([&] {
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
    return S_OK;
  });
}

HRESULT QIREdsMetadataDict::ChoppedBy(const QIRUnicodeString& iSeparators,
                                      const QIRUnicodeString& iText,
                                      QIRListValQIRUnicodeString& oPieces) const
{
  HRESULT hr = E_FAIL;
  if (iText.IsNull() || iSeparators.IsNull()) return hr;
  return QIRGuarded([&] {
    QIRToken tokens(iText);
    for (QIRUnicodeString piece = tokens.GetNextToken(iSeparators); !piece.IsNull();
         piece = tokens.GetNextToken(iSeparators)) {
      oPieces.Append(Stripped(piece));  // a blank-only piece stays, as an empty entry
      hr = S_OK;
    }
    return hr;
  });
}

HRESULT QIREdsMetadataDict::ParseConstraint(const QIRUnicodeString& iClause,
                                            QIRUnicodeString& oConstraintName,
                                            QIRUnicodeString& oColumns,
                                            QIRUnicodeString& oToClass) const
{
  HRESULT hr = E_FAIL;
  if (iClause.IsNull()) return hr;
  return QIRGuarded([&] {
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
    return hr;
  });
}

QIRUnicodeString QIREdsMetadataDict::GetConstraintName(const QIRUnicodeString& iClause) const
{
  QIRUnicodeString name;
  if (iClause.IsNull()) return name;
  QIRGuardedVoid([&] {
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
  });
  return name;
}

HRESULT QIREdsMetadataDict::GenerateSQLStatements(QIRListValQIRUnicodeString& oStatements) const
{
  HRESULT hr = E_FAIL;
  oStatements.RemoveAll();
  if (Tables.Size() == 0) return hr;
  return QIRGuarded([&] {
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
    return hr;
  });
}

void QIREdsMetadataDict::DumpDictionary() const
{
  std::printf("Number of tables = %d \n", Tables.Size());
  if (Tables.Size() < 1) return;
  QIRGuardedVoid([&] {
    for (int i = 1; i <= Tables.Size(); ++i)
      if (AsTable(Tables[i])) DumpTable(Tables[i]);
  });
}

void QIREdsMetadataDict::DumpTable(const QIRBaseUnknown* iTable) const
{
  const auto* table = dynamic_cast<const QIREdsMetadataTable*>(iTable);
  if (!table) return;
  const char* separator = "============================================================\n";
  QIRGuardedVoid([&] {
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
  });
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
  return QIRGuarded([&] {
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
    return S_OK;
  });
}

void QIREdsMetadataDict::GetDataType(const QIRUnicodeString& iType, QIRUnicodeString& oAttrType,
                                     QIRUnicodeString& oMaxLength,
                                     QIRUnicodeString& oMandatory) const
{
  if (iType.IsNull()) return;
  QIRGuardedVoid([&] {
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
  });
}

HRESULT QIREdsMetadataDict::ResolveDefine(const QIRUnicodeString& iDefine,
                                          QIRUnicodeString& oName) const
{
  HRESULT hr = E_FAIL;
  if (Defines.Size() == 0 || Defines.Size() != DefinedNames.Size()) return hr;
  return QIRGuarded([&] {
    const int at = Defines.Locate(iDefine);
    if (at > 0) {
      oName = DefinedNames[at];
      hr = S_OK;
    }
    return hr;
  });
}

HRESULT QIREdsMetadataDict::GetMagnitudeNames(QIRListValQIRUnicodeString& oNames) const
{
  return QIRGuarded([&] {
    oNames.Append("LENGTH");
    oNames.Append("MASS");
    oNames.Append("AREA");
    oNames.Append("LINEMASS");
    return S_OK;
  });
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
  QIRGuardedVoid([&] {
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
  });
  ioIndex = result;
  return iKnownNames.Size();
}

QIRUnicodeString QIREdsMetadataDict::ConvertToAttrKey(const QIRUnicodeString iClass,
                                                      const QIRUnicodeString& iName) const
{
  QIRUnicodeString key;
  const HRESULT hr = QIRGuarded([&] {
    key = iClass;
    key += "_";
    key += iName;
    return S_OK;
  });
  return SUCCEEDED(hr) ? key : QIRUnicodeString();
}

QIRUnicodeString QIREdsMetadataDict::ConvertClassNameToOrvane(
    const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString shortName;
  if (iClassName.IsNull()) return shortName;
  QIRGuardedVoid([&] {
    const int dot = iClassName.SearchSubString(".", 0, QIRUnicodeString::QIRSearchBackward);
    if (dot < 0) {
      shortName = iClassName;
      return;
    }
    shortName = iClassName.SubString(dot + 1, iClassName.GetLengthInChar() - dot - 1);
  });
  return shortName;
}

HRESULT QIREdsMetadataDict::GenerateOrvaneMetaData(const QIRUnicodeString& iDictionaryPath,
                                                   const QIRListValQIRUnicodeString& iKnownNames,
                                                   const QIRListValQIRUnicodeString& iKnownUuids,
                                                   const QIRUnicodeString& iOutputPath) const
{
  return QIREdsDictionaryXml::Generate(*this, iDictionaryPath, iKnownNames, iKnownUuids,
                                       iOutputPath);
}

HRESULT QIREdsMetadataDict::CreateDOMDocument(const QIRUnicodeString& iRootName,
                                              const QIRUnicodeString& iDtdName,
                                              QIRIDOMDocument_var& oDocument) const
{
  HRESULT hr = E_FAIL;
  return QIRGuarded([&] {
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
    return hr;
  });
}

HRESULT QIREdsMetadataDict::SetAttribute(const QIRIDOMElement_var& iElement,
                                         const QIRListValQIRUnicodeString& iNames,
                                         const QIRListValQIRUnicodeString& iValues) const
{
  HRESULT hr = E_FAIL;
  if (iElement == NULL_var) return hr;
  if (iNames.Size() == 0 || iNames.Size() != iValues.Size()) return hr;
  return QIRGuarded([&] {
    for (int i = 1; i <= iNames.Size(); ++i) {
      hr = iElement->SetAttribute(iNames[i], iValues[i]);
      if (FAILED(hr)) break;
    }
    return hr;
  });
}

HRESULT QIREdsMetadataDict::WriteDOMDoc(QIRIDOMDocument_var iDocument,
                                        const QIRUnicodeString& iPath) const
{
  HRESULT hr = E_FAIL;
  if (iDocument == NULL_var) return hr;
  return QIRGuarded([&] {
    QIRIXMLDOMDocumentBuilder_var builder;
    hr = CreateQIRIXMLDOMDocumentBuilder(builder, CLSID_QIRXMLDOMDocumentBuilder);
    if (FAILED(hr) || builder == NULL_var) return FAILED(hr) ? hr : E_FAIL;
    const QIRListValQIRUnicodeString noOptions;
    hr = builder->WriteToFile(iDocument, iPath, noOptions, noOptions);
    return hr;
  });
}

HRESULT QIREdsMetadataDict::GetResourceDirectoryPath(QIRListValQIRUnicodeString iComponents,
                                                     const char* iVariable,
                                                     QIRUnicodeString& oPath) const
{
  return QIREdsResourcePath::Find(iComponents, iVariable, oPath);
}
