#ifndef QIREdsJobElements_H
#define QIREdsJobElements_H
// Readers of a job document's elements and attributes, shared by the job parser's queries.
// Not installed.

#include "QIRCodes.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"
#include "QIRXMLElementList.h"
#include "QIRXMLServices.h"

namespace QIREdsJobElements {

// Item iIndex of a list as an element, and its attribute iName read into a string emptied
// first. oElement stays empty for an item that cannot be fetched or is no element. The code is
// that of the last call made.
HRESULT ReadItemAttribute(const QIRIDOMNodeList_var& iList, unsigned int iIndex,
                          const QIRUnicodeString& iName, QIRIDOMElement_var& oElement,
                          QIRUnicodeString& oValue);

// The first element named iTagName whose attribute equals iValue, a scan stopping there.
HRESULT FirstByAttribute(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iTagName,
                         const QIRUnicodeString& iName, const QIRUnicodeString& iValue,
                         QIRIDOMElement_var& oElement);

// Whether the root is the document element, so that a job appended to it comes last in
// document order. It is not when Init could not attach it, or when a failed load left the
// root of the previous document.
bool RootIsDocumentElement(const QIRIDOMDocument_var& iDocument, const QIRIDOMNode_var& iRoot);

// Reads the attributes iNames of each element of iList, each into its list in oLists. An
// attribute is read only after the one before it, so the lists stay in step. A failed read of
// the first attribute, or of any when iEveryReadCounts, ends the reading with its code; else
// the code is that of the last read that counts, iCode when none did.
HRESULT ReadEachElement(const QIRXMLDirect::ElementList& iList, const QIRUnicodeString* iNames,
                        QIRListValQIRUnicodeString* const* oLists, int iCount,
                        bool iEveryReadCounts, HRESULT iCode);

}  // namespace QIREdsJobElements

#endif
