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
/// written. They take any number of values. A generated text is at most 2^31 - 1 bytes
/// (INT_MAX), the most the loaders read; a larger document fails to generate (E_FAIL) rather
/// than be written unreadable. Whatever is written loads back whole, through LoadStream and
/// LoadFile, also validated when the document names a definition that it satisfies.

#include "QIRCodes.h"
#include "QIREdsDomParser.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"
#include "QIRXMLServices.h"

#include <memory>

/// A job document.
///
/// Threads: one thread at a time per object, even for the const readers, which keep a lookup
/// cache; a source parser handed to a copy operation is read, so it too must not be in use
/// elsewhere. Separate objects may be used on separate threads at once.
class QIR_API QIREdsXMLParser : public QIREdsDomParser {
 public:
  /// The longest value, in UTF-8 bytes, that a loader reads back from one attribute.
  static const int kLargestValue = 10000000;

  /// An empty parser, without document until Init or a load.
  QIREdsXMLParser();
  ~QIREdsXMLParser() override;

  // Writers. E_FAIL without a document (or, for AppendJobDefinition, without a root).
  /// Appends a job under the root.
  /// \param iJobId the job's identifier
  /// \param iJobType its type
  /// \param iJobInput its input text
  /// \return S_OK; E_INVALIDARG, nothing written, for a value a loader could not read back;
  ///   E_FAIL without a document or a root, or when the platform fails
  HRESULT AppendJobDefinition(const QIRUnicodeString& iJobId, const QIRUnicodeString& iJobType,
                              const QIRUnicodeString& iJobInput);
  /// Adds an input to the job. An empty value or type is left out of the element.
  /// \param iJobId the job's identifier
  /// \param iAttrName the input's name
  /// \param iAttrValue its value
  /// \param iAttrType its type
  /// \return S_OK (also for an unknown job, nothing written); E_INVALIDARG, nothing written,
  ///   for a value a loader could not read back; E_FAIL without a document or when the
  ///   platform fails
  HRESULT InsertJobInput(const QIRUnicodeString& iJobId, const QIRUnicodeString& iAttrName,
                         const QIRUnicodeString& iAttrValue, const QIRUnicodeString& iAttrType);
  /// Adds a context input to the job. An empty value or type is left out of the element.
  /// \param iJobId the job's identifier
  /// \param iAttrName the input's name
  /// \param iAttrValue its value
  /// \param iAttrType its type
  /// \return S_OK (also for an unknown job, nothing written); E_INVALIDARG, nothing written,
  ///   for a value a loader could not read back; E_FAIL without a document or when the
  ///   platform fails
  HRESULT InsertJobContextInput(const QIRUnicodeString& iJobId, const QIRUnicodeString& iAttrName,
                                const QIRUnicodeString& iAttrValue,
                                const QIRUnicodeString& iAttrType);
  /// Adds an output to the job. All three attributes are written, even empty.
  /// \param iJobId the job's identifier
  /// \param iAttrName the output's name
  /// \param iAttrValue its value
  /// \param iAttrType its type
  /// \return S_OK (also for an unknown job, nothing written); E_INVALIDARG, nothing written,
  ///   for a value a loader could not read back; E_FAIL without a document or when the
  ///   platform fails
  HRESULT InsertJobOutput(const QIRUnicodeString& iJobId, const QIRUnicodeString& iAttrName,
                          const QIRUnicodeString& iAttrValue, const QIRUnicodeString& iAttrType);
  /// Adds a delete-error reference to the job.
  /// \param iJobId the job's identifier
  /// \param iRefClassName the referencing class
  /// \param iRefCstName the constraint
  /// \param iRefObject the referencing object
  /// \return S_OK (also for an unknown job, nothing written); E_INVALIDARG, nothing written,
  ///   for a value a loader could not read back; E_FAIL without a document or when the
  ///   platform fails
  HRESULT InsertJobDeleteErrOutput(const QIRUnicodeString& iJobId,
                                   const QIRUnicodeString& iRefClassName,
                                   const QIRUnicodeString& iRefCstName,
                                   const QIRUnicodeString& iRefObject);
  /// Adds report rows to the job, one element per row, in order.
  /// \param iJobId the job's identifier
  /// \param iRows the rows
  /// \return S_OK (also for an unknown job, nothing written); E_INVALIDARG, nothing written,
  ///   for a row a loader could not read back; E_FAIL, nothing added, for an empty list,
  ///   without a document or when the platform fails
  HRESULT InsertJobReportOutput(const QIRUnicodeString& iJobId,
                                const QIRListValQIRUnicodeString& iRows);
  /// Adds an error to the job; the parameters are joined with "@" between them.
  /// \param iJobId the job's identifier
  /// \param iErrorKey the error's key
  /// \param iErrorFile the message file
  /// \param iErrorParams the parameters, may be null
  /// \return S_OK (also for an unknown job, nothing written); E_INVALIDARG, nothing written,
  ///   for a value a loader could not read back; E_FAIL without a document or when the
  ///   platform fails
  HRESULT InsertJobErrorMsg(const QIRUnicodeString& iJobId, const QIRUnicodeString& iErrorKey,
                            const QIRUnicodeString& iErrorFile,
                            const QIRListValQIRUnicodeString* iErrorParams);

  // Lookups. The node list or element returned carries one reference that the caller
  // releases. E_FAIL with the output null for a null output pointer or without a document.
  /// \param iTagName the tag looked for
  /// \param oNodeList receives every element named iTagName, in document order
  /// \return S_OK; E_FAIL, the output null, for a null output pointer, without a document or
  ///   when the platform fails
  HRESULT GetDOMElemByTagName(const QIRUnicodeString& iTagName, QIRIDOMNodeList** oNodeList) const;
  /// \param iTagName the tag looked for
  /// \param iAttrName the attribute compared
  /// \param iAttrValue the value it must have
  /// \param oElement receives the first element named iTagName whose attribute iAttrName
  ///   equals iAttrValue, null when none does
  /// \return S_OK (also when none matches); E_FAIL, the output null, for a null output
  ///   pointer, without a document or when the platform fails
  HRESULT GetDOMElemByTagName(const QIRUnicodeString& iTagName, const QIRUnicodeString& iAttrName,
                              const QIRUnicodeString& iAttrValue, QIRIDOMElement** oElement) const;
  /// \param iJobId the job's identifier
  /// \param iTagName the tag looked for
  /// \param oNodeList receives the elements named iTagName at any depth under the job; null
  ///   for an unknown job
  /// \return S_OK (also for an unknown job); E_FAIL, the output null, for a null output
  ///   pointer, without a document or when the platform fails
  HRESULT GetNodeListUnderJobId(const QIRUnicodeString& iJobId, const QIRUnicodeString& iTagName,
                                QIRIDOMNodeList** oNodeList) const;
  /// As GetNodeListUnderJobId, for "EDB_JobInData" when iTagName is empty.
  /// \param iJobId the job's identifier
  /// \param oNodeList receives the elements
  /// \param iTagName the tag looked for, "EDB_JobInData" when empty
  /// \return as GetNodeListUnderJobId
  HRESULT GetJobInputNodeList(const QIRUnicodeString& iJobId, QIRIDOMNodeList** oNodeList,
                              const QIRUnicodeString& iTagName = QIRUnicodeString()) const;
  /// As GetNodeListUnderJobId, for "EDB_JobOutData".
  /// \param iJobId the job's identifier
  /// \param oNodeList receives the elements
  /// \return as GetNodeListUnderJobId
  HRESULT GetJobOutputNodeList(const QIRUnicodeString& iJobId, QIRIDOMNodeList** oNodeList) const;

  // Readers. Lists are appended to, never emptied first; lists read together stay in step.
  // An unknown job gives a success code and appends nothing.
  /// Every job's definition, in document order.
  /// \param oIds receives the identifiers
  /// \param oTypes receives the types
  /// \param oInputs receives the input texts
  /// \return S_OK; E_FAIL without a document or when the platform fails
  HRESULT GetJobDefinition(QIRListValQIRUnicodeString& oIds, QIRListValQIRUnicodeString& oTypes,
                           QIRListValQIRUnicodeString& oInputs) const;
  /// The definition of the document's only job.
  /// \param oId receives its identifier
  /// \param oType receives its type
  /// \param oInput receives its input text
  /// \return S_OK; E_FAIL, outputs untouched, unless the document holds exactly one job
  HRESULT GetSingleJobDefinition(QIRUnicodeString& oId, QIRUnicodeString& oType,
                                 QIRUnicodeString& oInput) const;
  /// The job's inputs.
  /// \param iJobId the job's identifier
  /// \param oNames receives the attributes' names
  /// \param oValues receives their values
  /// \param oTypes receives their types
  /// \return S_OK (also for an unknown job); E_FAIL without a document or when the platform
  ///   fails
  HRESULT GetJobInput(const QIRUnicodeString& iJobId, QIRListValQIRUnicodeString& oNames,
                      QIRListValQIRUnicodeString& oValues,
                      QIRListValQIRUnicodeString& oTypes) const;
  /// The job's context inputs.
  /// \param iJobId the job's identifier
  /// \param oNames receives the attributes' names
  /// \param oValues receives their values
  /// \param oTypes receives their types
  /// \return S_OK (also for an unknown job); E_FAIL without a document or when the platform
  ///   fails
  HRESULT GetJobContextInput(const QIRUnicodeString& iJobId, QIRListValQIRUnicodeString& oNames,
                             QIRListValQIRUnicodeString& oValues,
                             QIRListValQIRUnicodeString& oTypes) const;
  /// The job's outputs.
  /// \param iJobId the job's identifier
  /// \param oNames receives the attributes' names
  /// \param oValues receives their values
  /// \param oTypes receives their types
  /// \return S_OK (also for an unknown job); E_FAIL without a document or when the platform
  ///   fails
  HRESULT GetJobOutput(const QIRUnicodeString& iJobId, QIRListValQIRUnicodeString& oNames,
                       QIRListValQIRUnicodeString& oValues,
                       QIRListValQIRUnicodeString& oTypes) const;
  /// The job's delete-error references.
  /// \param iJobId the job's identifier
  /// \param oClassNames receives the referencing classes
  /// \param oCstNames receives the constraints
  /// \param oObjects receives the referencing objects
  /// \return S_OK (also for an unknown job); E_FAIL without a document or when the platform
  ///   fails
  HRESULT GetJobDeleteErrOutput(const QIRUnicodeString& iJobId,
                                QIRListValQIRUnicodeString& oClassNames,
                                QIRListValQIRUnicodeString& oCstNames,
                                QIRListValQIRUnicodeString& oObjects) const;
  /// The job's report rows, in order.
  /// \param iJobId the job's identifier
  /// \param oRows receives the rows
  /// \return S_OK (also for an unknown job); E_FAIL without a document or when the platform
  ///   fails
  HRESULT GetJobReportOutput(const QIRUnicodeString& iJobId,
                             QIRListValQIRUnicodeString& oRows) const;
  /// The job's first error.
  /// \param iJobId the job's identifier
  /// \param oKey receives its key
  /// \param oFile receives its message file
  /// \param oType receives its type
  /// \param oParm receives its parameters, joined with "@"
  /// \return S_OK; E_FAIL for an unknown job, a job without error, or without a document
  HRESULT GetJobError(const QIRUnicodeString& iJobId, QIRUnicodeString& oKey,
                      QIRUnicodeString& oFile, QIRUnicodeString& oType,
                      QIRUnicodeString& oParm) const;

  /// Prints the document to standard output when "ECDBClientTraces" is defined.
  void DumpXML();
  /// Copies the only job of iSourceParser (only read) into the job of the same identifier here:
  /// its inputs, or its report rows then its outputs. The code of the last insert; E_FAIL when
  /// nothing was inserted.
  /// \param iSourceParser the parser copied from
  /// \return the code of the last insert; E_FAIL when nothing was inserted
  HRESULT InsertSingleJobInputFromParser(const QIREdsXMLParser* iSourceParser);
  /// Copies the report rows then the outputs, as InsertSingleJobInputFromParser does.
  /// \param iSourceParser the parser copied from
  /// \return the code of the last insert; E_FAIL when nothing was inserted
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
