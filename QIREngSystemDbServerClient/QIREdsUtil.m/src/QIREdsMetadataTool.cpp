#include "QIREdsMetadataTool.h"

#include "QIRError.h"

namespace {

const char kQualifier[] = "qm41862";

// Derived attributes that applications compute; they have no column in the schema.
const char* const kComputedAttributes[][2] = {
    {"CR_Total_Length", "Double"},          {"CR_PartNumber", "String"},
    {"CR_CableType", "String"},             {"CR_Nb_Routed", "Integer"},
    {"CR_Nb_CableInst", "Integer"},         {"CI_Total_Length", "Double"},
    {"CI_CSect_List_Name", "String"},       {"CI_CSect_List_Ptr", "Uuid"},
    {"CI_CSect_List_FilterName", "String"}, {"CI_CSect_List_FilterPtr", "Uuid"},
    {"CI_PartNumber", "String"},            {"CI_CableType", "String"},
    {"CI_RouteStatus", "String"},           {"CI_WP_Name", "String"},
    {"CI_PEFrom_Name", "String"},           {"CI_PEFrom_WP_Name", "String"},
    {"CI_PETo_Name", "String"},             {"CI_PETo_WP_Name", "String"},
    {"CS_Total_WT", "Double"},              {"CS_Total_OD", "Double"},
    {"CS_Number_CI", "Integer"},            {"CS_Percent_Fill", "Double"},
    {"CS_Overload", "Integer"},             {"CS_WP_Name", "String"},
    {"RT_CS_List_Name", "String"},          {"RT_CS_List_Ptr", "Uuid"},
    {"RT_CS_List_FilterName", "String"},    {"RT_CS_List_FilterPtr", "Uuid"},
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

}  // namespace

QIREdsMetadataTool::QIREdsMetadataTool()
{
  try {
    _pMetadataDict = new QIREdsMetadataDict();
    // A dictionary whose build failed stays in use: queries see whatever it holds.
    _pMetadataDict->Initialize();
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
  try {
    for (const auto& attribute : kComputedAttributes) {
      _ComputedAttrNames.Append(attribute[0]);
      _ComputedAttrTypes.Append(attribute[1]);
    }
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
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
  try {
    const int i = _ComputedAttrNames.Locate(iAttrName);
    if (i < 1 || i > _ComputedAttrTypes.Size()) return hr;
    oType = _ComputedAttrTypes[i];
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

QIRUnicodeString QIREdsMetadataTool::GetPrimaryKey(const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString key;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return key;
  try {
    QIRListValQIRUnicodeString names, keys;
    dictionary->GetClassNames(names, keys);
    const int i = names.Locate(TranslateClassToNeutral(iClassName));
    if (i > 0 && i <= keys.Size()) key = keys[i];
  } catch (QIRError& error) {
    error.Flush();
    key = QIRUnicodeString();
  } catch (...) {
    key = QIRUnicodeString();
  }
  return key;
}

HRESULT QIREdsMetadataTool::GetClassInfo(QIRListValQIRUnicodeString& oClassNames,
                                         QIRListValQIRUnicodeString& oPrimaryKeys,
                                         const unsigned char& iShortNames) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    if (!iShortNames) return dictionary->GetClassNames(oClassNames, oPrimaryKeys);
    QIRListValQIRUnicodeString neutralNames;
    hr = dictionary->GetClassNames(neutralNames, oPrimaryKeys);
    if (FAILED(hr)) return hr;
    for (int i = 1; i <= neutralNames.Size(); ++i)
      oClassNames.Append(TranslateClassToOrvane(neutralNames[i]));
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataTool::GetAttributeInfo(const QIRUnicodeString& iClassName,
                                             QIRListValQIRUnicodeString& oAttrNames,
                                             QIRListValQIRUnicodeString& oAttrTypes,
                                             QIRRawCollint& oRequired) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    TableHandle table;
    hr = GetTable(*dictionary, TranslateClassToNeutral(iClassName), table);
    if (FAILED(hr)) return hr;
    const int n = table->Columns.Size();
    if (n > 0 && table->ColumnTypes.Size() == n && table->Required.Size() == n) {
      for (int i = 1; i <= n; ++i) {
        oAttrNames.Append(table->Columns[i]);
        oAttrTypes.Append(TranslateTypeToOrvane(table->Columns[i], table.get(), i));
        oRequired.Append(table->Required[i]);
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

// The attribute names go by value because callers' code was written against that signature.
HRESULT QIREdsMetadataTool::GetAttributeType(
    // cppcheck-suppress passedByValue
    const QIRUnicodeString& iClassName, const QIRUnicodeString iAttrName,
    QIRUnicodeString& oAttrType, int& oRequired) const
{
  HRESULT hr = E_FAIL;
  try {
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
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataTool::GetAttrMagnitudeInfo(const QIRUnicodeString& iClassName,
                                                 QIRListValQIRUnicodeString& oAttrNames,
                                                 QIRListValQIRUnicodeString& oMagnitudes) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    TableHandle table;
    hr = GetTable(*dictionary, TranslateClassToNeutral(iClassName), table);
    if (FAILED(hr)) return hr;
    oAttrNames.Append(table->MagnitudeColumns);
    oMagnitudes.Append(table->Magnitudes);
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

QIRUnicodeString QIREdsMetadataTool::TranslateClassToNeutral(
    const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString name = iClassName;
  try {
    // The dictionary keys its records by the qualified form; anything that already
    // mentions the schema is taken as qualified.
    if (!Contains(iClassName, kQualifier))
      name = QIRUnicodeString(kQualifier) + "." + iClassName;
  } catch (...) {
    name = iClassName;
  }
  return name;
}

QIRUnicodeString QIREdsMetadataTool::TranslateClassToOrvane(
    const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString name = iClassName;
  try {
    const int point =
        iClassName.SearchSubString(".", 0, QIRUnicodeString::QIRSearchBackward);
    if (point >= 0)
      name = iClassName.SubString(point + 1, iClassName.GetLengthInChar() - point - 1);
  } catch (...) {
    name = iClassName;
  }
  return name;
}

QIRUnicodeString QIREdsMetadataTool::TranslateTypeToOrvane(
    // cppcheck-suppress passedByValue
    const QIRUnicodeString iAttrName, const QIREdsMetadataTable* iTable,
    const int iColumnIndex) const
{
  QIRUnicodeString type;
  if (iTable == nullptr) return type;
  try {
    if (iColumnIndex < 1 || iColumnIndex > iTable->ColumnTypes.Size()) return type;
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
  } catch (QIRError& error) {
    error.Flush();
    type = QIRUnicodeString();
  } catch (...) {
    type = QIRUnicodeString();
  }
  return type;
}

HRESULT QIREdsMetadataTool::GetRelationship(const QIRUnicodeString& iClassName,
                                            QIRListValQIRUnicodeString& oRelationNames,
                                            QIRListValQIRUnicodeString& oAttrNames,
                                            QIRListValQIRUnicodeString& oToClasses) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    TableHandle table;
    hr = GetTable(*dictionary, TranslateClassToNeutral(iClassName), table);
    if (FAILED(hr)) return hr;
    const QIRListValQIRUnicodeString& clauses = table->Constraints;
    for (int i = 1; i <= clauses.Size(); ++i) {
      if (!Contains(clauses[i], "FOREIGN KEY")) continue;
      QIRUnicodeString name, column, toClass;
      if (FAILED(dictionary->ParseConstraint(clauses[i], name, column, toClass))) continue;
      oRelationNames.Append(name);
      oAttrNames.Append(column);
      oToClasses.Append(toClass);
    }
    const int n = table->ExtRefNames.Size();
    if (n > 0 && table->ExtRefFromColumns.Size() == n && table->ExtRefToClasses.Size() == n &&
        table->ExtRefToUuids.Size() == n) {
      for (int i = 1; i <= n; ++i) {
        oRelationNames.Append(table->ExtRefNames[i]);
        oAttrNames.Append(table->ExtRefFromColumns[i]);
        oToClasses.Append(table->ExtRefToClasses[i]);
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

QIRUnicodeString QIREdsMetadataTool::TransRelationNameToOrvane(
    const QIRUnicodeString& iClassName, const QIRUnicodeString& iAttrName) const
{
  QIRUnicodeString relation = iAttrName;
  try {
    QIRListValQIRUnicodeString names, attributes, classes;
    if (FAILED(GetRelationship(TranslateClassToNeutral(iClassName), names, attributes, classes)))
      return relation;
    const int i = attributes.Locate(iAttrName);
    if (i > 0 && i <= names.Size()) relation = names[i];
  } catch (QIRError& error) {
    error.Flush();
    relation = iAttrName;
  } catch (...) {
    relation = iAttrName;
  }
  return relation;
}

void QIREdsMetadataTool::FindMissingMandateAttr(const QIRUnicodeString& iClassName,
                                                const QIRListValQIRUnicodeString& iGivenAttrs,
                                                QIRListValQIRUnicodeString& oMissing) const
{
  oMissing.RemoveAll();
  if (Dictionary() == nullptr) return;
  try {
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
  } catch (QIRError& error) {
    error.Flush();
  } catch (...) {
  }
}

HRESULT QIREdsMetadataTool::GetUniqueAttrNames(const QIRUnicodeString& iClassName,
                                               QIRListValQIRUnicodeString& oAttrNames) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    TableHandle table;
    hr = GetTable(*dictionary, TranslateClassToNeutral(iClassName), table);
    if (FAILED(hr)) return hr;
    oAttrNames.Append(table->UniqueKeys);
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataTool::GetMagnitudeNames(QIRListValQIRUnicodeString& oNames) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    hr = dictionary->GetMagnitudeNames(oNames);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataTool::ResolveDefine(const QIRUnicodeString& iDefine,
                                          QIRUnicodeString& oName) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    hr = dictionary->ResolveDefine(iDefine, oName);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataTool::GetReferencingClasses(
    const QIRUnicodeString& iClass, const QIRListValQIRUnicodeString& iCandidates,
    QIRListValQIRUnicodeString& oClasses, QIRListValQIRUnicodeString& oConstraintNames) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    hr = dictionary->GetReferencingClasses(iClass, iCandidates, oClasses, oConstraintNames);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

QIRUnicodeString QIREdsMetadataTool::ConvertClassNameToOrvane(
    const QIRUnicodeString& iClassName) const
{
  QIRUnicodeString name = iClassName;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return name;
  try {
    name = dictionary->ConvertClassNameToOrvane(iClassName);
  } catch (QIRError& error) {
    error.Flush();
    name = iClassName;
  } catch (...) {
    name = iClassName;
  }
  return name;
}

HRESULT QIREdsMetadataTool::GenerateSQLStatements(QIRListValQIRUnicodeString& oStatements) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    hr = dictionary->GenerateSQLStatements(oStatements);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT QIREdsMetadataTool::GenerateOrvaneMetaData(const QIRUnicodeString& iDictionaryPath,
                                                   const QIRListValQIRUnicodeString& iKnownNames,
                                                   const QIRListValQIRUnicodeString& iKnownUuids,
                                                   const QIRUnicodeString& iOutputPath) const
{
  HRESULT hr = E_FAIL;
  const QIREdsMetadataDict* dictionary = Dictionary();
  if (dictionary == nullptr) return hr;
  try {
    hr = dictionary->GenerateOrvaneMetaData(iDictionaryPath, iKnownNames, iKnownUuids,
                                            iOutputPath);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}
