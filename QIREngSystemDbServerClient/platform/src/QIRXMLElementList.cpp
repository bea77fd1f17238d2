#include "QIRXMLElementList.h"

#include "QIRFaultInjection.h"
#include "QIRGuard.h"
#include "QIRXMLInternal.h"

#include <cstring>

using QIRXMLInternal::Node;
using QIRXMLInternal::Tree;

HRESULT QIRXMLDirect::ElementList::Collect(const QIRIDOMNode_var& iRoot,
                                           const QIRUnicodeString& iTag)
{
  Clear();
  if (QIRCallShouldFail("GetElementsByTagName")) return E_FAIL;
  return Gather(iRoot, iTag);
}

HRESULT QIRXMLDirect::ElementList::Gather(const QIRIDOMNode_var& iRoot,
                                          const QIRUnicodeString& iTag)
{
  Clear();
  Node* root = nullptr;
  Tree* tree = nullptr;
  if (iRoot == NULL_var || !QIRXMLInternal::Reach(iRoot.get(), root, tree)) return E_FAIL;
  return QIRGuarded([&] {
    QIRXMLInternal::ElementsBelow(root, iTag, *tree, _elements);
    _root = iRoot;
    _tree = tree;
    return S_OK;
  });
}

HRESULT QIRXMLDirect::ElementList::Select(const ElementList& iKept, const QIRUnicodeString& iTag)
{
  HRESULT hr = E_FAIL;
  Clear();
  if (iKept._root == NULL_var || !iKept._tree) return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("GetElementsByTagName")) return hr;
    const char* tag = iTag.ConvertToChar();
    const bool any = std::strcmp(tag, "*") == 0;
    const char* interned = QIRXMLInternal::KnownNameOf(iTag, *iKept._tree);
    if (any)
      _elements = iKept._elements;
    else if (interned)
      for (Node* element : iKept._elements)
        if (element->Name == interned) _elements.push_back(element);
    _root = iKept._root;
    _tree = iKept._tree;
    return S_OK;
  });
}

void QIRXMLDirect::ElementList::Clear()
{
  _root = NULL_var;
  _tree = nullptr;
  _elements.clear();
}

HRESULT QIRXMLDirect::ElementList::Item(unsigned int iIndex) const
{
  if (iIndex >= _elements.size() || QIRCallShouldFail("Item")) return E_FAIL;
  return S_OK;
}

HRESULT QIRXMLDirect::ElementList::Item(unsigned int iIndex, QIRIDOMElement_var& oElement) const
{
  oElement = NULL_var;
  if (iIndex >= _elements.size() || QIRCallShouldFail("Item")) return E_FAIL;
  return QIRXMLInternal::HandleOn(_root.get(), _elements[iIndex], oElement);
}

QIRXMLDirect::ElementList::Name QIRXMLDirect::ElementList::Resolve(
    const QIRUnicodeString& iName) const
{
  return Name{&iName, _tree ? QIRXMLInternal::KnownNameOf(iName, *_tree) : nullptr};
}

HRESULT QIRXMLDirect::ElementList::GetAttribute(unsigned int iIndex, const Name& iName,
                                                QIRUnicodeString& oValue) const
{
  HRESULT hr = E_FAIL;
  if (iIndex >= _elements.size() || !_tree) return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("GetAttribute")) return hr;
    QIRXMLInternal::ReadAttribute(_elements[iIndex], *_tree, *iName.Text, iName.Interned, oValue);
    return S_OK;
  });
}
