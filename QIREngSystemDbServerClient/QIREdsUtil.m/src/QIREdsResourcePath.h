#ifndef QIREdsResourcePath_H
#define QIREdsResourcePath_H
// The search of resource directories along a path variable, behind
// QIREdsMetadataDict::GetResourceDirectoryPath. Not installed.

#include "QIRCodes.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

namespace QIREdsResourcePath {

// iComponents joined under each entry of the path variable iVariable. A path found directly
// under an entry wins at once; one found only by searching below an entry is kept, but a
// later entry replaces it. S_OK with oPath once a path exists, else E_FAIL.
HRESULT Find(const QIRListValQIRUnicodeString& iComponents, const char* iVariable,
             QIRUnicodeString& oPath);

}  // namespace QIREdsResourcePath

#endif
