#include "QIRXMLInternal.h"

#include <libxml/tree.h>
#include <libxml/valid.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "QIRError.h"
#include "QIRFaultInjection.h"
#include "QIRXMLServices.h"

namespace {

class DomDocument;

// What AppendChild needs to know of a node handed in: its tree node and its document.
class NodeAccess {
 public:
  virtual xmlNodePtr XmlNode() const = 0;
  virtual DomDocument* Owner() const = 0;

 protected:
  ~NodeAccess() = default;
};

// The node operations shared by every kind of node. A node keeps its document alive, so its
// tree node stays valid for as long as the handle lasts; the document itself holds no
// reference on itself.
template <class Interface>
class DomNode : public Interface, public NodeAccess {
 public:
  DomNode(xmlNodePtr iNode, DomDocument* iOwner, bool iIsOwner = false);
  ~DomNode() override;
  DomNode(const DomNode&) = delete;
  DomNode& operator=(const DomNode&) = delete;

  HRESULT GetNodeType(unsigned short& oType) override;
  HRESULT GetNodeName(QIRUnicodeString& oName) override;
  HRESULT GetFirstChild(QIRIDOMNode_var& oChild) override;
  HRESULT GetNextSibling(QIRIDOMNode_var& oSibling) override;
  HRESULT AppendChild(const QIRIDOMNode_var& iChild) override;
  int IsSameNode(const QIRIDOMNode_var& iOther) override {
    const auto* other = dynamic_cast<const NodeAccess*>(iOther.get());
    return other && other->XmlNode() == _node ? 1 : 0;
  }

  xmlNodePtr XmlNode() const override { return _node; }
  DomDocument* Owner() const override { return _owner; }

 protected:
  xmlNodePtr _node;
  DomDocument* _owner;
  bool _isOwner;  // the document object itself
};

class DomElement final : public DomNode<QIRIDOMElement> {
 public:
  using DomNode::DomNode;
  HRESULT GetTagName(QIRUnicodeString& oName) override;
  HRESULT SetAttribute(const QIRUnicodeString& iName, const QIRUnicodeString& iValue) override;
  HRESULT GetAttribute(const QIRUnicodeString& iName, QIRUnicodeString& oValue) override;
  HRESULT GetElementsByTagName(const QIRUnicodeString& iTag, QIRIDOMNodeList_var& oList) override;
};

class DomDocumentType final : public DomNode<QIRIDOMDocumentType> {
 public:
  using DomNode::DomNode;
};

class DomDocument final : public DomNode<QIRIDOMDocument> {
 public:
  explicit DomDocument(xmlDocPtr iTree);
  ~DomDocument() override;

  HRESULT CreateElement(const QIRUnicodeString& iTag, QIRIDOMElement_var& oElement) override;
  HRESULT GetElementsByTagName(const QIRUnicodeString& iTag, QIRIDOMNodeList_var& oList) override;
  HRESULT GetDocumentElement(QIRIDOMElement_var& oElement) override;
  unsigned long GetModificationCount() const override { return _modifications; }

  xmlDocPtr Tree() const { return _tree; }
  void Touch() { ++_modifications; }

 private:
  xmlDocPtr _tree;
  unsigned long _modifications = 0;
  // Elements made by CreateElement: those still outside the tree when the document goes
  // are freed with it.
  std::vector<xmlNodePtr> _created;
};

// Not yet part of any document: CreateDocument copies it into the document it makes.
class DetachedDocumentType final : public QIRIDOMDocumentType {
 public:
  DetachedDocumentType(const QIRUnicodeString& iName, const QIRUnicodeString& iPublicId,
                       const QIRUnicodeString& iSystemId)
      : Name(iName), PublicId(iPublicId), SystemId(iSystemId) {}
  HRESULT GetNodeType(unsigned short& oType) override {
    oType = QIR_DOCUMENT_TYPE_NODE;
    return S_OK;
  }
  HRESULT GetNodeName(QIRUnicodeString& oName) override;
  HRESULT GetFirstChild(QIRIDOMNode_var& oChild) override {
    oChild = NULL_var;
    return S_OK;
  }
  HRESULT GetNextSibling(QIRIDOMNode_var& oSibling) override {
    oSibling = NULL_var;
    return S_OK;
  }
  HRESULT AppendChild(const QIRIDOMNode_var&) override { return E_FAIL; }
  int IsSameNode(const QIRIDOMNode_var& iOther) override {
    return static_cast<QIRBaseUnknown*>(iOther.get()) == this ? 1 : 0;
  }

  const QIRUnicodeString Name;
  const QIRUnicodeString PublicId;
  const QIRUnicodeString SystemId;
};

class DomNodeList final : public QIRIDOMNodeList {
 public:
  DomNodeList(std::vector<xmlNodePtr>&& iNodes, DomDocument* iOwner);
  ~DomNodeList() override;
  DomNodeList(const DomNodeList&) = delete;
  DomNodeList& operator=(const DomNodeList&) = delete;
  HRESULT GetLength(unsigned int& oLength) override {
    oLength = static_cast<unsigned int>(_nodes.size());
    return S_OK;
  }
  HRESULT Item(unsigned int iIndex, QIRIDOMNode_var& oNode) override;

 private:
  std::vector<xmlNodePtr> _nodes;
  DomDocument* _owner;
};

class DomImplementation final : public QIRIDOMImplementation {
 public:
  HRESULT CreateDocumentType(const QIRUnicodeString& iQualifiedName,
                             const QIRUnicodeString& iPublicId, const QIRUnicodeString& iSystemId,
                             QIRIDOMDocumentType_var& oType) override;
  HRESULT CreateDocument(const QIRUnicodeString& iNamespace,
                         const QIRUnicodeString& iQualifiedName,
                         const QIRIDOMDocumentType_var& iType,
                         QIRIDOMDocument_var& oDocument) override;
};

const xmlChar* AsXml(const QIRUnicodeString& iText) {
  return reinterpret_cast<const xmlChar*>(iText.ConvertToChar());
}

const char* AsChar(const xmlChar* iText) { return reinterpret_cast<const char*>(iText); }

// Names as they are written: the prefix, when there is one, belongs to the name.
bool HasQualifiedName(const xmlChar* iName, const xmlNs* iNs, const char* iQualified) {
  if (!iName) return false;
  if (iNs && iNs->prefix) {
    const std::size_t length = std::strlen(AsChar(iNs->prefix));
    if (std::strncmp(iQualified, AsChar(iNs->prefix), length) != 0) return false;
    if (iQualified[length] != ':') return false;
    iQualified += length + 1;
  }
  return std::strcmp(AsChar(iName), iQualified) == 0;
}

QIRUnicodeString QualifiedName(const xmlChar* iName, const xmlNs* iNs) {
  if (iNs && iNs->prefix) return QIRUnicodeString(AsChar(iNs->prefix)) + ":" + AsChar(iName);
  return QIRUnicodeString(AsChar(iName));
}

// Entity references and document types keep declarations under them, which are no part of
// the document's content.
xmlNodePtr FirstChildOf(xmlNodePtr iNode) {
  if (iNode->type != XML_ELEMENT_NODE && iNode->type != XML_DOCUMENT_NODE) return nullptr;
  return iNode->children;
}

bool IsNameValid(const QIRUnicodeString& iName) {
  return !iName.IsNull() && xmlValidateName(AsXml(iName), 0) == 0;
}

// A new object of the kind that matches the node, holding one reference for the caller.
QIRIDOMNode* NewNodeObject(xmlNodePtr iNode, DomDocument* iOwner) {
  switch (iNode->type) {
    case XML_ELEMENT_NODE:
      return new DomElement(iNode, iOwner);
    case XML_DTD_NODE:
      return new DomDocumentType(iNode, iOwner);
    case XML_DOCUMENT_NODE:
      iOwner->AddRef();
      return iOwner;
    default:
      return new DomNode<QIRIDOMNode>(iNode, iOwner);
  }
}

// A handle on iNode, or none for null. oNode is set last and nothing is read after it:
// `node->GetNextSibling(node)` is the usual walk, and oNode may hold the only handle on the
// node that asks.
HRESULT HandOut(xmlNodePtr iNode, DomDocument* iOwner, QIRIDOMNode_var& oNode) {
  HRESULT hr = E_FAIL;
  try {
    QIRIDOMNode_var node;
    if (iNode) node.Attach(NewNodeObject(iNode, iOwner));
    oNode = std::move(node);
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

// Where iChild may go under iParent: elements take any content; a document takes comments,
// processing instructions and a single element.
bool CanHold(xmlNodePtr iParent, xmlNodePtr iChild) {
  switch (iChild->type) {
    case XML_ELEMENT_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      break;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_ENTITY_REF_NODE:
      if (iParent->type != XML_ELEMENT_NODE) return false;
      break;
    default:
      return false;
  }
  if (iParent->type == XML_ELEMENT_NODE) return true;
  if (iParent->type != XML_DOCUMENT_NODE) return false;
  if (iChild->type != XML_ELEMENT_NODE) return true;
  xmlNodePtr current = xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(iParent));
  return current == nullptr || current == iChild;
}

// Linked by hand: xmlAddChild may merge a text node into its neighbour and free it, which
// would leave a handle on freed memory.
void LinkAsLast(xmlNodePtr iParent, xmlNodePtr iChild) {
  iChild->parent = iParent;
  iChild->prev = iParent->last;
  iChild->next = nullptr;
  if (iParent->last)
    iParent->last->next = iChild;
  else
    iParent->children = iChild;
  iParent->last = iChild;
}

// One walk in document order below iRoot; "*" takes every element. Elements and documents
// search below themselves alike.
HRESULT CollectElements(xmlNodePtr iRoot, const QIRUnicodeString& iTag, DomDocument* iOwner,
                        QIRIDOMNodeList_var& oList) {
  HRESULT hr = E_FAIL;
  oList = NULL_var;
  try {
    if (QIRCallShouldFail("GetElementsByTagName")) return hr;
    const char* tag = iTag.ConvertToChar();
    const bool any = std::strcmp(tag, "*") == 0;
    std::vector<xmlNodePtr> found;
    xmlNodePtr node = FirstChildOf(iRoot);
    while (node) {
      if (node->type == XML_ELEMENT_NODE) {
        if (any || HasQualifiedName(node->name, node->ns, tag)) found.push_back(node);
        if (node->children) {
          node = node->children;
          continue;
        }
      }
      while (node && !node->next) {
        node = node->parent;
        if (node == iRoot) node = nullptr;
      }
      if (node) node = node->next;
    }
    oList.Attach(new DomNodeList(std::move(found), iOwner));
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

// --- nodes

template <class Interface>
DomNode<Interface>::DomNode(xmlNodePtr iNode, DomDocument* iOwner, bool iIsOwner)
    : _node(iNode), _owner(iOwner), _isOwner(iIsOwner) {
  if (!_isOwner) _owner->AddRef();
}

template <class Interface>
DomNode<Interface>::~DomNode() {
  if (!_isOwner) _owner->Release();
}

template <class Interface>
HRESULT DomNode<Interface>::GetNodeType(unsigned short& oType) {
  switch (_node->type) {
    case XML_ELEMENT_NODE: oType = QIR_ELEMENT_NODE; break;
    case XML_TEXT_NODE: oType = QIR_TEXT_NODE; break;
    case XML_CDATA_SECTION_NODE: oType = QIR_CDATA_SECTION_NODE; break;
    case XML_ENTITY_REF_NODE: oType = QIR_ENTITY_REFERENCE_NODE; break;
    case XML_PI_NODE: oType = QIR_PROCESSING_INSTRUCTION_NODE; break;
    case XML_COMMENT_NODE: oType = QIR_COMMENT_NODE; break;
    case XML_DOCUMENT_NODE: oType = QIR_DOCUMENT_NODE; break;
    case XML_DTD_NODE: oType = QIR_DOCUMENT_TYPE_NODE; break;
    default: oType = 0; return E_FAIL;
  }
  return S_OK;
}

template <class Interface>
HRESULT DomNode<Interface>::GetNodeName(QIRUnicodeString& oName) {
  HRESULT hr = E_FAIL;
  try {
    switch (_node->type) {
      case XML_ELEMENT_NODE: oName = QualifiedName(_node->name, _node->ns); break;
      case XML_TEXT_NODE: oName = "#text"; break;
      case XML_CDATA_SECTION_NODE: oName = "#cdata-section"; break;
      case XML_COMMENT_NODE: oName = "#comment"; break;
      case XML_DOCUMENT_NODE: oName = "#document"; break;
      default: oName = AsChar(_node->name); break;
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

template <class Interface>
HRESULT DomNode<Interface>::GetFirstChild(QIRIDOMNode_var& oChild) {
  return HandOut(FirstChildOf(_node), _owner, oChild);
}

template <class Interface>
HRESULT DomNode<Interface>::GetNextSibling(QIRIDOMNode_var& oSibling) {
  return HandOut(_node->next, _owner, oSibling);
}

template <class Interface>
HRESULT DomNode<Interface>::AppendChild(const QIRIDOMNode_var& iChild) {
  HRESULT hr = E_FAIL;
  if (iChild == NULL_var) return hr;
  try {
    if (QIRCallShouldFail("AppendChild")) return hr;
    const NodeAccess* access = dynamic_cast<const NodeAccess*>(iChild.get());
    if (!access || access->Owner() != _owner) return hr;  // another document or implementation
    xmlNodePtr child = access->XmlNode();
    if (!CanHold(_node, child)) return hr;
    for (xmlNodePtr up = _node; up; up = up->parent)
      if (up == child) return hr;  // the child would contain itself
    xmlUnlinkNode(child);
    LinkAsLast(_node, child);
    _owner->Touch();
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

// --- elements

HRESULT DomElement::GetTagName(QIRUnicodeString& oName) {
  HRESULT hr = E_FAIL;
  try {
    oName = QualifiedName(_node->name, _node->ns);
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT DomElement::SetAttribute(const QIRUnicodeString& iName, const QIRUnicodeString& iValue) {
  HRESULT hr = E_FAIL;
  if (!IsNameValid(iName)) return hr;
  try {
    if (QIRCallShouldFail("SetAttribute")) return hr;
    if (!xmlSetProp(_node, AsXml(iName), AsXml(iValue))) return hr;
    _owner->Touch();
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT DomElement::GetAttribute(const QIRUnicodeString& iName, QIRUnicodeString& oValue) {
  HRESULT hr = E_FAIL;
  try {
    if (QIRCallShouldFail("GetAttribute")) return hr;
    const char* name = iName.ConvertToChar();
    xmlAttrPtr attribute = _node->properties;
    while (attribute && !HasQualifiedName(attribute->name, attribute->ns, name))
      attribute = attribute->next;
    if (attribute) {
      xmlNodePtr text = attribute->children;
      if (!text) {
        oValue = QIRUnicodeString();
      } else if (text->type == XML_TEXT_NODE && !text->next) {
        oValue = AsChar(text->content);  // the usual case, read without a copy
      } else {
        std::unique_ptr<xmlChar, void (*)(void*)> joined(
            xmlNodeListGetString(_node->doc, text, 1), xmlFree);
        if (!joined) return hr;
        oValue = AsChar(joined.get());
      }
      return S_OK;
    }
    // Defaults declared by the document type read as if they were written.
    xmlAttributePtr declared = nullptr;
    xmlDocPtr tree = _node->doc;
    if (tree && !_node->ns && tree->intSubset)
      declared = xmlGetDtdAttrDesc(tree->intSubset, _node->name, AsXml(iName));
    if (tree && !_node->ns && !declared && tree->extSubset)
      declared = xmlGetDtdAttrDesc(tree->extSubset, _node->name, AsXml(iName));
    oValue = declared && declared->defaultValue ? AsChar(declared->defaultValue) : "";
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT DomElement::GetElementsByTagName(const QIRUnicodeString& iTag,
                                         QIRIDOMNodeList_var& oList) {
  return CollectElements(_node, iTag, _owner, oList);
}

// --- documents

DomDocument::DomDocument(xmlDocPtr iTree)
    : DomNode(reinterpret_cast<xmlNodePtr>(iTree), this, true), _tree(iTree) {}

DomDocument::~DomDocument() {
  // Every parent is read before anything is freed, since a loose subtree may hold other
  // created elements; and the loose ones go before the document, whose dictionary may
  // hold their names.
  const auto loose = std::partition(_created.begin(), _created.end(),
                                    [](xmlNodePtr iNode) { return iNode->parent == nullptr; });
  for (auto node = _created.begin(); node != loose; ++node) xmlFreeNode(*node);
  xmlFreeDoc(_tree);
}

HRESULT DomDocument::CreateElement(const QIRUnicodeString& iTag, QIRIDOMElement_var& oElement) {
  HRESULT hr = E_FAIL;
  oElement = NULL_var;
  if (!IsNameValid(iTag)) return hr;
  try {
    if (QIRCallShouldFail("CreateElement")) return hr;
    xmlNodePtr node = xmlNewDocNode(_tree, nullptr, AsXml(iTag), nullptr);
    if (!node) return hr;
    try {
      _created.push_back(node);
    } catch (...) {
      xmlFreeNode(node);  // an untracked node would never be freed
      throw;
    }
    oElement.Attach(new DomElement(node, this));
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT DomDocument::GetElementsByTagName(const QIRUnicodeString& iTag,
                                          QIRIDOMNodeList_var& oList) {
  return CollectElements(_node, iTag, this, oList);
}

HRESULT DomDocument::GetDocumentElement(QIRIDOMElement_var& oElement) {
  HRESULT hr = E_FAIL;
  oElement = NULL_var;
  try {
    xmlNodePtr root = xmlDocGetRootElement(_tree);
    if (root) oElement.Attach(new DomElement(root, this));
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT DetachedDocumentType::GetNodeName(QIRUnicodeString& oName) {
  HRESULT hr = E_FAIL;
  try {
    oName = Name;
    hr = S_OK;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

// --- node lists

DomNodeList::DomNodeList(std::vector<xmlNodePtr>&& iNodes, DomDocument* iOwner)
    : _nodes(std::move(iNodes)), _owner(iOwner) {
  _owner->AddRef();
}

DomNodeList::~DomNodeList() { _owner->Release(); }

HRESULT DomNodeList::Item(unsigned int iIndex, QIRIDOMNode_var& oNode) {
  HRESULT hr = E_FAIL;
  oNode = NULL_var;
  if (iIndex >= _nodes.size()) return hr;
  try {
    if (QIRCallShouldFail("Item")) return hr;
    oNode.Attach(NewNodeObject(_nodes[iIndex], _owner));
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

// --- implementation

HRESULT DomImplementation::CreateDocumentType(const QIRUnicodeString& iQualifiedName,
                                              const QIRUnicodeString& iPublicId,
                                              const QIRUnicodeString& iSystemId,
                                              QIRIDOMDocumentType_var& oType) {
  HRESULT hr = E_FAIL;
  oType = NULL_var;
  if (!IsNameValid(iQualifiedName)) return hr;
  try {
    if (QIRCallShouldFail("CreateDocumentType")) return hr;
    oType.Attach(new DetachedDocumentType(iQualifiedName, iPublicId, iSystemId));
    hr = S_OK;
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

HRESULT DomImplementation::CreateDocument(const QIRUnicodeString& /*iNamespace*/,
                                          const QIRUnicodeString& /*iQualifiedName*/,
                                          const QIRIDOMDocumentType_var& iType,
                                          QIRIDOMDocument_var& oDocument) {
  HRESULT hr = E_FAIL;
  oDocument = NULL_var;
  const DetachedDocumentType* type = dynamic_cast<const DetachedDocumentType*>(iType.get());
  if (iType != NULL_var && !type) return hr;  // a type already in a document, or not ours
  try {
    if (QIRCallShouldFail("CreateDocument")) return hr;
    xmlDocPtr tree = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (!tree) return hr;
    if (type) {
      const xmlChar* publicId = type->PublicId.IsNull() ? nullptr : AsXml(type->PublicId);
      const xmlChar* systemId = type->SystemId.IsNull() ? nullptr : AsXml(type->SystemId);
      if (!xmlCreateIntSubset(tree, AsXml(type->Name), publicId, systemId)) {
        xmlFreeDoc(tree);
        return hr;
      }
    }
    hr = QIRXMLInternal::WrapDocument(tree, oDocument);
  } catch (QIRError& error) {
    error.Flush();
    hr = E_FAIL;
  } catch (...) {
    hr = E_FAIL;
  }
  return hr;
}

}  // namespace

const IID IID_QIRIDOMNode = {"QIRIDOMNode", &QIRCastTo<QIRIDOMNode>};
const IID IID_QIRIDOMElement = {"QIRIDOMElement", &QIRCastTo<QIRIDOMElement>};
const IID IID_QIRIDOMDocument = {"QIRIDOMDocument", &QIRCastTo<QIRIDOMDocument>};
const IID IID_QIRIDOMDocumentType = {"QIRIDOMDocumentType", &QIRCastTo<QIRIDOMDocumentType>};
const IID IID_QIRIDOMNodeList = {"QIRIDOMNodeList", &QIRCastTo<QIRIDOMNodeList>};
const IID IID_QIRIDOMImplementation = {"QIRIDOMImplementation",
                                       &QIRCastTo<QIRIDOMImplementation>};

HRESULT QIRXMLInternal::WrapDocument(xmlDocPtr iDocument, QIRIDOMDocument_var& oDocument) {
  oDocument = NULL_var;
  if (!iDocument) return E_FAIL;
  try {
    oDocument.Attach(new DomDocument(iDocument));
  } catch (...) {
    xmlFreeDoc(iDocument);
    return E_FAIL;
  }
  return S_OK;
}

xmlDocPtr QIRXMLInternal::TreeOf(const QIRIDOMDocument_var& iDocument) {
  const DomDocument* document = dynamic_cast<const DomDocument*>(iDocument.get());
  return document ? document->Tree() : nullptr;
}

QIRIDOMImplementation* QIRXMLInternal::NewImplementation() { return new DomImplementation; }
