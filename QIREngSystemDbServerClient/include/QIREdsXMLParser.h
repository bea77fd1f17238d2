#ifndef QIREdsXMLParser_H
#define QIREdsXMLParser_H
/// \file
/// Job documents: "EDB_Job" elements under the root, each with its inputs, context inputs and
/// results as child elements, all data in attributes. A job is the first "EDB_Job" in document
/// order whose "EDB_Id" equals the identifier; a later job with the same identifier is never
/// found. Writing to an unknown job succeeds and changes nothing.
///
/// Writers take only what a reader loads back: every value must hold characters XML 1.0 can
/// carry (no control character but tab, line feed and carriage return, no U+FFFE or U+FFFF)
/// and at most QIREdsXMLParser::kLargestValue bytes of UTF-8, each "&" counting five (a loader
/// keeps it as a character reference); any other value gives E_INVALIDARG and nothing is
/// written. A generated text is at most 2^31 - 1 bytes (INT_MAX), the most the
/// loaders read; a larger document fails to generate (E_FAIL) rather than be written unreadable.

#include <memory>

#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"
#include "QIRXMLServices.h"
#include "QIREdsDomParser.h"

/// Threads: one thread at a time per object, even for the const readers, which keep a lookup
/// cache; a source parser handed to a copy operation is read, so it too must not be in use
/// elsewhere. Separate objects may be used on separate threads at once.
class QIR_API QIREdsXMLParser : public QIREdsDomParser {
 public:
  /// The longest value, in UTF-8 bytes, that a loader reads back from one attribute.
  static const int kLargestValue = 10000000;

  QIREdsXMLParser();
  ~QIREdsXMLParser() override;

  /// Writers. E_FAIL without a document (or, for AppendJobDefinition, without a root).
  HRESULT AppendJobDefinition(const QIRUnicodeString& iJobId, const QIRUnicodeString& iJobType,
                              const QIRUnicodeString& iJobInput);
  /// An empty value or type is left out of the element.
  HRESULT InsertJobInput(const QIRUnicodeString& iJobId, const QIRUnicodeString& iAttrName,
                         const QIRUnicodeString& iAttrValue, const QIRUnicodeString& iAttrType);
  HRESULT InsertJobContextInput(const QIRUnicodeString& iJobId,
                                const QIRUnicodeString& iAttrName,
                                const QIRUnicodeString& iAttrValue,
                                const QIRUnicodeString& iAttrType);
  /// All three attributes are written, even empty.
  HRESULT InsertJobOutput(const QIRUnicodeString& iJobId, const QIRUnicodeString& iAttrName,
                          const QIRUnicodeString& iAttrValue, const QIRUnicodeString& iAttrType);
  HRESULT InsertJobDeleteErrOutput(const QIRUnicodeString& iJobId,
                                   const QIRUnicodeString& iRefClassName,
                                   const QIRUnicodeString& iRefCstName,
                                   const QIRUnicodeString& iRefObject);
  /// One element per row, in order. E_FAIL and nothing added for an empty list.
  HRESULT InsertJobReportOutput(const QIRUnicodeString& iJobId,
                                const QIRListValQIRUnicodeString& iRows);
  /// The parameters (iErrorParams may be null) are joined with "@" between them.
  HRESULT InsertJobErrorMsg(const QIRUnicodeString& iJobId, const QIRUnicodeString& iErrorKey,
                            const QIRUnicodeString& iErrorFile,
                            const QIRListValQIRUnicodeString* iErrorParams);

  /// Lookups. The node list or element returned carries one reference that the caller
  /// releases. E_FAIL with the output null for a null output pointer or without a document.
  /// Every element named iTagName, in document order.
  HRESULT GetDOMElemByTagName(const QIRUnicodeString& iTagName,
                              QIRIDOMNodeList** oNodeList) const;
  /// The first element named iTagName whose attribute iAttrName equals iAttrValue; a success
  /// code with *oElement null when none does.
  HRESULT GetDOMElemByTagName(const QIRUnicodeString& iTagName, const QIRUnicodeString& iAttrName,
                              const QIRUnicodeString& iAttrValue,
                              QIRIDOMElement** oElement) const;
  /// The elements named iTagName at any depth under job iJobId; a success code with
  /// *oNodeList null for an unknown job.
  HRESULT GetNodeListUnderJobId(const QIRUnicodeString& iJobId, const QIRUnicodeString& iTagName,
                                QIRIDOMNodeList** oNodeList) const;
  /// The same, for "EDB_JobInData" when iTagName is empty.
  HRESULT GetJobInputNodeList(const QIRUnicodeString& iJobId, QIRIDOMNodeList** oNodeList,
                              const QIRUnicodeString& iTagName = QIRUnicodeString()) const;
  /// The same, for "EDB_JobOutData".
  HRESULT GetJobOutputNodeList(const QIRUnicodeString& iJobId,
                               QIRIDOMNodeList** oNodeList) const;

  /// Readers. Lists are appended to, never emptied first; lists read together stay in step.
  /// An unknown job gives a success code and appends nothing.
  HRESULT GetJobDefinition(QIRListValQIRUnicodeString& oIds, QIRListValQIRUnicodeString& oTypes,
                           QIRListValQIRUnicodeString& oInputs) const;
  /// E_FAIL, outputs untouched, unless the document holds exactly one job.
  HRESULT GetSingleJobDefinition(QIRUnicodeString& oId, QIRUnicodeString& oType,
                                 QIRUnicodeString& oInput) const;
  HRESULT GetJobInput(const QIRUnicodeString& iJobId, QIRListValQIRUnicodeString& oNames,
                      QIRListValQIRUnicodeString& oValues,
                      QIRListValQIRUnicodeString& oTypes) const;
  HRESULT GetJobContextInput(const QIRUnicodeString& iJobId, QIRListValQIRUnicodeString& oNames,
                             QIRListValQIRUnicodeString& oValues,
                             QIRListValQIRUnicodeString& oTypes) const;
  HRESULT GetJobOutput(const QIRUnicodeString& iJobId, QIRListValQIRUnicodeString& oNames,
                       QIRListValQIRUnicodeString& oValues,
                       QIRListValQIRUnicodeString& oTypes) const;
  HRESULT GetJobDeleteErrOutput(const QIRUnicodeString& iJobId,
                                QIRListValQIRUnicodeString& oClassNames,
                                QIRListValQIRUnicodeString& oCstNames,
                                QIRListValQIRUnicodeString& oObjects) const;
  HRESULT GetJobReportOutput(const QIRUnicodeString& iJobId,
                             QIRListValQIRUnicodeString& oRows) const;
  /// The job's first error; the parameters come back joined. E_FAIL for an unknown job or a
  /// job without error.
  HRESULT GetJobError(const QIRUnicodeString& iJobId, QIRUnicodeString& oKey,
                      QIRUnicodeString& oFile, QIRUnicodeString& oType,
                      QIRUnicodeString& oParm) const;

  /// Prints the document to standard output when "ECDBClientTraces" is defined.
  void DumpXML();
  /// Copy the only job of iSourceParser (only read) into the job of the same identifier here:
  /// its inputs, or its report rows then its outputs. The code of the last insert; E_FAIL when
  /// nothing was inserted.
  HRESULT InsertSingleJobInputFromParser(const QIREdsXMLParser* iSourceParser);
  HRESULT InsertSingleJobOutputFromParser(const QIREdsXMLParser* iSourceParser);

 private:
  friend class QIREdsDomParser;  // tells it when the document is replaced
  struct Attribute;
  struct JobIndex;
  HRESULT FindJob(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iJobId,
                  QIRIDOMElement_var& oJob) const;
  HRESULT RebuildJobIndex(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iJobId,
                          QIRIDOMElement_var& oJob) const;
  bool JobIndexIsCurrent(const QIRIDOMDocument_var& iDocument) const;
  void KeepJobIndexAfterOwnWrite(const QIRIDOMDocument_var& iDocument) const;
  /// Drops the index and the handles it holds, so that a replaced document goes at once.
  void ForgetJobIndex();
  HRESULT InsertJobPart(const QIRUnicodeString& iJobId, const QIRUnicodeString& iTagName,
                        const Attribute* iAttributes, int iAttributeCount);
  HRESULT ReadJobParts(const QIRUnicodeString& iJobId, const QIRUnicodeString& iTagName,
                       const QIRUnicodeString* iAttributeNames,
                       QIRListValQIRUnicodeString* const* oLists, int iListCount,
                       bool iEveryReadCounts) const;

  /// Identifier -> first job of that identifier, so that building or reading a document of many
  /// jobs stays linear.
  std::unique_ptr<JobIndex> _jobIndex;
};

#endif
