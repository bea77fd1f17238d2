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

typedef QIRVar<QIRIDOMNode> QIRIDOMNode_var;                              ///< Handle on a node.
typedef QIRVar<QIRIDOMElement> QIRIDOMElement_var;                        ///< On an element.
typedef QIRVar<QIRIDOMDocument> QIRIDOMDocument_var;                      ///< On a document.
typedef QIRVar<QIRIDOMDocumentType> QIRIDOMDocumentType_var;              ///< On a doctype.
typedef QIRVar<QIRIDOMNodeList> QIRIDOMNodeList_var;                      ///< On a node list.
typedef QIRVar<QIRIDOMImplementation> QIRIDOMImplementation_var;          ///< On a factory.
typedef QIRVar<QIRIXMLDOMDocumentBuilder> QIRIXMLDOMDocumentBuilder_var;  ///< On a builder.
typedef QIRVar<QIRIXMLSAXFactory> QIRIXMLSAXFactory_var;                  ///< On a factory.
typedef QIRVar<QIRISAXInputSource> QIRISAXInputSource_var;                ///< On a source.
typedef QIRVar<QIRISAXEntityResolver> QIRISAXEntityResolver_var;          ///< On a resolver.
typedef QIRVar<QIRISAXErrorHandler> QIRISAXErrorHandler_var;              ///< On a handler.

extern QIR_API const IID IID_QIRIDOMNode;                ///< Identifies QIRIDOMNode.
extern QIR_API const IID IID_QIRIDOMElement;             ///< Identifies QIRIDOMElement.
extern QIR_API const IID IID_QIRIDOMDocument;            ///< Identifies QIRIDOMDocument.
extern QIR_API const IID IID_QIRIDOMDocumentType;        ///< Identifies QIRIDOMDocumentType.
extern QIR_API const IID IID_QIRIDOMNodeList;            ///< Identifies QIRIDOMNodeList.
extern QIR_API const IID IID_QIRIDOMImplementation;      ///< Identifies QIRIDOMImplementation.
extern QIR_API const IID IID_QIRIXMLDOMDocumentBuilder;  ///< Identifies the DOM builder.
extern QIR_API const IID IID_QIRIXMLSAXFactory;          ///< Identifies QIRIXMLSAXFactory.
extern QIR_API const IID IID_QIRISAXInputSource;         ///< Identifies QIRISAXInputSource.
extern QIR_API const IID IID_QIRISAXEntityResolver;      ///< Identifies the entity resolver.
extern QIR_API const IID IID_QIRISAXErrorHandler;        ///< Identifies QIRISAXErrorHandler.

/// Node types as GetNodeType reports them.
enum QIRDOMNodeType {
  QIR_ELEMENT_NODE = 1,                 ///< An element.
  QIR_TEXT_NODE = 3,                    ///< Character data.
  QIR_CDATA_SECTION_NODE = 4,           ///< A CDATA section.
  QIR_ENTITY_REFERENCE_NODE = 5,        ///< An entity reference left unexpanded.
  QIR_PROCESSING_INSTRUCTION_NODE = 7,  ///< A processing instruction.
  QIR_COMMENT_NODE = 8,                 ///< A comment.
  QIR_DOCUMENT_NODE = 9,                ///< The document itself.
  QIR_DOCUMENT_TYPE_NODE = 10           ///< The document type.
};

/// A node of a document. Unless said otherwise an operation returns S_OK, or E_FAIL when the
/// platform fails (the reason is logged).
class QIR_API QIRIDOMNode : public QIRBaseUnknown {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRIDOMNode; }
  /// \param oType receives a QIRDOMNodeType value
  /// \return S_OK or E_FAIL
  virtual HRESULT GetNodeType(unsigned short& oType) = 0;
  /// \param oName receives the name: the tag of an element, "#text", "#comment" and so on
  /// \return S_OK or E_FAIL
  virtual HRESULT GetNodeName(QIRUnicodeString& oName) = 0;
  /// \param oChild receives the first child; an empty handle when there is none
  /// \return S_OK (also when there is no child) or E_FAIL
  virtual HRESULT GetFirstChild(QIRIDOMNode_var& oChild) = 0;
  /// \param oSibling receives the next sibling; an empty handle when there is none
  /// \return S_OK (also when there is no sibling) or E_FAIL
  virtual HRESULT GetNextSibling(QIRIDOMNode_var& oSibling) = 0;
  /// Adds iChild (created by the same document) as the last child, moving it when it already
  /// has a parent.
  /// \param iChild the node added
  /// \return S_OK; E_FAIL for an empty handle, a node of another document, or a child that
  ///   would break the tree (an ancestor of this node, a second document element)
  virtual HRESULT AppendChild(const QIRIDOMNode_var& iChild) = 0;
  /// Handles on one node are distinct objects; this tells whether they stand for one node.
  /// \param iOther another handle
  /// \return non-zero when iOther stands for this very node
  virtual int IsSameNode(const QIRIDOMNode_var& iOther) = 0;
};

/// An element node.
class QIR_API QIRIDOMElement : public QIRIDOMNode {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRIDOMElement; }
  /// \param oName receives the element's tag
  /// \return S_OK or E_FAIL
  virtual HRESULT GetTagName(QIRUnicodeString& oName) = 0;
  /// Adds or replaces the attribute.
  /// \param iName the attribute's name
  /// \param iValue its value
  /// \return S_OK or E_FAIL
  virtual HRESULT SetAttribute(const QIRUnicodeString& iName, const QIRUnicodeString& iValue) = 0;
  /// \param iName the attribute's name
  /// \param oValue receives its value; an absent attribute reads as an empty string
  /// \return S_OK (also for an absent attribute) or E_FAIL
  virtual HRESULT GetAttribute(const QIRUnicodeString& iName, QIRUnicodeString& oValue) = 0;
  /// \param iTag the tag looked for
  /// \param oList receives the element's descendants named iTag, in document order
  /// \return S_OK or E_FAIL
  virtual HRESULT GetElementsByTagName(const QIRUnicodeString& iTag,
                                       QIRIDOMNodeList_var& oList) = 0;
};

/// A document node: owns its nodes and makes new ones.
class QIR_API QIRIDOMDocument : public QIRIDOMNode {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRIDOMDocument; }
  /// \param iTag the new element's tag
  /// \param oElement receives a new element owned by this document, not yet in the tree
  /// \return S_OK or E_FAIL
  virtual HRESULT CreateElement(const QIRUnicodeString& iTag, QIRIDOMElement_var& oElement) = 0;
  /// \param iTag the tag looked for
  /// \param oList receives every element named iTag, in document order
  /// \return S_OK or E_FAIL
  virtual HRESULT GetElementsByTagName(const QIRUnicodeString& iTag,
                                       QIRIDOMNodeList_var& oList) = 0;
  /// \param oElement receives the document element; an empty handle when there is none yet
  /// \return S_OK (also when there is none) or E_FAIL
  virtual HRESULT GetDocumentElement(QIRIDOMElement_var& oElement) = 0;
  /// Grows with every change made to the document through any handle (nodes appended or
  /// moved, attributes set), so that a cache over the document can tell it is stale.
  /// \return the count of changes so far
  virtual unsigned long GetModificationCount() const = 0;
};

/// The document type of a document.
class QIR_API QIRIDOMDocumentType : public QIRIDOMNode {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRIDOMDocumentType; }
};

/// A snapshot of nodes taken when the list was asked for.
class QIR_API QIRIDOMNodeList : public QIRBaseUnknown {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRIDOMNodeList; }
  /// \param oLength receives the number of nodes
  /// \return S_OK or E_FAIL
  virtual HRESULT GetLength(unsigned int& oLength) = 0;
  /// \param iIndex the index, from 0
  /// \param oNode receives node iIndex
  /// \return S_OK; E_FAIL and an empty handle out of range
  virtual HRESULT Item(unsigned int iIndex, QIRIDOMNode_var& oNode) = 0;
};

/// Makes documents and document types.
class QIR_API QIRIDOMImplementation : public QIRBaseUnknown {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRIDOMImplementation; }
  /// \param iQualifiedName the root element's name the type declares
  /// \param iPublicId the public identifier, may be empty
  /// \param iSystemId the system identifier (the definition's file), may be empty
  /// \param oType receives the new document type
  /// \return S_OK or E_FAIL
  virtual HRESULT CreateDocumentType(const QIRUnicodeString& iQualifiedName,
                                     const QIRUnicodeString& iPublicId,
                                     const QIRUnicodeString& iSystemId,
                                     QIRIDOMDocumentType_var& oType) = 0;
  /// A document without any element.
  /// \param iNamespace the namespace, may be empty
  /// \param iQualifiedName the name of the document element to come
  /// \param iType its document type, may be an empty handle
  /// \param oDocument receives the new document
  /// \return S_OK or E_FAIL
  virtual HRESULT CreateDocument(const QIRUnicodeString& iNamespace,
                                 const QIRUnicodeString& iQualifiedName,
                                 const QIRIDOMDocumentType_var& iType,
                                 QIRIDOMDocument_var& oDocument) = 0;
};

/// Where a parse reads from: text in memory or a file.
class QIR_API QIRISAXInputSource : public QIRBaseUnknown {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRISAXInputSource; }
  /// \param oSystemId receives the name the source goes by in messages
  /// \return S_OK or E_FAIL
  virtual HRESULT GetSystemId(QIRUnicodeString& oSystemId) = 0;
};

/// Consulted by the parser for the external document type definition (read only when
/// validation is asked).
class QIR_API QIRISAXEntityResolver : public QIRBaseUnknown {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRISAXEntityResolver; }
  /// \param iPublicId the definition's public identifier, may be empty
  /// \param iSystemId its system identifier as the document names it
  /// \param oSource receives a source for the definition
  /// \return S_OK with a source; E_FAIL means "not mine": the parser falls back on the
  ///   local file
  virtual HRESULT ResolveEntity(const QIRUnicodeString& iPublicId,
                                const QIRUnicodeString& iSystemId,
                                QIRISAXInputSource_var& oSource) = 0;
};

/// Told of every error and warning of a parse, one message each.
class QIR_API QIRISAXErrorHandler : public QIRBaseUnknown {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRISAXErrorHandler; }
  /// \param iMessage one message, with its place in the input
  virtual void Error(const QIRUnicodeString& iMessage) = 0;
};

/// Parses documents into trees and writes trees out.
class QIR_API QIRIXMLDOMDocumentBuilder : public QIRBaseUnknown {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRIXMLDOMDocumentBuilder; }
  /// Reads a whole document.
  /// \param iSource the source read
  /// \param oDocument receives the document
  /// \param iOptionNames the option names (see the file's description)
  /// \param iOptionValues their values, in step
  /// \param iResolver consulted for the definition, may be an empty handle
  /// \param iHandler told of each message, may be an empty handle
  /// \return S_OK; E_FAIL and an empty document handle for a document that is not well formed
  ///   (or not valid when validation is asked) or that cannot be read
  virtual HRESULT Parse(const QIRISAXInputSource_var& iSource, QIRIDOMDocument_var& oDocument,
                        const QIRListValQIRUnicodeString& iOptionNames,
                        const QIRListValQIRUnicodeString& iOptionValues,
                        const QIRISAXEntityResolver_var& iResolver,
                        const QIRISAXErrorHandler_var& iHandler) = 0;
  /// Reads a whole document from a file, as Parse does.
  /// \param iPath the file
  /// \param oDocument receives the document
  /// \param iOptionNames the option names
  /// \param iOptionValues their values, in step
  /// \param iResolver consulted for the definition, may be an empty handle
  /// \param iHandler told of each message, may be an empty handle
  /// \return S_OK; E_FAIL and an empty document handle as for Parse
  virtual HRESULT ParseFile(const QIRUnicodeString& iPath, QIRIDOMDocument_var& oDocument,
                            const QIRListValQIRUnicodeString& iOptionNames,
                            const QIRListValQIRUnicodeString& iOptionValues,
                            const QIRISAXEntityResolver_var& iResolver,
                            const QIRISAXErrorHandler_var& iHandler) = 0;
  /// \param oImplementation receives the factory of new documents
  /// \return S_OK or E_FAIL
  virtual HRESULT GetDOMImplementation(QIRIDOMImplementation_var& oImplementation) = 0;
  /// Serialises the document: an XML declaration, the document type when there is one,
  /// then the elements, indented.
  /// \param iDocument the document
  /// \param oText receives the text
  /// \param iOptionNames the option names
  /// \param iOptionValues their values, in step
  /// \return S_OK or E_FAIL
  virtual HRESULT WriteToString(const QIRIDOMDocument_var& iDocument, QIRUnicodeString& oText,
                                const QIRListValQIRUnicodeString& iOptionNames,
                                const QIRListValQIRUnicodeString& iOptionValues) = 0;
  /// Serialises the document as WriteToString does, into a file replaced all or nothing.
  /// \param iDocument the document
  /// \param iPath the file
  /// \param iOptionNames the option names
  /// \param iOptionValues their values, in step
  /// \return S_OK or E_FAIL
  virtual HRESULT WriteToFile(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iPath,
                              const QIRListValQIRUnicodeString& iOptionNames,
                              const QIRListValQIRUnicodeString& iOptionValues) = 0;
};

/// Makes the sources a parse reads.
class QIR_API QIRIXMLSAXFactory : public QIRBaseUnknown {
 public:
  /// \return the interface identifier
  static const IID& ClassIID() { return IID_QIRIXMLSAXFactory; }
  /// A source over text in memory, parsed as the Unicode text it holds.
  /// \param iText the text
  /// \param iIdentifier names the source in messages
  /// \param oSource receives the source
  /// \return S_OK or E_FAIL
  virtual HRESULT CreateInputSourceFromBuffer(const QIRUnicodeString& iText,
                                              const QIRUnicodeString& iIdentifier,
                                              QIRISAXInputSource_var& oSource) = 0;
  /// A source reading a file when the parse runs.
  /// \param iPath the file
  /// \param iEncoding unused; pass an empty string
  /// \param oSource receives the source
  /// \return S_OK or E_FAIL
  virtual HRESULT CreateInputSourceFromFile(const QIRUnicodeString& iPath,
                                            const QIRUnicodeString& iEncoding,
                                            QIRISAXInputSource_var& oSource) = 0;
};

/// Identifies an implementation class for the two creation functions.
struct QIRCLSID {
  const char* Name;  ///< The implementation's name.
};
/// The DOM builder of the platform.
extern QIR_API const QIRCLSID CLSID_QIRXMLDOMDocumentBuilder;
/// The SAX factory of the platform.
extern QIR_API const QIRCLSID CLSID_QIRXMLSAXFactory;

/// Makes a DOM builder.
/// \param oBuilder receives the new builder
/// \param iClassId CLSID_QIRXMLDOMDocumentBuilder
/// \return S_OK; E_FAIL and an empty handle for an unknown class identifier
QIR_API HRESULT CreateQIRIXMLDOMDocumentBuilder(QIRIXMLDOMDocumentBuilder_var& oBuilder,
                                                const QIRCLSID& iClassId);
/// Makes a SAX factory.
/// \param oFactory receives the new factory
/// \param iClassId CLSID_QIRXMLSAXFactory
/// \return S_OK; E_FAIL and an empty handle for an unknown class identifier
QIR_API HRESULT CreateQIRIXMLSAXFactory(QIRIXMLSAXFactory_var& oFactory, const QIRCLSID& iClassId);

#endif
