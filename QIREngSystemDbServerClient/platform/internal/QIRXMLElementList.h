#ifndef QIRXMLElementList_H
#define QIRXMLElementList_H
// The elements of a document read without a handle each, for the library's own job documents
// (see QIRXMLDirect.h). Never installed or exported.

#include "QIRXMLServices.h"

#include <vector>

namespace QIRXMLInternal {
struct Node;
class Tree;
}  // namespace QIRXMLInternal

namespace QIRXMLDirect {

// The elements GetElementsByTagName lists below a node, read without a handle each.
class ElementList {
 public:
  // As iRoot->GetElementsByTagName(iTag): same order, same code, same fault point.
  HRESULT Collect(const QIRIDOMNode_var& iRoot, const QIRUnicodeString& iTag);
  // As Collect, but passing no fault point: a list kept to Select from, standing for no
  // call of its own.
  HRESULT Gather(const QIRIDOMNode_var& iRoot, const QIRUnicodeString& iTag);
  // As Collect(root, iTag) for the root iKept was gathered below, while the document is
  // unchanged since, iTag being the tag iKept was gathered with or iKept having been gathered
  // with "*": picked from iKept rather than walked again.
  HRESULT Select(const ElementList& iKept, const QIRUnicodeString& iTag);
  // Lets the document go.
  void Clear();
  // The root collected below; an empty handle when none.
  const QIRIDOMNode_var& Root() const { return _root; }
  unsigned int Length() const { return static_cast<unsigned int>(_elements.size()); }
  // The code Item(iIndex) gives, without the handle.
  HRESULT Item(unsigned int iIndex) const;
  // As Item(iIndex): a handle on the element.
  HRESULT Item(unsigned int iIndex, QIRIDOMElement_var& oElement) const;
  // An attribute name as the document knows it, found once for reading it of element after
  // element; true while the document is unchanged.
  struct Name {
    const QIRUnicodeString* Text;
    const char* Interned;  // null when no name of the document is Text
  };
  Name Resolve(const QIRUnicodeString& iName) const;
  // As GetAttribute(iName) on element iIndex (below Length()): declared defaults included.
  HRESULT GetAttribute(unsigned int iIndex, const Name& iName, QIRUnicodeString& oValue) const;
  HRESULT GetAttribute(unsigned int iIndex, const QIRUnicodeString& iName,
                       QIRUnicodeString& oValue) const
  {
    return GetAttribute(iIndex, Resolve(iName), oValue);
  }

 private:
  QIRIDOMNode_var _root;  // keeps the document, and so every element listed, alive
  QIRXMLInternal::Tree* _tree = nullptr;
  std::vector<QIRXMLInternal::Node*> _elements;
};

}  // namespace QIRXMLDirect

#endif
