#ifndef QIREdsDomParser_H
#define QIREdsDomParser_H
/// \file
/// One XML document held in memory, moved to and from a file, a UTF-8 octet sequence or a new
/// empty document. Every operation returns its code and lets no exception out.
///
/// Loads read texts of up to 2^31 - 1 bytes (INT_MAX) and accept what libxml2 accepts, within
/// its limits: 10,000,000 bytes a value or text as libxml2 holds it, 257 levels of elements,
/// bounded entity expansion. A file in an encoding other than UTF-8 is also held to libxml2's
/// lookahead limit, which refuses some texts over 10,000,000 bytes ("Huge input lookup"); UTF-8
/// text is not.

#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRSequenceOctet.h"
#include "QIRUnicodeString.h"
#include "QIRXMLServices.h"

/// An XML document in memory.
///
/// Threads: one thread at a time per object, const members included; separate objects may be
/// used on separate threads at once.
class QIR_API QIREdsDomParser {
 public:
  /// Creates the DOM builder; without one every load and write fails (the failure is logged).
  QIREdsDomParser();
  virtual ~QIREdsDomParser();

  /// Replaces the document with a new one whose root is an element iRootName.
  /// \param iRootName the root's name
  /// \param iVersion the root's "version" attribute
  /// \return S_OK (also without a builder, nothing then changed); E_INVALIDARG for an empty
  ///   name; E_FAIL when the platform fails
  HRESULT Init(const QIRUnicodeString& iRootName, const QIRUnicodeString& iVersion);
  /// Parses the file (entity references expanded, validated when iValidate is non-zero) and
  /// takes its document element as root.
  /// \param iPath the file
  /// \param iValidate non-zero to validate against the document's definition
  /// \return S_OK; E_FAIL without a builder; a builder's failure code is passed through
  HRESULT LoadFile(const QIRUnicodeString& iPath, unsigned char iValidate);
  /// Parses UTF-8 text held in memory. With iValidate non-zero and iDTDName given, the
  /// definition iDTDName is looked up along "QIRDictionaryPath". The root becomes the first
  /// child of the document, an empty handle when that is no element (a stream is expected to
  /// begin with its document element); E_FAIL, the root left as it was, when there is no child.
  /// \param iStream the text
  /// \param iValidate non-zero to validate
  /// \param iDTDName the definition's name, looked up when validating; may be null
  /// \return S_OK; E_INVALIDARG for a null stream; E_FAIL for an empty one, for bytes that
  ///   are not UTF-8, for a document that does not parse, or when there is no child
  HRESULT LoadStream(const _SEQUENCE_octet* iStream, unsigned char iValidate, const char* iDTDName);
  /// Writes the document as UTF-8, replacing the file all or nothing.
  /// \param iPath the file
  /// \return S_OK; E_FAIL without a document or when the file cannot be written
  HRESULT GenerateFile(const QIRUnicodeString& iPath);
  /// Writes the document as UTF-8 into memory.
  /// \param oStream must point to null on entry; receives a new sequence of the document's
  ///   text that the caller deletes
  /// \return S_OK; E_INVALIDARG for a null oStream or a *oStream not null (left untouched);
  ///   E_OUTOFMEMORY when the sequence cannot be allocated; E_FAIL without a document or when
  ///   the platform fails
  HRESULT GenerateStream(_SEQUENCE_octet** oStream);
  /// Serialises the document and discards the text: tells whether it can be written.
  /// \return S_OK; E_FAIL without a document or when it cannot be serialised
  HRESULT dump();

  // New handles on the members; an empty handle (and a logged message) when there is none.
  /// \return a new handle on the document; empty (and a logged message) when there is none
  QIRIDOMDocument_var GetDocument() const;
  /// \return a new handle on the root; empty (and a logged message) when there is none
  QIRIDOMNode_var GetRoot() const;
  /// \return a new handle on the builder; empty (and a logged message) when there is none
  QIRIXMLDOMDocumentBuilder_var GetDOMDocumentBuilder() const;

  /// Takes the document's first element child as root, skipping comments, processing
  /// instructions and the document type.
  /// \return S_OK; E_FAIL (root unchanged) when there is none
  HRESULT SetAppropriateRoot();

  /// Writes into oPath (a buffer of 256 bytes) the full path of iFileName found along the path
  /// variable iVarName, or iFileName itself when it is not found there: S_OK either way.
  /// \param iFileName the file's name
  /// \param iVarName the path variable's name
  /// \param oPath a buffer of 256 bytes
  /// \return S_OK, found or not; E_FAIL, with oPath empty when given, for a null argument or
  ///   an error during the search
  HRESULT GetResourcePathFromEnvVar(const char* iFileName, const char* iVarName, char* oPath);

 protected:
  QIRIDOMDocument_var _spQIRIDOMdocument;               ///< The document, empty before a load.
  QIRIDOMElement_var _spQIRIDOMroot;                    ///< Its root element.
  QIRIXMLDOMDocumentBuilder_var _spDOMDocumentBuilder;  ///< The builder that loads and writes.
};

#endif
