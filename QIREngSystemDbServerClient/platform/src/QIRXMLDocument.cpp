#include "QIRError.h"
#include "QIRFaultInjection.h"
#include "QIRGuard.h"
#include "QIRXMLDirect.h"
#include "QIRXMLInternal.h"
#include "QIRXMLServices.h"

#include <cstring>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <memory>
#include <new>
#include <string_view>
#include <typeinfo>
#include <utility>
#include <vector>

namespace {

using QIRXMLInternal::Node;
using QIRXMLInternal::NodeKind;
using QIRXMLInternal::Tree;

class DomDocument;

// What AppendChild needs to know of a node handed in: its tree node and its document.
class NodeAccess {
 public:
  virtual Node* XmlNode() const = 0;
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
  DomNode(Node* iNode, DomDocument* iOwner, bool iIsOwner = false);
  ~DomNode() override;
  DomNode(const DomNode&) = delete;
  DomNode& operator=(const DomNode&) = delete;

  HRESULT GetNodeType(unsigned short& oType) override;
  HRESULT GetNodeName(QIRUnicodeString& oName) override;
  HRESULT GetFirstChild(QIRIDOMNode_var& oChild) override;
  HRESULT GetNextSibling(QIRIDOMNode_var& oSibling) override;
  HRESULT AppendChild(const QIRIDOMNode_var& iChild) override;
  int IsSameNode(const QIRIDOMNode_var& iOther) override
  {
    const auto* other = dynamic_cast<const NodeAccess*>(iOther.get());
    return other && other->XmlNode() == _node ? 1 : 0;
  }

  Node* XmlNode() const override { return _node; }
  DomDocument* Owner() const override { return _owner; }

 protected:
  Node* _node;
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
  explicit DomDocument(std::unique_ptr<Tree> iTree);
  ~DomDocument() override = default;

  HRESULT CreateElement(const QIRUnicodeString& iTag, QIRIDOMElement_var& oElement) override;
  HRESULT GetElementsByTagName(const QIRUnicodeString& iTag, QIRIDOMNodeList_var& oList) override;
  HRESULT GetDocumentElement(QIRIDOMElement_var& oElement) override;
  unsigned long GetModificationCount() const override { return _modifications; }

  Tree& Content() const { return *_tree; }
  void Touch() { ++_modifications; }

 private:
  std::unique_ptr<Tree> _tree;  // every node, linked or not, goes with it
  unsigned long _modifications = 0;
};

// Not yet part of any document: CreateDocument copies it into the document it makes.
class DetachedDocumentType final : public QIRIDOMDocumentType {
 public:
  DetachedDocumentType(const QIRUnicodeString& iName, const QIRUnicodeString& iPublicId,
                       const QIRUnicodeString& iSystemId)
      : Name(iName), PublicId(iPublicId), SystemId(iSystemId)
  {
  }
  HRESULT GetNodeType(unsigned short& oType) override
  {
    oType = QIR_DOCUMENT_TYPE_NODE;
    return S_OK;
  }
  HRESULT GetNodeName(QIRUnicodeString& oName) override;
  HRESULT GetFirstChild(QIRIDOMNode_var& oChild) override
  {
    oChild = NULL_var;
    return S_OK;
  }
  HRESULT GetNextSibling(QIRIDOMNode_var& oSibling) override
  {
    oSibling = NULL_var;
    return S_OK;
  }
  HRESULT AppendChild(const QIRIDOMNode_var&) override { return E_FAIL; }
  int IsSameNode(const QIRIDOMNode_var& iOther) override
  {
    return static_cast<QIRBaseUnknown*>(iOther.get()) == this ? 1 : 0;
  }

  const QIRUnicodeString Name;
  const QIRUnicodeString PublicId;
  const QIRUnicodeString SystemId;
};

class DomNodeList final : public QIRIDOMNodeList {
 public:
  DomNodeList(std::vector<Node*>&& iNodes, DomDocument* iOwner);
  ~DomNodeList() override;
  DomNodeList(const DomNodeList&) = delete;
  DomNodeList& operator=(const DomNodeList&) = delete;
  HRESULT GetLength(unsigned int& oLength) override
  {
    oLength = static_cast<unsigned int>(_nodes.size());
    return S_OK;
  }
  HRESULT Item(unsigned int iIndex, QIRIDOMNode_var& oNode) override;

 private:
  std::vector<Node*> _nodes;
  DomDocument* _owner;
};

class DomImplementation final : public QIRIDOMImplementation {
 public:
  HRESULT CreateDocumentType(const QIRUnicodeString& iQualifiedName,
                             const QIRUnicodeString& iPublicId, const QIRUnicodeString& iSystemId,
                             QIRIDOMDocumentType_var& oType) override;
  HRESULT CreateDocument(const QIRUnicodeString& iNamespace, const QIRUnicodeString& iQualifiedName,
                         const QIRIDOMDocumentType_var& iType,
                         QIRIDOMDocument_var& oDocument) override;
};

const xmlChar* AsXml(const QIRUnicodeString& iText)
{
  return reinterpret_cast<const xmlChar*>(iText.ConvertToChar());
}

// Entity references keep no content of their own in this tree; only elements and documents
// have children.
Node* FirstChildOf(Node* iNode)
{
  if (iNode->Kind != NodeKind::Element && iNode->Kind != NodeKind::Document) return nullptr;
  return iNode->First;
}

bool IsNameValid(const QIRUnicodeString& iName)
{
  return !iName.IsNull() && xmlValidateName(AsXml(iName), 0) == 0;
}

// The tree's copy of a valid name, made when it is new; null for a name XML refuses. A name
// the tree holds already was checked when it came in.
const char* TreeName(const QIRUnicodeString& iName, Tree& iTree)
{
  const char* text = iName.ConvertToChar();
  const std::size_t size = static_cast<std::size_t>(iName.GetLengthInByte());
  if (const char* known = iTree.KnownName(text, size)) return known;
  return IsNameValid(iName) ? iTree.Intern(text, size) : nullptr;
}

// A new object of the kind that matches the node, holding one reference for the caller.
QIRIDOMNode* NewNodeObject(Node* iNode, DomDocument* iOwner)
{
  switch (iNode->Kind) {
    case NodeKind::Element:
      return new DomElement(iNode, iOwner);
    case NodeKind::DocumentType:
      return new DomDocumentType(iNode, iOwner);
    case NodeKind::Document:
      iOwner->AddRef();
      return iOwner;
    default:
      return new DomNode<QIRIDOMNode>(iNode, iOwner);
  }
}

// A handle on iNode, or none for null. oNode is set last and nothing is read after it:
// `node->GetNextSibling(node)` is the usual walk, and oNode may hold the only handle on the
// node that asks.
HRESULT HandOut(Node* iNode, DomDocument* iOwner, QIRIDOMNode_var& oNode)
{
  return QIRGuarded([&] {
    QIRIDOMNode_var node;
    if (iNode) node.Attach(NewNodeObject(iNode, iOwner));
    oNode = std::move(node);
    return S_OK;
  });
}

// Where iChild may go under iParent: elements take any content; a document takes comments,
// processing instructions and a single element.
bool CanHold(Node* iParent, Node* iChild, Tree& iTree)
{
  switch (iChild->Kind) {
    case NodeKind::Element:
    case NodeKind::Comment:
    case NodeKind::Instruction:
      break;
    case NodeKind::Text:
    case NodeKind::CData:
    case NodeKind::EntityRef:
      if (iParent->Kind != NodeKind::Element) return false;
      break;
    default:
      return false;
  }
  if (iParent->Kind == NodeKind::Element) return true;
  if (iParent->Kind != NodeKind::Document) return false;
  if (iChild->Kind != NodeKind::Element) return true;
  Node* current = iTree.DocumentElement();
  return current == nullptr || current == iChild;
}

HRESULT CollectElements(Node* iRoot, const QIRUnicodeString& iTag, DomDocument* iOwner,
                        QIRIDOMNodeList_var& oList)
{
  HRESULT hr = E_FAIL;
  oList = NULL_var;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("GetElementsByTagName")) return hr;
    std::vector<Node*> found;
    QIRXMLInternal::ElementsBelow(iRoot, iTag, iOwner->Content(), found);
    oList.Attach(new DomNodeList(std::move(found), iOwner));
    return S_OK;
  });
}

// --- nodes

template <class Interface>
DomNode<Interface>::DomNode(Node* iNode, DomDocument* iOwner, bool iIsOwner)
    : _node(iNode), _owner(iOwner), _isOwner(iIsOwner)
{
  if (!_isOwner) _owner->AddRef();
}

template <class Interface>
DomNode<Interface>::~DomNode()
{
  if (!_isOwner) _owner->Release();
}

template <class Interface>
HRESULT DomNode<Interface>::GetNodeType(unsigned short& oType)
{
  switch (_node->Kind) {
    case NodeKind::Element:
      oType = QIR_ELEMENT_NODE;
      break;
    case NodeKind::Text:
      oType = QIR_TEXT_NODE;
      break;
    case NodeKind::CData:
      oType = QIR_CDATA_SECTION_NODE;
      break;
    case NodeKind::EntityRef:
      oType = QIR_ENTITY_REFERENCE_NODE;
      break;
    case NodeKind::Instruction:
      oType = QIR_PROCESSING_INSTRUCTION_NODE;
      break;
    case NodeKind::Comment:
      oType = QIR_COMMENT_NODE;
      break;
    case NodeKind::Document:
      oType = QIR_DOCUMENT_NODE;
      break;
    case NodeKind::DocumentType:
      oType = QIR_DOCUMENT_TYPE_NODE;
      break;
    default:
      oType = 0;
      return E_FAIL;
  }
  return S_OK;
}

template <class Interface>
HRESULT DomNode<Interface>::GetNodeName(QIRUnicodeString& oName)
{
  return QIRGuarded([&] {
    switch (_node->Kind) {
      case NodeKind::Text:
        oName = "#text";
        break;
      case NodeKind::CData:
        oName = "#cdata-section";
        break;
      case NodeKind::Comment:
        oName = "#comment";
        break;
      case NodeKind::Document:
        oName = "#document";
        break;
      default:
        oName = _node->Name;
        break;
    }
    return S_OK;
  });
}

template <class Interface>
HRESULT DomNode<Interface>::GetFirstChild(QIRIDOMNode_var& oChild)
{
  return HandOut(FirstChildOf(_node), _owner, oChild);
}

template <class Interface>
HRESULT DomNode<Interface>::GetNextSibling(QIRIDOMNode_var& oSibling)
{
  return HandOut(_node->Next, _owner, oSibling);
}

// The checks and the move of AppendChild, once the child is known to be of iOwner.
HRESULT AppendNode(Node* iParent, Node* iChild, DomDocument* iOwner)
{
  if (!CanHold(iParent, iChild, iOwner->Content())) return E_FAIL;
  for (Node* up = iParent; up; up = up->Parent)
    if (up == iChild) return E_FAIL;  // the child would contain itself
  Tree::Unlink(iChild);
  Tree::Append(iParent, iChild);
  iOwner->Touch();
  return S_OK;
}

template <class Interface>
HRESULT DomNode<Interface>::AppendChild(const QIRIDOMNode_var& iChild)
{
  HRESULT hr = E_FAIL;
  if (iChild == NULL_var) return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("AppendChild")) return hr;
    const NodeAccess* access = dynamic_cast<const NodeAccess*>(iChild.get());
    if (!access || access->Owner() != _owner) return hr;  // another document or implementation
    return AppendNode(_node, access->XmlNode(), _owner);
  });
}

// --- elements

HRESULT DomElement::GetTagName(QIRUnicodeString& oName)
{
  return QIRGuarded([&] {
    oName = _node->Name;
    return S_OK;
  });
}

// SetAttribute's work on a node of iOwner.
HRESULT SetNodeAttribute(Node* iElement, DomDocument* iOwner, const QIRUnicodeString& iName,
                         const QIRUnicodeString& iValue)
{
  Tree& tree = iOwner->Content();
  const char* name = iName.IsNull() ? nullptr : TreeName(iName, tree);
  if (!name) return E_FAIL;
  if (QIRCallShouldFail("SetAttribute")) return E_FAIL;
  // A value no parser would read back is refused rather than written.
  const char* value = iValue.ConvertToChar();
  const std::size_t size = static_cast<std::size_t>(iValue.GetLengthInByte());
  if (!QIRXMLInternal::IsXmlText(value, size)) return E_FAIL;
  tree.SetAttribute(iElement, name, value, size);
  iOwner->Touch();
  return S_OK;
}

HRESULT DomElement::SetAttribute(const QIRUnicodeString& iName, const QIRUnicodeString& iValue)
{
  return QIRGuarded([&] { return SetNodeAttribute(_node, _owner, iName, iValue); });
}

HRESULT DomElement::GetAttribute(const QIRUnicodeString& iName, QIRUnicodeString& oValue)
{
  HRESULT hr = E_FAIL;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("GetAttribute")) return hr;
    Tree& tree = _owner->Content();
    QIRXMLInternal::ReadAttribute(_node, tree, iName, QIRXMLInternal::KnownNameOf(iName, tree),
                                  oValue);
    return S_OK;
  });
}

HRESULT DomElement::GetElementsByTagName(const QIRUnicodeString& iTag, QIRIDOMNodeList_var& oList)
{
  return CollectElements(_node, iTag, _owner, oList);
}

// --- documents

DomDocument::DomDocument(std::unique_ptr<Tree> iTree)
    : DomNode(iTree->DocumentNode(), this, true), _tree(std::move(iTree))
{
}

// CreateElement's node, not yet linked; null when the name is refused or the call made to
// fail.
Node* NewElementNode(const QIRUnicodeString& iTag, Tree& iTree)
{
  const char* name = TreeName(iTag, iTree);
  if (!name) return nullptr;
  if (QIRCallShouldFail("CreateElement")) return nullptr;
  Node* node = iTree.NewNode(NodeKind::Element, nullptr, 0);
  node->Name = name;
  return node;
}

HRESULT DomDocument::CreateElement(const QIRUnicodeString& iTag, QIRIDOMElement_var& oElement)
{
  HRESULT hr = E_FAIL;
  oElement = NULL_var;
  if (iTag.IsNull()) return hr;
  return QIRGuarded([&] {
    Node* node = NewElementNode(iTag, *_tree);
    if (!node) return hr;
    oElement.Attach(new DomElement(node, this));
    return S_OK;
  });
}

HRESULT DomDocument::GetElementsByTagName(const QIRUnicodeString& iTag, QIRIDOMNodeList_var& oList)
{
  return CollectElements(_node, iTag, this, oList);
}

HRESULT DomDocument::GetDocumentElement(QIRIDOMElement_var& oElement)
{
  oElement = NULL_var;
  return QIRGuarded([&] {
    Node* root = _tree->DocumentElement();
    if (root) oElement.Attach(new DomElement(root, this));
    return S_OK;
  });
}

HRESULT DetachedDocumentType::GetNodeName(QIRUnicodeString& oName)
{
  return QIRGuarded([&] {
    oName = Name;
    return S_OK;
  });
}

// --- node lists

DomNodeList::DomNodeList(std::vector<Node*>&& iNodes, DomDocument* iOwner)
    : _nodes(std::move(iNodes)), _owner(iOwner)
{
  _owner->AddRef();
}

DomNodeList::~DomNodeList()
{
  _owner->Release();
}

HRESULT DomNodeList::Item(unsigned int iIndex, QIRIDOMNode_var& oNode)
{
  HRESULT hr = E_FAIL;
  oNode = NULL_var;
  if (iIndex >= _nodes.size()) return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("Item")) return hr;
    oNode.Attach(NewNodeObject(_nodes[iIndex], _owner));
    return S_OK;
  });
}

// --- implementation

HRESULT DomImplementation::CreateDocumentType(const QIRUnicodeString& iQualifiedName,
                                              const QIRUnicodeString& iPublicId,
                                              const QIRUnicodeString& iSystemId,
                                              QIRIDOMDocumentType_var& oType)
{
  HRESULT hr = E_FAIL;
  oType = NULL_var;
  if (!IsNameValid(iQualifiedName)) return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("CreateDocumentType")) return hr;
    oType.Attach(new DetachedDocumentType(iQualifiedName, iPublicId, iSystemId));
    return S_OK;
  });
}

HRESULT DomImplementation::CreateDocument(const QIRUnicodeString& /*iNamespace*/,
                                          const QIRUnicodeString& /*iQualifiedName*/,
                                          const QIRIDOMDocumentType_var& iType,
                                          QIRIDOMDocument_var& oDocument)
{
  HRESULT hr = E_FAIL;
  oDocument = NULL_var;
  const DetachedDocumentType* type = dynamic_cast<const DetachedDocumentType*>(iType.get());
  if (iType != NULL_var && !type) return hr;  // a type already in a document, or not ours
  return QIRGuarded([&] {
    if (QIRCallShouldFail("CreateDocument")) return hr;
    auto tree = std::make_unique<Tree>();
    if (type) {
      // The declarations live in a libxml2 document of their own, which writes them.
      xmlDocPtr holder = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
      if (!holder) return hr;
      tree->SetDeclarations(holder);
      const xmlChar* publicId = type->PublicId.IsNull() ? nullptr : AsXml(type->PublicId);
      const xmlChar* systemId = type->SystemId.IsNull() ? nullptr : AsXml(type->SystemId);
      if (!xmlCreateIntSubset(holder, AsXml(type->Name), publicId, systemId)) return hr;
      Tree::Append(tree->DocumentNode(),
                   tree->NewNode(NodeKind::DocumentType, type->Name.ConvertToChar(),
                                 static_cast<std::size_t>(type->Name.GetLengthInByte())));
    }
    hr = QIRXMLInternal::WrapDocument(std::move(tree), oDocument);
    return hr;
  });
}

}  // namespace

const IID IID_QIRIDOMNode = {"QIRIDOMNode", &QIRCastTo<QIRIDOMNode>};
const IID IID_QIRIDOMElement = {"QIRIDOMElement", &QIRCastTo<QIRIDOMElement>};
const IID IID_QIRIDOMDocument = {"QIRIDOMDocument", &QIRCastTo<QIRIDOMDocument>};
const IID IID_QIRIDOMDocumentType = {"QIRIDOMDocumentType", &QIRCastTo<QIRIDOMDocumentType>};
const IID IID_QIRIDOMNodeList = {"QIRIDOMNodeList", &QIRCastTo<QIRIDOMNodeList>};
const IID IID_QIRIDOMImplementation = {"QIRIDOMImplementation", &QIRCastTo<QIRIDOMImplementation>};

HRESULT QIRXMLInternal::WrapDocument(std::unique_ptr<Tree> iTree, QIRIDOMDocument_var& oDocument)
{
  oDocument = NULL_var;
  if (!iTree) return E_FAIL;
  try {
    oDocument.Attach(new DomDocument(std::move(iTree)));
  } catch (...) {
    return E_FAIL;
  }
  return S_OK;
}

QIRIDOMImplementation* QIRXMLInternal::NewImplementation()
{
  return new DomImplementation;
}

// --- the library's own way through, without handles

namespace {

// The document behind a handle, null for another implementation. The classes are final, so
// the exact type answers without a search of the hierarchy, which these calls would pay on
// every part of every job.
DomDocument* DocumentOf(QIRIDOMDocument* iHandle)
{
  if (iHandle && typeid(*iHandle) == typeid(DomDocument)) return static_cast<DomDocument*>(iHandle);
  return dynamic_cast<DomDocument*>(iHandle);
}

// The node and document behind a handle of this layer; false for another implementation.
bool ReachOwner(QIRIDOMNode* iHandle, Node*& oNode, DomDocument*& oOwner)
{
  const NodeAccess* access = nullptr;
  if (!iHandle) return false;
  if (typeid(*iHandle) == typeid(DomElement))
    access = static_cast<DomElement*>(iHandle);
  else if (typeid(*iHandle) == typeid(DomDocument))
    access = static_cast<DomDocument*>(iHandle);
  else
    access = dynamic_cast<const NodeAccess*>(iHandle);
  if (!access) return false;
  oNode = access->XmlNode();
  oOwner = access->Owner();
  return true;
}

}  // namespace

HRESULT QIRXMLDirect::NewElement(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iTag,
                                 const QIRUnicodeString* const* iNames,
                                 const QIRUnicodeString* const* iValues, int iCount,
                                 QIRXMLInternal::Node*& oElement)
{
  HRESULT hr = E_FAIL;
  oElement = nullptr;
  DomDocument* document = DocumentOf(iDocument.get());
  if (!document || iTag.IsNull()) return hr;
  return QIRGuarded([&] {
    Node* element = NewElementNode(iTag, document->Content());
    if (!element) return hr;
    oElement = element;
    hr = S_OK;
    for (int k = 0; k < iCount && SUCCEEDED(hr); ++k)
      if (iValues[k]) hr = SetNodeAttribute(element, document, *iNames[k], *iValues[k]);
    return hr;
  });
}

HRESULT QIRXMLDirect::AppendChild(const QIRIDOMDocument_var& iDocument, QIRIDOMNode* iParent,
                                  QIRXMLInternal::Node* iElement)
{
  HRESULT hr = E_FAIL;
  Node* parent = nullptr;
  DomDocument* owner = nullptr;
  if (!iElement || !ReachOwner(iParent, parent, owner)) return hr;
  if (owner != DocumentOf(iDocument.get())) return hr;
  return QIRGuarded([&] {
    if (QIRCallShouldFail("AppendChild")) return hr;
    return AppendNode(parent, iElement, owner);
  });
}

bool QIRXMLInternal::Reach(QIRIDOMNode* iHandle, Node*& oNode, Tree*& oTree)
{
  DomDocument* owner = nullptr;
  if (!ReachOwner(iHandle, oNode, owner)) return false;
  oTree = &owner->Content();
  return true;
}

// One walk in document order below iRoot; "*" takes every element. Elements and documents
// search below themselves alike.
void QIRXMLInternal::ElementsBelow(Node* iRoot, const QIRUnicodeString& iTag, const Tree& iTree,
                                   std::vector<Node*>& oFound)
{
  const char* tag = iTag.ConvertToChar();
  const bool any = std::strcmp(tag, "*") == 0;
  // Every name in the tree is interned: a name it does not know names no element, and
  // the others compare by address.
  const char* interned = iTree.KnownName(tag, static_cast<std::size_t>(iTag.GetLengthInByte()));
  Node* node = any || interned ? FirstChildOf(iRoot) : nullptr;
  while (node) {
    if (node->Kind == NodeKind::Element) {
      if (any || node->Name == interned) oFound.push_back(node);
      if (node->First) {
        node = node->First;
        continue;
      }
    }
    while (node && !node->Next) {
      node = node->Parent;
      if (node == iRoot) node = nullptr;
    }
    if (node) node = node->Next;
  }
}

// A name the tree does not know is no attribute's; a declared default may still have it.
void QIRXMLInternal::ReadAttribute(Node* iElement, Tree& iTree, const QIRUnicodeString& iName,
                                   const char* iInterned, QIRUnicodeString& oValue)
{
  if (iInterned)
    for (const Attribute* attribute = iElement->Attributes; attribute; attribute = attribute->Next)
      if (attribute->Name == iInterned && !iTree.IsNamespace(attribute)) {
        oValue = attribute->Value;
        return;
      }
  // Defaults declared by the document type read as if they were written.
  xmlAttributePtr declared = nullptr;
  xmlDocPtr holder = iTree.Declarations();
  const xmlChar* element = reinterpret_cast<const xmlChar*>(iElement->Name);
  if (holder && !iElement->InNamespace && holder->intSubset)
    declared = xmlGetDtdAttrDesc(holder->intSubset, element, AsXml(iName));
  if (holder && !iElement->InNamespace && !declared && holder->extSubset)
    declared = xmlGetDtdAttrDesc(holder->extSubset, element, AsXml(iName));
  oValue = declared && declared->defaultValue
               ? reinterpret_cast<const char*>(declared->defaultValue)
               : "";
}

const char* QIRXMLInternal::KnownNameOf(const QIRUnicodeString& iName, const Tree& iTree)
{
  return iTree.KnownName(iName.ConvertToChar(), static_cast<std::size_t>(iName.GetLengthInByte()));
}

Tree* QIRXMLInternal::TreeOf(const QIRIDOMDocument_var& iDocument)
{
  const DomDocument* document = DocumentOf(iDocument.get());
  return document ? &document->Content() : nullptr;
}

HRESULT QIRXMLInternal::HandleOn(QIRIDOMNode* iNodeOfDocument, Node* iElement,
                                 QIRIDOMElement_var& oElement)
{
  oElement = NULL_var;
  Node* node = nullptr;
  DomDocument* owner = nullptr;
  if (!iElement || iElement->Kind != NodeKind::Element || !ReachOwner(iNodeOfDocument, node, owner))
    return E_FAIL;
  return QIRGuarded([&] {
    oElement.Attach(new DomElement(iElement, owner));
    return S_OK;
  });
}
