#ifndef QIREdsMetadataText_H
#define QIREdsMetadataText_H
// Small readers of schema text and of the dictionary's record list, shared by the
// dictionary's files. Not installed.

#include "QIRBaseUnknown.h"
#include "QIREdsMetadataTable.h"
#include "QIRUnicodeString.h"

namespace QIREdsMetadataText {

// Entries of Tables are checked by metaclass before they are read, so that a foreign
// component placed there is passed over rather than misread.
inline QIREdsMetadataTable* AsTable(QIRBaseUnknown* iEntry)
{
  if (!iEntry || !iEntry->IsAKindOf(QIREdsMetadataTable::ClassName())) return nullptr;
  return dynamic_cast<QIREdsMetadataTable*>(iEntry);
}

inline int Contains(const QIRUnicodeString& iText, const char* iWhat)
{
  return iText.SearchSubString(iWhat) >= 0 ? 1 : 0;
}

// The characters strictly between two positions; empty whenever they do not enclose any,
// so that a clause with misplaced parentheses never leads a read outside the text.
inline QIRUnicodeString Between(const QIRUnicodeString& iText, int iOpen, int iClose)
{
  if (iOpen < 0 || iClose - iOpen - 1 <= 0) return QIRUnicodeString();
  return iText.SubString(iOpen + 1, iClose - iOpen - 1);
}

inline QIRUnicodeString Stripped(QIRUnicodeString iText)
{
  iText.Strip();
  return iText;
}

}  // namespace QIREdsMetadataText

#endif
