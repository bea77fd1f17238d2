#ifndef QIREdsDictionaryXml_H
#define QIREdsDictionaryXml_H
// The dictionary XML writer behind QIREdsMetadataDict::GenerateOrvaneMetaData, kept apart
// from the records it reads. Not installed.

#include "QIRCodes.h"
#include "QIREdsMetadataDict.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

namespace QIREdsDictionaryXml {

// Everything GenerateOrvaneMetaData promises, for iDictionary's records.
HRESULT Generate(const QIREdsMetadataDict& iDictionary, const QIRUnicodeString& iDictionaryPath,
                 const QIRListValQIRUnicodeString& iKnownNames,
                 const QIRListValQIRUnicodeString& iKnownUuids,
                 const QIRUnicodeString& iOutputPath);

}  // namespace QIREdsDictionaryXml

#endif
