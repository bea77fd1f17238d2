#include "QIREdsXMLParser.h"

#include "QIREdsGuard.h"
#include "QIREdsJobElements.h"
#include "QIRError.h"
#include "QIRFileServices.h"
#include "QIRXMLDirect.h"
#include "QIRXMLElementList.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Trusted only while the document is the one indexed and its modification count is the one
// our own writes left.
struct QIREdsXMLParser::JobIndex {
  // The first job of each identifier, in the document order of the jobs.
  struct Job {
    std::string Id;
    QIRIDOMElement_var Element;
  };
  std::vector<Job> FirstJobs;
  // Open addressing over FirstJobs, at most half full: a slot holds the upper half of the
  // identifier's hash and its job's place in FirstJobs plus one (0: free). One look at the table
  // finds most entries, where a map of nodes costs a bucket and a node, two cache misses in a
  // large document.
  std::vector<std::uint64_t> Slots;
  static const std::uint64_t kTagBits = 0xFFFFFFFF00000000ULL;
  static const std::size_t kNone = static_cast<std::size_t>(-1);
  // Found last: a writer or reader asks for one job many times in a row, and mostly takes the
  // jobs in document order, so the next one is tried before the table.
  std::size_t Last = kNone;
  QIRIDOMDocument_var Document;
  unsigned long ModificationCount = 0;
  bool Valid = false;

  static std::uint64_t HashOf(std::string_view iId)
  {
    return static_cast<std::uint64_t>(std::hash<std::string_view>()(iId));
  }

  // The slot that holds iId, or the free one where it would go; the table is not empty.
  std::size_t SlotOf(std::string_view iId, std::uint64_t iHash) const
  {
    const std::size_t mask = Slots.size() - 1;
    const std::uint64_t tag = iHash & kTagBits;
    for (std::size_t at = static_cast<std::size_t>(iHash) & mask;; at = (at + 1) & mask) {
      const std::uint64_t slot = Slots[at];
      if (slot == 0) return at;
      if ((slot & kTagBits) == tag && FirstJobs[(slot & ~kTagBits) - 1].Id == iId) return at;
    }
  }

  // Room in the table for iCount jobs.
  void Reserve(std::size_t iCount)
  {
    std::size_t size = 16;
    while (size < 2 * iCount) size *= 2;
    if (size <= Slots.size()) return;
    std::vector<std::uint64_t> slots(size, 0);
    Slots.swap(slots);
    for (std::size_t job = 0; job < FirstJobs.size(); ++job) {
      const std::uint64_t hash = HashOf(FirstJobs[job].Id);
      Slots[SlotOf(FirstJobs[job].Id, hash)] = (hash & kTagBits) | (job + 1);
    }
  }

  void ClearJobs()
  {
    std::vector<Job>().swap(FirstJobs);
    std::vector<std::uint64_t>().swap(Slots);
    Last = kNone;
  }

  // Adds the job unless its identifier is taken (the first one wins); true when added.
  bool Add(const QIRUnicodeString& iId, const QIRIDOMElement_var& iJob)
  {
    const std::string_view id(iId.ConvertToChar(), static_cast<std::size_t>(iId.GetLengthInByte()));
    Reserve(FirstJobs.size() + 1);
    const std::uint64_t hash = HashOf(id);
    const std::size_t at = SlotOf(id, hash);
    if (Slots[at] != 0) return false;
    FirstJobs.push_back(Job{std::string(id), iJob});  // nothing is changed when it throws
    Slots[at] = (hash & kTagBits) | FirstJobs.size();
    return true;
  }

  // The first job of identifier iId; null when none. Valid until the next Add.
  const QIRIDOMElement_var* Find(const QIRUnicodeString& iId)
  {
    const std::string_view id(iId.ConvertToChar(), static_cast<std::size_t>(iId.GetLengthInByte()));
    if (Last != kNone && FirstJobs[Last].Id == id) return &FirstJobs[Last].Element;
    const std::size_t next = Last == kNone ? 0 : Last + 1;
    if (next < FirstJobs.size() && FirstJobs[next].Id == id) {
      Last = next;
      return &FirstJobs[Last].Element;
    }
    if (Slots.empty()) return nullptr;
    const std::uint64_t slot = Slots[SlotOf(id, HashOf(id))];
    if (slot == 0) return nullptr;
    Last = static_cast<std::size_t>(slot & ~kTagBits) - 1;
    return &FirstJobs[Last].Element;
  }

  // Elements gathered below a root once and answered from while the document is as it was
  // then; the list's root handle is kept alive by it, so no other handle takes its address.
  struct Kept {
    QIRXMLDirect::ElementList List;
    QIRIDOMDocument_var Document;
    unsigned long ModificationCount = 0;

    // As iRoot->GetElementsByTagName(iTag), picked from the elements named iGathered below
    // iRoot ("*" for all of them), gathered again when the root or the document changed.
    HRESULT Select(const QIRIDOMDocument_var& iDocument, QIRIDOMNode* iRoot,
                   const QIRUnicodeString& iGathered, const QIRUnicodeString& iTag,
                   QIRXMLDirect::ElementList& oFound)
    {
      if (List.Root().get() != iRoot || Document.get() != iDocument.get() ||
          ModificationCount != iDocument->GetModificationCount()) {
        const QIRIDOMNode_var root(iRoot);
        Document = NULL_var;
        if (FAILED(List.Gather(root, iGathered))) return oFound.Collect(root, iTag);
        Document = iDocument;
        ModificationCount = iDocument->GetModificationCount();
      }
      return oFound.Select(List, iTag);
    }

    void Clear()
    {
      List.Clear();
      Document = NULL_var;
    }
  };
  // Every element below the job read last: the readers of one job's parts, called in turn,
  // walk its subtree once.
  Kept Parts;
  // The job elements of the document: listing the jobs and indexing them walk the whole
  // document, the one after the other.
  Kept Jobs;
};

struct QIREdsXMLParser::Attribute {
  const QIRUnicodeString* Name;
  const QIRUnicodeString* Value;  // null: left out of the element
};

namespace {

using QIREdsJobElements::FirstByAttribute;
using QIREdsJobElements::ReadEachElement;
using QIREdsJobElements::RootIsDocumentElement;

// The job element and the parts with three attributes, each named once so that its writer and
// its reader agree, and made a string once rather than at every call.
struct PartNames {
  QIRUnicodeString Tag;
  QIRUnicodeString Attributes[3];
};
const PartNames kJob = {"EDB_Job", {"EDB_Id", "EDB_Type", "EDB_JobInput"}};
const PartNames kInputPart = {"EDB_JobInData",
                              {"EDB_iAttrName", "EDB_iAttrValue", "EDB_iAttrType"}};
const PartNames kContextPart = {
    "EDB_JobContextInData", {"EDB_Ctxt_iAttrName", "EDB_Ctxt_iAttrValue", "EDB_Ctxt_iAttrType"}};
const PartNames kOutputPart = {"EDB_JobOutData",
                               {"EDB_oAttrName", "EDB_oAttrValue", "EDB_oAttrType"}};
const PartNames kDeleteErrPart = {"EDB_JobDeleteErrOutData",
                                  {"EDB_oRefClassName", "EDB_oRefCstName", "EDB_oRefObject"}};
const PartNames kErrorPart = {"EDB_JobError",
                              {"EDB_JobErrorKey", "EDB_JobErrorFile", "EDB_JobErrorParm"}};
const PartNames kReportPart = {"EDB_JobReportOutData", {"EDB_JobReportOneRow"}};
const int kMostAttributes = 3;
const QIRUnicodeString kEveryElement = "*";

// Inputs leave an empty value or type out of the element rather than write it empty.
const QIRUnicodeString* UnlessEmpty(const QIRUnicodeString& iValue)
{
  return iValue.IsNull() ? nullptr : &iValue;
}

// Whether a loader reads the value back as it is: only characters XML 1.0 carries, and no
// longer than one attribute may be.
bool CanCarry(const QIRUnicodeString& iValue)
{
  const int size = iValue.GetLengthInByte();
  if (size > QIREdsXMLParser::kLargestValue) return false;
  // A loader that keeps references holds each "&" as "&#38;": it counts five.
  long held = size;
  // The string holds valid UTF-8: each sequence is decoded on trust.
  const unsigned char* text = reinterpret_cast<const unsigned char*>(iValue.ConvertToChar());
  int at = 0;
  // Where even a text of "&" fits, printable ASCII needs no look byte by byte.
  if (size <= QIREdsXMLParser::kLargestValue / 5)
    while (at + 8 <= size && QIRXMLDirect::IsPrintableAscii(text + at)) at += 8;
  while (at < size) {
    const unsigned char lead = text[at];
    if (lead >= 0x20 && lead < 0x80) {
      if (lead == '&' && (held += 4) > QIREdsXMLParser::kLargestValue) return false;
      ++at;
      continue;
    }
    if (lead < 0x20) {
      if (lead != '\t' && lead != '\n' && lead != '\r') return false;
      ++at;
      continue;
    }
    const int length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length == 3 && at + 2 < size) {
      // U+FFFE and U+FFFF (EF BF BE, EF BF BF); surrogates never reach a valid string.
      if (lead == 0xEF && text[at + 1] == 0xBF && text[at + 2] >= 0xBE) return false;
    }
    at += length;
  }
  return true;
}

bool CanCarryAll(const QIRUnicodeString* const* iValues, int iCount)
{
  for (int i = 0; i < iCount; ++i)
    if (iValues[i] && !CanCarry(*iValues[i])) return false;
  return true;
}

int SmallestSize(const QIRListValQIRUnicodeString& iA, const QIRListValQIRUnicodeString& iB,
                 const QIRListValQIRUnicodeString& iC)
{
  return std::min(iA.Size(), std::min(iB.Size(), iC.Size()));
}
}  // namespace

QIREdsXMLParser::QIREdsXMLParser() : _jobIndex(new JobIndex) {}

QIREdsXMLParser::~QIREdsXMLParser() = default;

bool QIREdsXMLParser::JobIndexIsCurrent(const QIRIDOMDocument_var& iDocument) const
{
  return _jobIndex->Valid && _jobIndex->Document.get() == iDocument.get() &&
         iDocument->GetModificationCount() == _jobIndex->ModificationCount;
}

void QIREdsXMLParser::KeepJobIndexAfterOwnWrite(const QIRIDOMDocument_var& iDocument) const
{
  if (_jobIndex->Valid && _jobIndex->Document.get() == iDocument.get())
    _jobIndex->ModificationCount = iDocument->GetModificationCount();
}

void QIREdsXMLParser::ForgetJobIndex()
{
  _jobIndex->ClearJobs();
  _jobIndex->Document = NULL_var;
  _jobIndex->Valid = false;
  _jobIndex->Parts.Clear();
  _jobIndex->Jobs.Clear();
}

HRESULT QIREdsXMLParser::RebuildJobIndex(const QIRIDOMDocument_var& iDocument,
                                         const QIRUnicodeString& iJobId,
                                         QIRIDOMElement_var& oJob) const
{
  JobIndex& index = *_jobIndex;
  index.ClearJobs();
  index.Valid = false;
  index.Document = iDocument;
  QIRXMLDirect::ElementList jobs;
  HRESULT hr = index.Jobs.Select(iDocument, iDocument.get(), kJob.Tag, kJob.Tag, jobs);
  if (FAILED(hr)) return hr;
  const unsigned int length = jobs.Length();
  index.FirstJobs.reserve(length);
  index.Reserve(length);
  // The whole list is read to fill the index; the answer is the one a scan stopping at the
  // first match would give.
  bool complete = true;
  QIRIDOMElement_var found;
  for (unsigned int i = 0; i < length; ++i) {
    QIRIDOMElement_var job;
    QIRUnicodeString id;
    hr = jobs.Item(i, job);
    if (SUCCEEDED(hr)) hr = jobs.GetAttribute(i, kJob.Attributes[0], id);
    if (FAILED(hr) || job == NULL_var) complete = false;
    if (job == NULL_var) continue;
    if (found == NULL_var && id == iJobId) found = job;
    if (SUCCEEDED(hr)) index.Add(id, job);  // never replaces: first one wins
  }
  if (complete) {
    index.Valid = true;
    index.ModificationCount = iDocument->GetModificationCount();
  } else {
    index.ClearJobs();
  }
  if (found == NULL_var) return hr;
  oJob = found;
  return S_OK;
}

HRESULT QIREdsXMLParser::FindJob(const QIRIDOMDocument_var& iDocument,
                                 const QIRUnicodeString& iJobId, QIRIDOMElement_var& oJob) const
{
  if (!JobIndexIsCurrent(iDocument)) return RebuildJobIndex(iDocument, iJobId, oJob);
  if (const QIRIDOMElement_var* job = _jobIndex->Find(iJobId)) oJob = *job;
  return S_OK;
}

HRESULT QIREdsXMLParser::GetDOMElemByTagName(const QIRUnicodeString& iTagName,
                                             QIRIDOMNodeList** oNodeList) const
{
  HRESULT hr = E_FAIL;
  if (!oNodeList) return hr;
  *oNodeList = nullptr;
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  if (document == NULL_var) return hr;
  return QIRGuarded([&] {
    QIRIDOMNodeList_var list;
    hr = document->GetElementsByTagName(iTagName, list);
    if (SUCCEEDED(hr)) *oNodeList = list.Detach();
    return hr;
  });
}

HRESULT QIREdsXMLParser::GetDOMElemByTagName(const QIRUnicodeString& iTagName,
                                             const QIRUnicodeString& iAttrName,
                                             const QIRUnicodeString& iAttrValue,
                                             QIRIDOMElement** oElement) const
{
  HRESULT hr = E_FAIL;
  if (!oElement) return hr;
  *oElement = nullptr;
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  if (document == NULL_var) return hr;
  return QIRGuarded([&] {
    QIRIDOMElement_var element;
    if (iTagName == kJob.Tag && iAttrName == kJob.Attributes[0])
      hr = FindJob(document, iAttrValue, element);
    else
      hr = FirstByAttribute(document, iTagName, iAttrName, iAttrValue, element);
    if (SUCCEEDED(hr)) *oElement = element.Detach();
    return hr;
  });
}

HRESULT QIREdsXMLParser::GetNodeListUnderJobId(const QIRUnicodeString& iJobId,
                                               const QIRUnicodeString& iTagName,
                                               QIRIDOMNodeList** oNodeList) const
{
  HRESULT hr = E_FAIL;
  if (!oNodeList) return hr;
  *oNodeList = nullptr;
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  if (document == NULL_var) return hr;
  QIRGuardedVoid([&] {
    QIRIDOMElement_var job;
    hr = FindJob(document, iJobId, job);
    if (FAILED(hr) || job == NULL_var) return;
    QIRIDOMNodeList_var list;
    hr = job->GetElementsByTagName(iTagName, list);
    if (SUCCEEDED(hr)) *oNodeList = list.Detach();
  });
  return hr;  // after an error, the code of the last step completed
}

HRESULT QIREdsXMLParser::GetJobInputNodeList(const QIRUnicodeString& iJobId,
                                             QIRIDOMNodeList** oNodeList,
                                             const QIRUnicodeString& iTagName) const
{
  return GetNodeListUnderJobId(iJobId, iTagName.IsNull() ? kInputPart.Tag : iTagName, oNodeList);
}

HRESULT QIREdsXMLParser::GetJobOutputNodeList(const QIRUnicodeString& iJobId,
                                              QIRIDOMNodeList** oNodeList) const
{
  return GetNodeListUnderJobId(iJobId, kOutputPart.Tag, oNodeList);
}

HRESULT QIREdsXMLParser::AppendJobDefinition(const QIRUnicodeString& iJobId,
                                             const QIRUnicodeString& iJobType,
                                             const QIRUnicodeString& iJobInput)
{
  HRESULT hr = E_FAIL;
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  QIRIDOMNode_var root = GetRoot();
  if (document == NULL_var || root == NULL_var) return hr;
  const QIRUnicodeString* const values[] = {&iJobId, &iJobType, &iJobInput};
  if (!CanCarryAll(values, 3)) return E_INVALIDARG;
  return QIRGuarded([&] {
    const bool indexCurrent = JobIndexIsCurrent(document);
    QIRIDOMElement_var job;
    hr = document->CreateElement(kJob.Tag, job);
    if (FAILED(hr)) return hr;
    if (job == NULL_var) return E_FAIL;
    hr = job->SetAttribute(kJob.Attributes[0], iJobId);
    if (SUCCEEDED(hr)) hr = job->SetAttribute(kJob.Attributes[1], iJobType);
    if (SUCCEEDED(hr)) hr = job->SetAttribute(kJob.Attributes[2], iJobInput);
    const bool complete = SUCCEEDED(hr);
    hr = root->AppendChild(QIRIDOMNode_var(job.get()));
    // A whole job appended under the document element comes last in document order, so the
    // index takes it without a rebuild (unless its identifier is already taken).
    if (indexCurrent && complete && SUCCEEDED(hr) && RootIsDocumentElement(document, root)) {
      _jobIndex->Add(iJobId, job);
      KeepJobIndexAfterOwnWrite(document);
    } else {
      _jobIndex->Valid = false;
    }
    return hr;
  });
}

HRESULT QIREdsXMLParser::InsertJobPart(const QIRUnicodeString& iJobId,
                                       const QIRUnicodeString& iTagName,
                                       const Attribute* iAttributes, int iAttributeCount)
{
  HRESULT hr = E_FAIL;
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  if (document == NULL_var) return hr;
  if (iAttributeCount > kMostAttributes) return E_INVALIDARG;
  for (int i = 0; i < iAttributeCount; ++i)
    if (iAttributes[i].Value && !CanCarry(*iAttributes[i].Value)) return E_INVALIDARG;
  return QIRGuarded([&] {
    QIRIDOMElement_var job;
    hr = FindJob(document, iJobId, job);
    if (FAILED(hr) || job == NULL_var) return hr;
    const QIRUnicodeString* names[kMostAttributes];
    const QIRUnicodeString* values[kMostAttributes];
    for (int i = 0; i < iAttributeCount; ++i) {
      names[i] = iAttributes[i].Name;
      values[i] = iAttributes[i].Value;
    }
    // A part is made and linked in the tree directly: no handle for something never handed out.
    QIRXMLInternal::Node* part = nullptr;
    hr = QIRXMLDirect::NewElement(document, iTagName, names, values, iAttributeCount, part);
    if (!part) return FAILED(hr) ? hr : E_FAIL;
    hr = QIRXMLDirect::AppendChild(document, job.get(), part);
    // Parts never move or rename a job: the index stays true.
    KeepJobIndexAfterOwnWrite(document);
    return hr;
  });
}

HRESULT QIREdsXMLParser::InsertJobInput(const QIRUnicodeString& iJobId,
                                        const QIRUnicodeString& iAttrName,
                                        const QIRUnicodeString& iAttrValue,
                                        const QIRUnicodeString& iAttrType)
{
  const QIRUnicodeString* names = kInputPart.Attributes;
  const Attribute attributes[] = {{&names[0], &iAttrName},
                                  {&names[1], UnlessEmpty(iAttrValue)},
                                  {&names[2], UnlessEmpty(iAttrType)}};
  return InsertJobPart(iJobId, kInputPart.Tag, attributes, 3);
}

HRESULT QIREdsXMLParser::InsertJobContextInput(const QIRUnicodeString& iJobId,
                                               const QIRUnicodeString& iAttrName,
                                               const QIRUnicodeString& iAttrValue,
                                               const QIRUnicodeString& iAttrType)
{
  const QIRUnicodeString* names = kContextPart.Attributes;
  const Attribute attributes[] = {{&names[0], &iAttrName},
                                  {&names[1], UnlessEmpty(iAttrValue)},
                                  {&names[2], UnlessEmpty(iAttrType)}};
  return InsertJobPart(iJobId, kContextPart.Tag, attributes, 3);
}

HRESULT QIREdsXMLParser::InsertJobOutput(const QIRUnicodeString& iJobId,
                                         const QIRUnicodeString& iAttrName,
                                         const QIRUnicodeString& iAttrValue,
                                         const QIRUnicodeString& iAttrType)
{
  const QIRUnicodeString* names = kOutputPart.Attributes;
  const Attribute attributes[] = {
      {&names[0], &iAttrName}, {&names[1], &iAttrValue}, {&names[2], &iAttrType}};
  return InsertJobPart(iJobId, kOutputPart.Tag, attributes, 3);
}

HRESULT QIREdsXMLParser::InsertJobDeleteErrOutput(const QIRUnicodeString& iJobId,
                                                  const QIRUnicodeString& iRefClassName,
                                                  const QIRUnicodeString& iRefCstName,
                                                  const QIRUnicodeString& iRefObject)
{
  const QIRUnicodeString* names = kDeleteErrPart.Attributes;
  const Attribute attributes[] = {
      {&names[0], &iRefClassName}, {&names[1], &iRefCstName}, {&names[2], &iRefObject}};
  return InsertJobPart(iJobId, kDeleteErrPart.Tag, attributes, 3);
}

HRESULT QIREdsXMLParser::InsertJobErrorMsg(const QIRUnicodeString& iJobId,
                                           const QIRUnicodeString& iErrorKey,
                                           const QIRUnicodeString& iErrorFile,
                                           const QIRListValQIRUnicodeString* iErrorParams)
{
  QIRUnicodeString parameters;
  const HRESULT joined = QIRGuarded([&] {
    for (int i = 1; iErrorParams && i <= iErrorParams->Size(); ++i) {
      if (i > 1) parameters += "@";
      parameters += (*iErrorParams)[i];
    }
    return S_OK;
  });
  if (FAILED(joined)) return joined;
  const QIRUnicodeString* names = kErrorPart.Attributes;
  const Attribute attributes[] = {
      {&names[0], &iErrorKey}, {&names[1], &iErrorFile}, {&names[2], &parameters}};
  return InsertJobPart(iJobId, kErrorPart.Tag, attributes, 3);
}

HRESULT QIREdsXMLParser::InsertJobReportOutput(const QIRUnicodeString& iJobId,
                                               const QIRListValQIRUnicodeString& iRows)
{
  HRESULT hr = E_FAIL;
  if (iRows.Size() == 0) return hr;
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  if (document == NULL_var) return hr;
  return QIRGuarded([&] {
    for (int i = 1; i <= iRows.Size(); ++i)
      if (!CanCarry(iRows[i])) return E_INVALIDARG;
    QIRIDOMElement_var job;
    hr = FindJob(document, iJobId, job);
    if (FAILED(hr) || job == NULL_var) return hr;
    const QIRUnicodeString* name = &kReportPart.Attributes[0];
    for (int i = 1; i <= iRows.Size() && SUCCEEDED(hr); ++i) {
      const QIRUnicodeString* value = &iRows[i];
      QIRXMLInternal::Node* row = nullptr;
      hr = QIRXMLDirect::NewElement(document, kReportPart.Tag, &name, &value, 1, row);
      if (SUCCEEDED(hr) && !row) hr = E_FAIL;
      if (SUCCEEDED(hr)) hr = QIRXMLDirect::AppendChild(document, job.get(), row);
    }
    KeepJobIndexAfterOwnWrite(document);
    return hr;
  });
}

HRESULT QIREdsXMLParser::ReadJobParts(const QIRUnicodeString& iJobId,
                                      const QIRUnicodeString& iTagName,
                                      const QIRUnicodeString* iAttributeNames,
                                      QIRListValQIRUnicodeString* const* oLists, int iListCount,
                                      bool iEveryReadCounts) const
{
  HRESULT hr = E_FAIL;
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  if (document == NULL_var) return hr;
  return QIRGuarded([&] {
    // As GetNodeListUnderJobId, read without a handle per element.
    QIRIDOMElement_var job;
    hr = FindJob(document, iJobId, job);
    if (FAILED(hr) || job == NULL_var) return hr;
    QIRXMLDirect::ElementList parts;
    hr = _jobIndex->Parts.Select(document, job.get(), kEveryElement, iTagName, parts);
    if (FAILED(hr)) return hr;
    return ReadEachElement(parts, iAttributeNames, oLists, iListCount, iEveryReadCounts, hr);
  });
}

HRESULT QIREdsXMLParser::GetJobInput(const QIRUnicodeString& iJobId,
                                     QIRListValQIRUnicodeString& oNames,
                                     QIRListValQIRUnicodeString& oValues,
                                     QIRListValQIRUnicodeString& oTypes) const
{
  QIRListValQIRUnicodeString* const lists[] = {&oNames, &oValues, &oTypes};
  return ReadJobParts(iJobId, kInputPart.Tag, kInputPart.Attributes, lists, 3, false);
}

HRESULT QIREdsXMLParser::GetJobContextInput(const QIRUnicodeString& iJobId,
                                            QIRListValQIRUnicodeString& oNames,
                                            QIRListValQIRUnicodeString& oValues,
                                            QIRListValQIRUnicodeString& oTypes) const
{
  QIRListValQIRUnicodeString* const lists[] = {&oNames, &oValues, &oTypes};
  return ReadJobParts(iJobId, kContextPart.Tag, kContextPart.Attributes, lists, 3, false);
}

HRESULT QIREdsXMLParser::GetJobOutput(const QIRUnicodeString& iJobId,
                                      QIRListValQIRUnicodeString& oNames,
                                      QIRListValQIRUnicodeString& oValues,
                                      QIRListValQIRUnicodeString& oTypes) const
{
  QIRListValQIRUnicodeString* const lists[] = {&oNames, &oValues, &oTypes};
  return ReadJobParts(iJobId, kOutputPart.Tag, kOutputPart.Attributes, lists, 3, true);
}

HRESULT QIREdsXMLParser::GetJobDeleteErrOutput(const QIRUnicodeString& iJobId,
                                               QIRListValQIRUnicodeString& oClassNames,
                                               QIRListValQIRUnicodeString& oCstNames,
                                               QIRListValQIRUnicodeString& oObjects) const
{
  QIRListValQIRUnicodeString* const lists[] = {&oClassNames, &oCstNames, &oObjects};
  return ReadJobParts(iJobId, kDeleteErrPart.Tag, kDeleteErrPart.Attributes, lists, 3, true);
}

HRESULT QIREdsXMLParser::GetJobReportOutput(const QIRUnicodeString& iJobId,
                                            QIRListValQIRUnicodeString& oRows) const
{
  QIRListValQIRUnicodeString* const lists[] = {&oRows};
  return ReadJobParts(iJobId, kReportPart.Tag, kReportPart.Attributes, lists, 1, true);
}

HRESULT QIREdsXMLParser::GetJobDefinition(QIRListValQIRUnicodeString& oIds,
                                          QIRListValQIRUnicodeString& oTypes,
                                          QIRListValQIRUnicodeString& oInputs) const
{
  HRESULT hr = E_FAIL;
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  if (document == NULL_var) return hr;
  return QIRGuarded([&] {
    QIRXMLDirect::ElementList jobs;
    hr = _jobIndex->Jobs.Select(document, document.get(), kJob.Tag, kJob.Tag, jobs);
    if (FAILED(hr)) return hr;
    QIRListValQIRUnicodeString* const lists[] = {&oIds, &oTypes, &oInputs};
    return ReadEachElement(jobs, kJob.Attributes, lists, 3, true, hr);
  });
}

HRESULT QIREdsXMLParser::GetSingleJobDefinition(QIRUnicodeString& oId, QIRUnicodeString& oType,
                                                QIRUnicodeString& oInput) const
{
  HRESULT hr = E_FAIL;
  return QIRGuarded([&] {
    QIRListValQIRUnicodeString ids, types, inputs;
    if (FAILED(GetJobDefinition(ids, types, inputs))) return hr;
    if (ids.Size() != 1 || types.Size() != 1 || inputs.Size() != 1) return hr;
    oId = ids[1];
    oType = types[1];
    oInput = inputs[1];
    return S_OK;
  });
}

HRESULT QIREdsXMLParser::GetJobError(const QIRUnicodeString& iJobId, QIRUnicodeString& oKey,
                                     QIRUnicodeString& oFile, QIRUnicodeString& oType,
                                     QIRUnicodeString& oParm) const
{
  HRESULT hr = E_FAIL;
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  if (document == NULL_var) return hr;
  return QIRGuarded([&] {
    QIRIDOMElement_var job;
    if (FAILED(FindJob(document, iJobId, job)) || job == NULL_var) return E_FAIL;
    QIRIDOMNodeList_var errors;
    if (FAILED(job->GetElementsByTagName("EDB_JobError", errors)) || errors == NULL_var)
      return E_FAIL;
    unsigned int length = 0;
    if (FAILED(errors->GetLength(length)) || length == 0) return E_FAIL;
    QIRIDOMNode_var node;
    if (FAILED(errors->Item(0, node))) return E_FAIL;
    QIRIDOMElement_var first(node);
    if (first == NULL_var) return E_FAIL;
    if (FAILED(first->GetAttribute("EDB_JobErrorKey", oKey))) return E_FAIL;
    if (FAILED(first->GetAttribute("EDB_JobErrorFile", oFile))) return E_FAIL;
    if (FAILED(first->GetAttribute("EDB_JobErrorType", oType))) return E_FAIL;
    first->GetAttribute("EDB_JobErrorParm", oParm);
    return S_OK;
  });
}

void QIREdsXMLParser::DumpXML()
{
  const QIRIDOMDocument_var& document = _spQIRIDOMdocument;  // borrowed for the call
  QIRIXMLDOMDocumentBuilder_var builder = GetDOMDocumentBuilder();
  if (document == NULL_var || builder == NULL_var) return;
  QIRGuardedVoid([&] {
    char* traces = nullptr;
    if (FAILED(QIRGetEnvValue("ECDBClientTraces", &traces))) return;
    std::free(traces);
    QIRListValQIRUnicodeString names, values;
    QIRUnicodeString text;
    if (FAILED(builder->WriteToString(document, text, names, values))) text = QIRUnicodeString();
    std::printf("------------------------------------------------------------ \n");
    std::printf("----------- XML Dump --------------------------------------- \n");
    std::printf("%s \n", text.ConvertToChar());
    std::printf("----------- XML Dump --------------------------------------- \n");
    std::fflush(stdout);
  });
}

HRESULT QIREdsXMLParser::InsertSingleJobInputFromParser(const QIREdsXMLParser* iSourceParser)
{
  HRESULT hr = E_FAIL;
  if (!iSourceParser) return hr;
  return QIRGuarded([&] {
    QIRUnicodeString id, type, input;
    if (FAILED(iSourceParser->GetSingleJobDefinition(id, type, input))) return E_FAIL;
    QIRListValQIRUnicodeString names, values, types;
    if (SUCCEEDED(iSourceParser->GetJobInput(id, names, values, types))) {
      const int count = SmallestSize(names, values, types);
      for (int i = 1; i <= count; ++i) hr = InsertJobInput(id, names[i], values[i], types[i]);
    }
    return hr;
  });
}

HRESULT QIREdsXMLParser::InsertSingleJobOutputFromParser(const QIREdsXMLParser* iSourceParser)
{
  HRESULT hr = E_FAIL;
  if (!iSourceParser) return hr;
  return QIRGuarded([&] {
    QIRUnicodeString id, type, input;
    if (FAILED(iSourceParser->GetSingleJobDefinition(id, type, input))) return E_FAIL;
    QIRListValQIRUnicodeString rows;
    if (SUCCEEDED(iSourceParser->GetJobReportOutput(id, rows)) && rows.Size() > 0)
      hr = InsertJobReportOutput(id, rows);
    QIRListValQIRUnicodeString names, values, types;
    if (SUCCEEDED(iSourceParser->GetJobOutput(id, names, values, types))) {
      const int count = SmallestSize(names, values, types);
      for (int i = 1; i <= count; ++i) hr = InsertJobOutput(id, names[i], values[i], types[i]);
    }
    return hr;
  });
}
