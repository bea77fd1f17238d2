#ifndef QIRXMLServices_H
#define QIRXMLServices_H
/// \file
/// The XML parser services: a DOM builder and a SAX factory behind component interfaces.
/// Every operation returns an HRESULT; objects come back in counted handles. Options are
/// two parallel lists (names, values): "QIRDoValidation", "QIRExpandEntityReferences",
/// "QIREncoding"; unknown names are ignored, empty lists mean the defaults.

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

class QIRIDOMNode;
class QIRIDOMElement;
class QIRIDOMDocument;
class QIRIDOMDocumentType;
class QIRIDOMNodeList;
class QIRIDOMImplementation;
class QIRIXMLDOMDocumentBuilder;
class QIRIXMLSAXFactory;
class QIRISAXInputSource;
class QIRISAXEntityResolver;
class QIRISAXErrorHandler;

typedef QIRVar<QIRIDOMNode> QIRIDOMNode_var;
typedef QIRVar<QIRIDOMElement> QIRIDOMElement_var;
typedef QIRVar<QIRIDOMDocument> QIRIDOMDocument_var;
typedef QIRVar<QIRIDOMDocumentType> QIRIDOMDocumentType_var;
typedef QIRVar<QIRIDOMNodeList> QIRIDOMNodeList_var;
typedef QIRVar<QIRIDOMImplementation> QIRIDOMImplementation_var;
typedef QIRVar<QIRIXMLDOMDocumentBuilder> QIRIXMLDOMDocumentBuilder_var;
typedef QIRVar<QIRIXMLSAXFactory> QIRIXMLSAXFactory_var;
typedef QIRVar<QIRISAXInputSource> QIRISAXInputSource_var;
typedef QIRVar<QIRISAXEntityResolver> QIRISAXEntityResolver_var;
typedef QIRVar<QIRISAXErrorHandler> QIRISAXErrorHandler_var;

extern QIR_API const IID IID_QIRIDOMNode;
extern QIR_API const IID IID_QIRIDOMElement;
extern QIR_API const IID IID_QIRIDOMDocument;
extern QIR_API const IID IID_QIRIDOMDocumentType;
extern QIR_API const IID IID_QIRIDOMNodeList;
extern QIR_API const IID IID_QIRIDOMImplementation;
extern QIR_API const IID IID_QIRIXMLDOMDocumentBuilder;
extern QIR_API const IID IID_QIRIXMLSAXFactory;
extern QIR_API const IID IID_QIRISAXInputSource;
extern QIR_API const IID IID_QIRISAXEntityResolver;
extern QIR_API const IID IID_QIRISAXErrorHandler;

/// Node types as GetNodeType reports them.
enum QIRDOMNodeType {
  QIR_ELEMENT_NODE = 1,
  QIR_TEXT_NODE = 3,
  QIR_CDATA_SECTION_NODE = 4,
  QIR_ENTITY_REFERENCE_NODE = 5,
  QIR_PROCESSING_INSTRUCTION_NODE = 7,
  QIR_COMMENT_NODE = 8,
  QIR_DOCUMENT_NODE = 9,
  QIR_DOCUMENT_TYPE_NODE = 10
};

class QIR_API QIRIDOMNode : public QIRBaseUnknown {
 public:
  static const IID& ClassIID() { return IID_QIRIDOMNode; }
  virtual HRESULT GetNodeType(unsigned short& oType) = 0;
  virtual HRESULT GetNodeName(QIRUnicodeString& oName) = 0;
  /// An empty handle and S_OK when there is none.
  virtual HRESULT GetFirstChild(QIRIDOMNode_var& oChild) = 0;
  virtual HRESULT GetNextSibling(QIRIDOMNode_var& oSibling) = 0;
  /// Adds iChild (created by the same document) as the last child, moving it when it already
  /// has a parent. E_FAIL for an empty handle, a node of another document, or a child that
  /// would break the tree (an ancestor of this node, a second document element).
  virtual HRESULT AppendChild(const QIRIDOMNode_var& iChild) = 0;
  /// Non-zero when iOther stands for this very node: handles on one node are distinct objects.
  virtual int IsSameNode(const QIRIDOMNode_var& iOther) = 0;
};

class QIR_API QIRIDOMElement : public QIRIDOMNode {
 public:
  static const IID& ClassIID() { return IID_QIRIDOMElement; }
  virtual HRESULT GetTagName(QIRUnicodeString& oName) = 0;
  /// Adds or replaces the attribute.
  virtual HRESULT SetAttribute(const QIRUnicodeString& iName, const QIRUnicodeString& iValue) = 0;
  /// An absent attribute reads as an empty string, with S_OK.
  virtual HRESULT GetAttribute(const QIRUnicodeString& iName, QIRUnicodeString& oValue) = 0;
  /// The element's descendants named iTag, in document order.
  virtual HRESULT GetElementsByTagName(const QIRUnicodeString& iTag,
                                       QIRIDOMNodeList_var& oList) = 0;
};

class QIR_API QIRIDOMDocument : public QIRIDOMNode {
 public:
  static const IID& ClassIID() { return IID_QIRIDOMDocument; }
  /// A new element owned by this document, not yet in the tree.
  virtual HRESULT CreateElement(const QIRUnicodeString& iTag, QIRIDOMElement_var& oElement) = 0;
  /// Every element named iTag, in document order.
  virtual HRESULT GetElementsByTagName(const QIRUnicodeString& iTag,
                                       QIRIDOMNodeList_var& oList) = 0;
  /// The document element; an empty handle and S_OK when there is none yet.
  virtual HRESULT GetDocumentElement(QIRIDOMElement_var& oElement) = 0;
  /// Grows with every change made to the document through any handle (nodes appended or
  /// moved, attributes set), so that a cache over the document can tell it is stale.
  virtual unsigned long GetModificationCount() const = 0;
};

class QIR_API QIRIDOMDocumentType : public QIRIDOMNode {
 public:
  static const IID& ClassIID() { return IID_QIRIDOMDocumentType; }
};

/// A snapshot of nodes taken when the list was asked for.
class QIR_API QIRIDOMNodeList : public QIRBaseUnknown {
 public:
  static const IID& ClassIID() { return IID_QIRIDOMNodeList; }
  virtual HRESULT GetLength(unsigned int& oLength) = 0;
  /// Node iIndex, from 0; E_FAIL and an empty handle out of range.
  virtual HRESULT Item(unsigned int iIndex, QIRIDOMNode_var& oNode) = 0;
};

class QIR_API QIRIDOMImplementation : public QIRBaseUnknown {
 public:
  static const IID& ClassIID() { return IID_QIRIDOMImplementation; }
  virtual HRESULT CreateDocumentType(const QIRUnicodeString& iQualifiedName,
                                     const QIRUnicodeString& iPublicId,
                                     const QIRUnicodeString& iSystemId,
                                     QIRIDOMDocumentType_var& oType) = 0;
  /// A document without any element; iType (may be empty) becomes its document type.
  virtual HRESULT CreateDocument(const QIRUnicodeString& iNamespace,
                                 const QIRUnicodeString& iQualifiedName,
                                 const QIRIDOMDocumentType_var& iType,
                                 QIRIDOMDocument_var& oDocument) = 0;
};

/// Where a parse reads from: text in memory or a file.
class QIR_API QIRISAXInputSource : public QIRBaseUnknown {
 public:
  static const IID& ClassIID() { return IID_QIRISAXInputSource; }
  virtual HRESULT GetSystemId(QIRUnicodeString& oSystemId) = 0;
};

/// Consulted by the parser for the external document type definition (read only when
/// validation is asked). E_FAIL means "not mine": the parser falls back on the local file.
class QIR_API QIRISAXEntityResolver : public QIRBaseUnknown {
 public:
  static const IID& ClassIID() { return IID_QIRISAXEntityResolver; }
  virtual HRESULT ResolveEntity(const QIRUnicodeString& iPublicId,
                                const QIRUnicodeString& iSystemId,
                                QIRISAXInputSource_var& oSource) = 0;
};

/// Told of every error and warning of a parse, one message each.
class QIR_API QIRISAXErrorHandler : public QIRBaseUnknown {
 public:
  static const IID& ClassIID() { return IID_QIRISAXErrorHandler; }
  virtual void Error(const QIRUnicodeString& iMessage) = 0;
};

class QIR_API QIRIXMLDOMDocumentBuilder : public QIRBaseUnknown {
 public:
  static const IID& ClassIID() { return IID_QIRIXMLDOMDocumentBuilder; }
  /// Reads a whole document; the resolver and the handler may be empty handles. A document
  /// that is not well formed (or not valid when validation is asked) gives E_FAIL and an
  /// empty document handle.
  virtual HRESULT Parse(const QIRISAXInputSource_var& iSource, QIRIDOMDocument_var& oDocument,
                        const QIRListValQIRUnicodeString& iOptionNames,
                        const QIRListValQIRUnicodeString& iOptionValues,
                        const QIRISAXEntityResolver_var& iResolver,
                        const QIRISAXErrorHandler_var& iHandler) = 0;
  virtual HRESULT ParseFile(const QIRUnicodeString& iPath, QIRIDOMDocument_var& oDocument,
                            const QIRListValQIRUnicodeString& iOptionNames,
                            const QIRListValQIRUnicodeString& iOptionValues,
                            const QIRISAXEntityResolver_var& iResolver,
                            const QIRISAXErrorHandler_var& iHandler) = 0;
  virtual HRESULT GetDOMImplementation(QIRIDOMImplementation_var& oImplementation) = 0;
  /// Serialises the document: an XML declaration, the document type when there is one,
  /// then the elements, indented.
  virtual HRESULT WriteToString(const QIRIDOMDocument_var& iDocument, QIRUnicodeString& oText,
                                const QIRListValQIRUnicodeString& iOptionNames,
                                const QIRListValQIRUnicodeString& iOptionValues) = 0;
  virtual HRESULT WriteToFile(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iPath,
                              const QIRListValQIRUnicodeString& iOptionNames,
                              const QIRListValQIRUnicodeString& iOptionValues) = 0;
};

class QIR_API QIRIXMLSAXFactory : public QIRBaseUnknown {
 public:
  static const IID& ClassIID() { return IID_QIRIXMLSAXFactory; }
  /// A source over iText (parsed as the Unicode text it holds); iIdentifier names it in
  /// messages.
  virtual HRESULT CreateInputSourceFromBuffer(const QIRUnicodeString& iText,
                                              const QIRUnicodeString& iIdentifier,
                                              QIRISAXInputSource_var& oSource) = 0;
  /// A source reading the file iPath when the parse runs; iEncoding is unused and empty.
  virtual HRESULT CreateInputSourceFromFile(const QIRUnicodeString& iPath,
                                            const QIRUnicodeString& iEncoding,
                                            QIRISAXInputSource_var& oSource) = 0;
};

/// Identifies an implementation class for the two creation functions.
struct QIRCLSID {
  const char* Name;
};
extern QIR_API const QIRCLSID CLSID_QIRXMLDOMDocumentBuilder;
extern QIR_API const QIRCLSID CLSID_QIRXMLSAXFactory;

/// S_OK with a new builder (factory) in the handle; E_FAIL and an empty handle for an
/// unknown class identifier.
QIR_API HRESULT CreateQIRIXMLDOMDocumentBuilder(QIRIXMLDOMDocumentBuilder_var& oBuilder,
                                                const QIRCLSID& iClassId);
QIR_API HRESULT CreateQIRIXMLSAXFactory(QIRIXMLSAXFactory_var& oFactory,
                                        const QIRCLSID& iClassId);

#endif
