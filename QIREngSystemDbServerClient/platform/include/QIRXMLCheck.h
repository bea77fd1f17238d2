#ifndef QIRXMLCheck_H
#define QIRXMLCheck_H
/// \file
/// Checks of an XML file that say why it fails, for callers that must tell a person: the
/// system's reason for a file that cannot be read, the parser's first message with its line and
/// column for a document that is not well formed or not valid.

#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRUnicodeString.h"

#include <cstddef>

/// The largest file the checks read unless told otherwise: a device or a runaway file fails
/// fast instead of filling memory.
const std::size_t QIRXMLCheckDefaultMaxBytes = std::size_t(256) << 20;

/// Checks that iPath is a regular file of at most iMaxBytes bytes that holds a well-formed
/// document referring to no external entity, and, when iDTDPath is not null, that the
/// document is valid against the definition in the file iDTDPath alone: the document's own
/// DOCTYPE and internal subset are not used. Nothing but those two files is read, never the
/// network.
/// \param iPath the document
/// \param iDTDPath the definition, or null for no validation
/// \param iMaxBytes the largest document read (QIRXMLCheckDefaultMaxBytes unless told)
/// \param oReason receives, on failure, one line: "PATH: reason" for a file that cannot be
///   used, "PATH:LINE:COLUMN: message" (or "PATH:LINE: message") for the first error found in
///   the document or the definition. Reasons quote the input as the parser does, unescaped.
/// \return S_OK when the checks pass; E_FAIL otherwise
QIR_API HRESULT QIRCheckXMLFile(const char* iPath, const char* iDTDPath, std::size_t iMaxBytes,
                                QIRUnicodeString& oReason);

#endif
