#include "QIREdsJobElements.h"

#include <algorithm>
#include <utility>

namespace QIREdsJobElements {

HRESULT ReadItemAttribute(const QIRIDOMNodeList_var& iList, unsigned int iIndex,
                          const QIRUnicodeString& iName, QIRIDOMElement_var& oElement,
                          QIRUnicodeString& oValue)
{
  oValue = QIRUnicodeString();
  QIRIDOMNode_var node;
  HRESULT hr = iList->Item(iIndex, node);
  if (FAILED(hr) || node == NULL_var) return hr;
  oElement = QIRIDOMElement_var(node);
  if (oElement == NULL_var) return E_NOINTERFACE;
  return oElement->GetAttribute(iName, oValue);
}

HRESULT FirstByAttribute(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iTagName,
                         const QIRUnicodeString& iName, const QIRUnicodeString& iValue,
                         QIRIDOMElement_var& oElement)
{
  QIRIDOMNodeList_var list;
  HRESULT hr = iDocument->GetElementsByTagName(iTagName, list);
  if (FAILED(hr) || list == NULL_var) return hr;
  unsigned int length = 0;
  hr = list->GetLength(length);
  if (FAILED(hr)) return hr;
  for (unsigned int i = 0; i < length; ++i) {
    QIRIDOMElement_var element;
    QIRUnicodeString value;
    hr = ReadItemAttribute(list, i, iName, element, value);
    if (element == NULL_var || value != iValue) continue;
    oElement = element;
    return S_OK;
  }
  return hr;
}

bool RootIsDocumentElement(const QIRIDOMDocument_var& iDocument, const QIRIDOMNode_var& iRoot)
{
  QIRIDOMElement_var documentElement;
  if (FAILED(iDocument->GetDocumentElement(documentElement)) || documentElement == NULL_var)
    return false;
  return documentElement->IsSameNode(iRoot) != 0;
}

HRESULT ReadEachElement(const QIRXMLDirect::ElementList& iList, const QIRUnicodeString* iNames,
                        QIRListValQIRUnicodeString* const* oLists, int iCount,
                        bool iEveryReadCounts, HRESULT iCode)
{
  HRESULT hr = iCode;
  const unsigned int length = iList.Length();
  // The names are found in the document once, not once an element.
  const int kMostResolved = 8;
  QIRXMLDirect::ElementList::Name resolved[kMostResolved];
  for (int k = 0; k < iCount; ++k) {
    oLists[k]->Reserve(oLists[k]->Size() + static_cast<int>(std::min(length, 1u << 30)));
    if (k < kMostResolved) resolved[k] = iList.Resolve(iNames[k]);
  }
  for (unsigned int i = 0; i < length; ++i) {
    if (FAILED(iList.Item(i))) continue;
    for (int k = 0; k < iCount; ++k) {
      QIRUnicodeString value;
      const HRESULT read = k < kMostResolved ? iList.GetAttribute(i, resolved[k], value)
                                             : iList.GetAttribute(i, iNames[k], value);
      const bool counts = k == 0 || iEveryReadCounts;
      if (counts) hr = read;
      if (FAILED(read) && counts) return hr;
      if (FAILED(read)) break;
      oLists[k]->Append(std::move(value));
    }
  }
  return hr;
}

}  // namespace QIREdsJobElements
