#ifndef QIRXMLDirect_H
#define QIRXMLDirect_H
// Ways through the XML layer for the library's own job documents that skip what an
// application's call pays for: a checked string for a whole text, a handle per node. Each
// gives the result, codes and fault points of the handle-based calls it stands for. Never
// installed or exported.

#include "QIRXMLServices.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace QIRXMLInternal {
struct Node;
class Tree;
}  // namespace QIRXMLInternal

namespace QIRXMLDirect {

// True when the eight bytes at iBytes are all printable ASCII (0x20 to 0x7F): text that any
// check of what XML carries lets through without a closer look.
inline bool IsPrintableAscii(const unsigned char* iBytes)
{
  std::uint64_t word;
  std::memcpy(&word, iBytes, sizeof word);
  const std::uint64_t high = 0x8080808080808080ULL;
  const std::uint64_t below = (word - 0x2020202020202020ULL) & ~word & high;  // a byte < 0x20
  return ((word & high) | below) == 0;
}

// The builder's WriteToString with the options "QIREncoding" "UTF-8" and
// "QIRExpandEntityReferences" "true", as bytes (oBytes is replaced).
HRESULT WriteUTF8(const QIRIDOMDocument_var& iDocument, std::vector<unsigned char>& oBytes);

// The builder's Parse of a buffer source named iName over iBytes, read as UTF-8 whatever it
// declares, without copying the text into a source first. Bytes that are not UTF-8 fail
// quietly (E_FAIL), as they fail to become the source's text. libxml2 reads the text in place
// up to a 0 byte, which iBytes[iSize] must be (a sequence's bytes end in one).
HRESULT ParseUTF8(const char* iBytes, std::size_t iSize, const char* iName, bool iValidate,
                  bool iExpand, const QIRISAXEntityResolver_var& iResolver,
                  const QIRISAXErrorHandler_var& iHandler, QIRIDOMDocument_var& oDocument);

// As iDocument->CreateElement(iTag), then SetAttribute(iNames[k], iValues[k]) for each k
// whose value is not null, stopping at the first that fails: the code of the last call run.
// oElement receives the element, linked nowhere yet and alive as long as the document; null
// when none was made. No handle is made.
HRESULT NewElement(const QIRIDOMDocument_var& iDocument, const QIRUnicodeString& iTag,
                   const QIRUnicodeString* const* iNames, const QIRUnicodeString* const* iValues,
                   int iCount, QIRXMLInternal::Node*& oElement);

// As iParent->AppendChild with a handle on iElement, made by NewElement for iDocument.
HRESULT AppendChild(const QIRIDOMDocument_var& iDocument, QIRIDOMNode* iParent,
                    QIRXMLInternal::Node* iElement);

}  // namespace QIRXMLDirect

#endif
