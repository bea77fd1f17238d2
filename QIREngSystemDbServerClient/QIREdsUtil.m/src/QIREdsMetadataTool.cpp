#include "QIREdsMetadataTool.h"

#include "QIREdsGuard.h"
#include "QIRError.h"

namespace {

const char kQualifier[] = "qm41862";

// Derived attributes that applications compute; they have no column in the schema.
const char* const kComputedAttributes[][2] = {
    {"CR_Total_Length", "Double"},
    {"CR_PartNumber", "String"},
    {"CR_CableType", "String"},
    {"CR_Nb_Routed", "Integer"},
    {"CR_Nb_CableInst", "Integer"},
    {"CI_Total_Length", "Double"},
    {"CI_CSect_List_Name", "String"},
    {"CI_CSect_List_Ptr", "Uuid"},
    {"CI_CSect_List_FilterName", "String"},
    {"CI_CSect_List_FilterPtr", "Uuid"},
    {"CI_PartNumber", "String"},
    {"CI_CableType", "String"},
    {"CI_RouteStatus", "String"},
    {"CI_WP_Name", "String"},
    {"CI_PEFrom_Name", "String"},
    {"CI_PEFrom_WP_Name", "String"},
    {"CI_PETo_Name", "String"},
    {"CI_PETo_WP_Name", "String"},
    {"CS_Total_WT", "Double"},
    {"CS_Total_OD", "Double"},
    {"CS_Number_CI", "Integer"},
    {"CS_Percent_Fill", "Double"},
    {"CS_Overload", "Integer"},
    {"CS_WP_Name", "String"},
    {"RT_CS_List_Name", "String"},
    {"RT_CS_List_Ptr", "Uuid"},
    {"RT_CS_List_FilterName", "String"},
    {"RT_CS_List_FilterPtr", "Uuid"},
};

typedef QIRVar<QIREdsMetadataTable> TableHandle;

bool Contains(const QIRUnicodeString& iText, const char* iPart)
{
  return iText.SearchSubString(iPart) >= 0;
}

// The handle takes over the reference the dictionary hands out, so every exit gives it back.
HRESULT GetTable(const QIREdsMetadataDict& iDictionary, const QIRUnicodeString& iNeutralName,
                 TableHandle& oTable)
{
  QIREdsMetadataTable* table = nullptr;
  const HRESULT hr = iDictionary.GetClassTable(iNeutralName, &table);
  oTable.Attach(table);
  if (SUCCEEDED(hr) && table == nullptr) return E_FAIL;
  return hr;
}

// Every query the dictionary answers goes through here, so none lets anything escape.
template <typename Query>
HRESULT AskDictionary(const QIREdsMetadataDict* iDictionary, Query iQuery)
{
  HRESULT hr = E_FAIL;
  if (iDictionary == nullptr) return hr;
  return QIRGuarded([&] { return iQuery(*iDictionary); });
}

// A query about one class's record: iRead sees the record only once it is found.
template <typename Read>
HRESULT ReadTable(const QIREdsMetadataDict* iDictionary, const QIREdsMetadataTool& iTool,
                  const QIRUnicodeString& iClassName, Read iRead)
{
  return AskDictionary(iDictionary, [&](const QIREdsMetadataDict& iFound) -> HRESULT {
    TableHandle table;
    const HRESULT hr = GetTable(iFound, iTool.TranslateClassToNeutral(iClassName), table);
    if (FAILED(hr)) return hr;
    iRead(iFound, *table);
    return S_OK;
  });
}

}  // namespace

QIREdsMetadataTool::QIREdsMetadataTool()
{
  QIRGuardedVoid([&] {
    _pMetadataDict = new QIREdsMetadataDict();
    // A dictionary whose build failed stays in use: queries see whatever it holds.
    _pMetadataDict->Initialize();
  });
  QIRGuardedVoid([&] {
    for (const auto& attribute : kComputedAttributes) {
      _ComputedAttrNames.Append(attribute[0]);
      _ComputedAttrTypes.Append(attribute[1]);
    }
  });
}

QIREdsMetadataTool::~QIREdsMetadataTool()
{
  if (_pMetadataDict) _pMetadataDict->Release();
  _pMetadataDict = nullptr;
}

const QIREdsMetadataDict* QIREdsMetadataTool::Dictionary() const
{
  if (_pMetadataDict == nullptr) return nullptr;
  const QIRMetaClass* meta = _pMetadataDict->GetMetaObject();
  if (meta == nullptr || !meta->IsAKindOf(QIREdsMetadataDict::MetaObject())) return nullptr;
  return _pMetadataDict;
}

HRESULT QIREdsMetadataTool::GetComputedAttrType(const QIRUnicodeString& iAttrName,
                                                QIRUnicodeString& oType) const
{
  HRESULT hr = E_FAIL;
  return QIRGuarded([&] {
    const int i = _ComputedAttrNames.Locate(iAttrName);
    if (i < 1 || i > _ComputedAttrTypes.Size()) return hr;
    oType = _ComputedAttrTypes[i];
    return S_OK;
  });
}

QIRUnicodeString QIREdsMetadataTool::GetPrimaryKey(const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString key;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return key;
  const HRESULT hr = QIRGuarded([&] {
    QIRListValQIRUnicodeString names, keys;
    dictionary->GetClassNames(names, keys);
    const int i = names.Locate(TranslateClassToNeutral(iClassName));
    if (i > 0 && i <= keys.Size()) key = keys[i];
    return S_OK;
  });
  return SUCCEEDED(hr) ? key : QIRUnicodeString();
}

HRESULT QIREdsMetadataTool::GetClassInfo(QIRListValQIRUnicodeString& oClassNames,
                                         QIRListValQIRUnicodeString& oPrimaryKeys,
                                         const unsigned char& iShortNames) const
{
  return AskDictionary(Dictionary(), [&](const QIREdsMetadataDict& iDictionary) -> HRESULT {
    if (!iShortNames) return iDictionary.GetClassNames(oClassNames, oPrimaryKeys);
    QIRListValQIRUnicodeString neutralNames;
    const HRESULT hr = iDictionary.GetClassNames(neutralNames, oPrimaryKeys);
    if (FAILED(hr)) return hr;
    for (int i = 1; i <= neutralNames.Size(); ++i)
      oClassNames.Append(TranslateClassToOrvane(neutralNames[i]));
    return hr;
  });
}

HRESULT QIREdsMetadataTool::GetAttributeInfo(const QIRUnicodeString& iClassName,
                                             QIRListValQIRUnicodeString& oAttrNames,
                                             QIRListValQIRUnicodeString& oAttrTypes,
                                             QIRRawCollint& oRequired) const
{
  return ReadTable(Dictionary(), *this, iClassName,
                   [&](const QIREdsMetadataDict&, const QIREdsMetadataTable& iTable) {
                     const int n = iTable.Columns.Size();
                     if (n == 0 || iTable.ColumnTypes.Size() != n || iTable.Required.Size() != n)
                       return;
                     for (int i = 1; i <= n; ++i) {
                       oAttrNames.Append(iTable.Columns[i]);
                       oAttrTypes.Append(TranslateTypeToOrvane(iTable.Columns[i], &iTable, i));
                       oRequired.Append(iTable.Required[i]);
                     }
                   });
}

// The attribute names go by value because callers' code was written against that signature.
HRESULT QIREdsMetadataTool::GetAttributeType(
    // cppcheck-suppress passedByValue
    const QIRUnicodeString& iClassName, const QIRUnicodeString iAttrName,
    QIRUnicodeString& oAttrType, int& oRequired) const
{
  HRESULT hr = E_FAIL;
  return QIRGuarded([&] {
    QIRListValQIRUnicodeString names, types;
    QIRRawCollint required;
    if (FAILED(GetAttributeInfo(iClassName, names, types, required))) return hr;
    const int n = names.Size();
    if (n == 0 || types.Size() != n || required.Size() != n) return hr;
    for (int i = 1; i <= n; ++i) {
      if (names[i] != iAttrName) continue;
      oAttrType = types[i];
      oRequired = required[i];
    }
    return S_OK;
  });
}

HRESULT QIREdsMetadataTool::GetAttrMagnitudeInfo(const QIRUnicodeString& iClassName,
                                                 QIRListValQIRUnicodeString& oAttrNames,
                                                 QIRListValQIRUnicodeString& oMagnitudes) const
{
  return ReadTable(Dictionary(), *this, iClassName,
                   [&](const QIREdsMetadataDict&, const QIREdsMetadataTable& iTable) {
                     oAttrNames.Append(iTable.MagnitudeColumns);
                     oMagnitudes.Append(iTable.Magnitudes);
                   });
}

QIRUnicodeString QIREdsMetadataTool::TranslateClassToNeutral(
    const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString name = iClassName;
  const HRESULT hr = QIRGuarded([&] {
    // The dictionary keys its records by the qualified form; anything that already
    // mentions the schema is taken as qualified.
    if (!Contains(iClassName, kQualifier)) name = QIRUnicodeString(kQualifier) + "." + iClassName;
    return S_OK;
  });
  return SUCCEEDED(hr) ? name : iClassName;
}

QIRUnicodeString QIREdsMetadataTool::TranslateClassToOrvane(
    const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString name = iClassName;
  const HRESULT hr = QIRGuarded([&] {
    const int point = iClassName.SearchSubString(".", 0, QIRUnicodeString::QIRSearchBackward);
    if (point >= 0)
      name = iClassName.SubString(point + 1, iClassName.GetLengthInChar() - point - 1);
    return S_OK;
  });
  return SUCCEEDED(hr) ? name : iClassName;
}

QIRUnicodeString QIREdsMetadataTool::TranslateTypeToOrvane(
    // cppcheck-suppress passedByValue
    const QIRUnicodeString iAttrName, const QIREdsMetadataTable* iTable,
    const int iColumnIndex) const
{
  QIRUnicodeString type;
  if (iTable == nullptr) return type;
  const HRESULT hr = QIRGuarded([&] {
    if (iColumnIndex < 1 || iColumnIndex > iTable->ColumnTypes.Size()) return S_OK;
    // Keys and outside references travel as object identifiers, whatever their SQL type.
    const QIRUnicodeString& sqlType = iTable->ColumnTypes[iColumnIndex];
    if (Contains(iAttrName, "_key") || Contains(iAttrName, "_Key") ||
        iTable->ExtRefFromColumns.Locate(iAttrName) > 0)
      type = "Uuid";
    else if (Contains(sqlType, "INTEGER"))
      type = "Integer";
    else if (Contains(sqlType, "FLOAT"))
      type = "Double";
    else if (Contains(sqlType, "CHAR"))
      type = "String";
    return S_OK;
  });
  return SUCCEEDED(hr) ? type : QIRUnicodeString();
}

HRESULT QIREdsMetadataTool::GetRelationship(const QIRUnicodeString& iClassName,
                                            QIRListValQIRUnicodeString& oRelationNames,
                                            QIRListValQIRUnicodeString& oAttrNames,
                                            QIRListValQIRUnicodeString& oToClasses) const
{
  return ReadTable(Dictionary(), *this, iClassName,
                   [&](const QIREdsMetadataDict& iDictionary, const QIREdsMetadataTable& iTable) {
                     const QIRListValQIRUnicodeString& clauses = iTable.Constraints;
                     for (int i = 1; i <= clauses.Size(); ++i) {
                       if (!Contains(clauses[i], "FOREIGN KEY")) continue;
                       QIRUnicodeString name, column, toClass;
                       if (FAILED(iDictionary.ParseConstraint(clauses[i], name, column, toClass)))
                         continue;
                       oRelationNames.Append(name);
                       oAttrNames.Append(column);
                       oToClasses.Append(toClass);
                     }
                     const int n = iTable.ExtRefNames.Size();
                     if (n == 0 || iTable.ExtRefFromColumns.Size() != n ||
                         iTable.ExtRefToClasses.Size() != n || iTable.ExtRefToUuids.Size() != n)
                       return;
                     for (int i = 1; i <= n; ++i) {
                       oRelationNames.Append(iTable.ExtRefNames[i]);
                       oAttrNames.Append(iTable.ExtRefFromColumns[i]);
                       oToClasses.Append(iTable.ExtRefToClasses[i]);
                     }
                   });
}

QIRUnicodeString QIREdsMetadataTool::TransRelationNameToOrvane(
    const QIRUnicodeString& iClassName, const QIRUnicodeString& iAttrName) const
{
  QIRUnicodeString relation = iAttrName;
  const HRESULT hr = QIRGuarded([&] {
    QIRListValQIRUnicodeString names, attributes, classes;
    if (FAILED(GetRelationship(TranslateClassToNeutral(iClassName), names, attributes, classes)))
      return S_OK;
    const int i = attributes.Locate(iAttrName);
    if (i > 0 && i <= names.Size()) relation = names[i];
    return S_OK;
  });
  return SUCCEEDED(hr) ? relation : iAttrName;
}

void QIREdsMetadataTool::FindMissingMandateAttr(const QIRUnicodeString& iClassName,
                                                const QIRListValQIRUnicodeString& iGivenAttrs,
                                                QIRListValQIRUnicodeString& oMissing) const
{
  oMissing.RemoveAll();
  if (Dictionary() == nullptr) return;
  QIRGuardedVoid([&] {
    const QIRUnicodeString primaryKey = GetPrimaryKey(iClassName);
    QIRListValQIRUnicodeString names, types;
    QIRRawCollint required;
    if (FAILED(GetAttributeInfo(iClassName, names, types, required))) return;
    const int n = names.Size();
    if (n == 0 || types.Size() != n || required.Size() != n) return;
    // The primary key is the server's to assign, so a caller never has to give it.
    for (int i = 1; i <= n; ++i) {
      if (required[i] > 0 && names[i] != primaryKey && iGivenAttrs.Locate(names[i]) == 0)
        oMissing.Append(names[i]);
    }
  });
}

HRESULT QIREdsMetadataTool::GetUniqueAttrNames(const QIRUnicodeString& iClassName,
                                               QIRListValQIRUnicodeString& oAttrNames) const
{
  return ReadTable(Dictionary(), *this, iClassName,
                   [&](const QIREdsMetadataDict&, const QIREdsMetadataTable& iTable) {
                     oAttrNames.Append(iTable.UniqueKeys);
                   });
}

HRESULT QIREdsMetadataTool::GetMagnitudeNames(QIRListValQIRUnicodeString& oNames) const
{
  return AskDictionary(Dictionary(), [&](const QIREdsMetadataDict& iDictionary) {
    return iDictionary.GetMagnitudeNames(oNames);
  });
}

HRESULT QIREdsMetadataTool::ResolveDefine(const QIRUnicodeString& iDefine,
                                          QIRUnicodeString& oName) const
{
  return AskDictionary(Dictionary(), [&](const QIREdsMetadataDict& iDictionary) {
    return iDictionary.ResolveDefine(iDefine, oName);
  });
}

HRESULT QIREdsMetadataTool::GetReferencingClasses(
    const QIRUnicodeString& iClass, const QIRListValQIRUnicodeString& iCandidates,
    QIRListValQIRUnicodeString& oClasses, QIRListValQIRUnicodeString& oConstraintNames) const
{
  return AskDictionary(Dictionary(), [&](const QIREdsMetadataDict& iDictionary) {
    return iDictionary.GetReferencingClasses(iClass, iCandidates, oClasses, oConstraintNames);
  });
}

QIRUnicodeString QIREdsMetadataTool::ConvertClassNameToOrvane(
    const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString name = iClassName;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return name;
  const HRESULT hr = QIRGuarded([&] {
    name = dictionary->ConvertClassNameToOrvane(iClassName);
    return S_OK;
  });
  return SUCCEEDED(hr) ? name : iClassName;
}

HRESULT QIREdsMetadataTool::GenerateSQLStatements(QIRListValQIRUnicodeString& oStatements) const
{
  return AskDictionary(Dictionary(), [&](const QIREdsMetadataDict& iDictionary) {
    return iDictionary.GenerateSQLStatements(oStatements);
  });
}

HRESULT QIREdsMetadataTool::GenerateOrvaneMetaData(const QIRUnicodeString& iDictionaryPath,
                                                   const QIRListValQIRUnicodeString& iKnownNames,
                                                   const QIRListValQIRUnicodeString& iKnownUuids,
                                                   const QIRUnicodeString& iOutputPath) const
{
  return AskDictionary(Dictionary(), [&](const QIREdsMetadataDict& iDictionary) {
    return iDictionary.GenerateOrvaneMetaData(iDictionaryPath, iKnownNames, iKnownUuids,
                                              iOutputPath);
  });
}
