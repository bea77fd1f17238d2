#ifndef QIREdsDomParser_H
#define QIREdsDomParser_H
/// \file
/// One XML document held in memory, moved to and from a file, a UTF-8 octet sequence or a new
/// empty document. Every operation returns its code and lets no exception out.

#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRSequenceOctet.h"
#include "QIRUnicodeString.h"
#include "QIRXMLServices.h"

/// Threads: one thread at a time per object, const members included; separate objects may be
/// used on separate threads at once.
class QIR_API QIREdsDomParser {
 public:
  /// Creates the DOM builder; without one every load and write fails (the failure is logged).
  QIREdsDomParser();
  virtual ~QIREdsDomParser();

  /// A new document whose element iRootName (attribute "version" = iVersion) is the root.
  /// E_INVALIDARG for an empty name; S_OK and nothing changed without a builder.
  HRESULT Init(const QIRUnicodeString& iRootName, const QIRUnicodeString& iVersion);
  /// Parses the file (entity references expanded, validated when iValidate is non-zero) and
  /// takes its document element as root. A builder's failure code is passed through.
  HRESULT LoadFile(const QIRUnicodeString& iPath, unsigned char iValidate);
  /// Parses UTF-8 text held in memory. With iValidate non-zero and iDTDName given, the
  /// definition iDTDName is looked up along "QIRDictionaryPath". The root becomes the first
  /// child of the document, an empty handle when that is no element (a stream is expected to
  /// begin with its document element); E_FAIL, the root left as it was, when there is no child.
  /// E_INVALIDARG for a null stream, E_FAIL for an empty one or for bytes that are not UTF-8.
  HRESULT LoadStream(const _SEQUENCE_octet* iStream, unsigned char iValidate,
                     const char* iDTDName);
  /// Writes the document as UTF-8. E_FAIL without a document.
  HRESULT GenerateFile(const QIRUnicodeString& iPath);
  /// *oStream must be null on entry (E_INVALIDARG otherwise, *oStream untouched); receives a
  /// new sequence of the document's UTF-8 text that the caller deletes. E_OUTOFMEMORY when the
  /// sequence cannot be allocated.
  HRESULT GenerateStream(_SEQUENCE_octet** oStream);
  /// Serialises the document and discards the text: tells whether it can be written.
  HRESULT dump();

  /// New handles on the members; an empty handle (and a logged message) when there is none.
  QIRIDOMDocument_var GetDocument() const;
  QIRIDOMNode_var GetRoot() const;
  QIRIXMLDOMDocumentBuilder_var GetDOMDocumentBuilder() const;

  /// Takes the document's first element child as root, skipping comments, processing
  /// instructions and the document type. E_FAIL (root unchanged) when there is none.
  HRESULT SetAppropriateRoot();

  /// Writes into oPath (a buffer of 256 bytes) the full path of iFileName found along the path
  /// variable iVarName, or iFileName itself when it is not found there: S_OK either way.
  /// E_FAIL, with oPath empty when given, for a null argument or an error during the search.
  HRESULT GetResourcePathFromEnvVar(const char* iFileName, const char* iVarName, char* oPath);

 protected:
  QIRIDOMDocument_var _spQIRIDOMdocument;
  QIRIDOMElement_var _spQIRIDOMroot;
  QIRIXMLDOMDocumentBuilder_var _spDOMDocumentBuilder;
};

#endif
