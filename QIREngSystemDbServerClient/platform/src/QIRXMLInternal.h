#ifndef QIRXMLInternal_H
#define QIRXMLInternal_H
// What the XML layer's sources share; never included outside platform/src.

#include "QIRXMLServices.h"
#include "QIRXMLTree.h"

#include <cstddef>
#include <libxml/parser.h>
#include <memory>
#include <string>
#include <vector>

namespace QIRXMLInternal {

// Takes iTree over in every case (freed on failure) and hands out its first handle.
HRESULT WrapDocument(std::unique_ptr<Tree> iTree, QIRIDOMDocument_var& oDocument);
// The tree behind a document of this layer; null for an empty handle or another implementation.
Tree* TreeOf(const QIRIDOMDocument_var& iDocument);

// The node and tree behind a handle of this layer; false for another implementation.
bool Reach(QIRIDOMNode* iHandle, Node*& oNode, Tree*& oTree);
// The elements GetElementsByTagName lists below iRoot, appended to oFound in document order.
void ElementsBelow(Node* iRoot, const QIRUnicodeString& iTag, const Tree& iTree,
                   std::vector<Node*>& oFound);
// An element's attribute as GetAttribute reads it, declared defaults included; iInterned is
// the tree's copy of iName, or null when the tree knows no such name.
void ReadAttribute(Node* iElement, Tree& iTree, const QIRUnicodeString& iName,
                   const char* iInterned, QIRUnicodeString& oValue);
// The tree's copy of iName; null when the tree knows no such name.
const char* KnownNameOf(const QIRUnicodeString& iName, const Tree& iTree);
// A new handle on iElement, an element of the document iNodeOfDocument belongs to.
HRESULT HandleOn(QIRIDOMNode* iNodeOfDocument, Node* iElement, QIRIDOMElement_var& oElement);

// A new DOM implementation, holding one reference for the caller.
QIRIDOMImplementation* NewImplementation();

// The content behind the input sources of this layer, read when a parse runs.
class SourceContent {
 public:
  // True when the source names a file; Text() is then its path.
  virtual bool IsFile() const = 0;
  // The text to parse, or the path of the file to read.
  virtual const QIRUnicodeString& Text() const = 0;
  // How messages name the source.
  virtual const QIRUnicodeString& Name() const = 0;

 protected:
  ~SourceContent() = default;
};

// Reads the whole file; false when it cannot be read to its end.
bool ReadWholeFile(const char* iPath, std::string& oBytes);

// A parser input over iBytes, which must outlive the parse, named iName in messages: how a
// document type definition read by this layer is handed to libxml2. Null when libxml2
// cannot make one.
xmlParserInputPtr InputOverBytes(xmlParserCtxtPtr iContext, const std::string& iBytes,
                                 const std::string& iName);

// A parser context over the iSize bytes of a document (at most INT_MAX, followed by a 0 byte).
// Text that libxml2 reads without converting it (stream text, read as UTF-8 whatever it
// declares, and a file that libxml2 finds to be UTF-8) is read where it lies, as libxml2
// reads a string: the bytes must then outlive the context, and oCopied is false. Only a text
// in another encoding is copied into libxml2's input buffer. Null when libxml2 cannot make one.
xmlParserCtxtPtr NewTextContext(const char* iBytes, std::size_t iSize, bool iUnicodeText,
                                bool& oCopied);

}  // namespace QIRXMLInternal

#endif
