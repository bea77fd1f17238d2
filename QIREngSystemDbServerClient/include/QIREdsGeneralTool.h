#ifndef QIREdsGeneralTool_H
#define QIREdsGeneralTool_H
/// \file
/// String helpers: trimmed tokens, and a reversible encoding of blank runs as "!<count>$".

#include "QIRBaseUnknown.h"
#include "QIRCodes.h"
#include "QIRExport.h"
#include "QIRLists.h"
#include "QIRUnicodeString.h"

/// Token extraction and the encoding of blank runs.
///
/// Threads: holds no state, so one object may serve several threads at once.
/// Stateless: put one on the stack, call it, let it go.
class QIR_API QIREdsGeneralTool : public QIRBaseUnknown {
 public:
  QIREdsGeneralTool();
  ~QIREdsGeneralTool() override;

  /// Replaces oTokens with the tokens of iText, each stripped of blanks at both ends, blank
  /// ones dropped. iSeparator is used when it is exactly one character, else a blank is.
  /// \param iText the text
  /// \param oTokens receives the tokens, replaced
  /// \param iSeparator the separator, one character
  /// \return S_OK; E_FAIL for an empty text, oTokens then untouched
  HRESULT ExtractTokenString(const QIRUnicodeString& iText, QIRListValQIRUnicodeString& oTokens,
                             QIRUnicodeString iSeparator);

  /// Replaces every run of blanks (code 32 only) between, before and after words with
  /// "!<count>$"; a run of more than 1000 blanks becomes consecutive markers of at most 1000
  /// each.
  /// \param iText the text
  /// \return the encoded text; a text of at most one word comes back unchanged, blanks
  ///   included
  QIRUnicodeString EncodeBlanks(const QIRUnicodeString& iText);

  /// Turns markers back into blanks, up to the first malformed one ("!" without a later "$",
  /// count not a number from 1 to 1000); the text from there on is left as written. "!" and
  /// "$" have no escape, so texts holding them may not survive encoding and decoding.
  /// \param iText the encoded text
  /// \return the decoded text
  QIRUnicodeString DecodeBlanks(const QIRUnicodeString& iText);
};

#endif
