// The clause readers search fixed keywords and parentheses in text that, for the built-in
// schema, is well formed; callers may hand them anything. Every reader runs on the input as a
// clause (and as an SQL type text), and each keeps its promise of appending all or nothing.

#include "QIREdsMetadataDict.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
void Fail(const char* iWhat)
{
  std::fprintf(stderr, "fuzz_constraint_clause: %s\n", iWhat);
  std::abort();
}

// The readers touch no member, so one empty dictionary serves every input.
const QIREdsMetadataDict& Readers()
{
  static const QIREdsMetadataDict dictionary;
  return dictionary;
}

void ReadKeys(const QIRUnicodeString& iKeyword, const QIRUnicodeString& iClause)
{
  QIRListValQIRUnicodeString keys;
  keys.Append("before");
  if (FAILED(Readers().GetKeys(iKeyword, iClause, keys)) && keys.Size() != 1)
    Fail("GetKeys failed after appending");
}

void ReadForeignKey(const QIRUnicodeString& iClause)
{
  QIRListValQIRUnicodeString from, toTables, toColumns;
  const HRESULT hr = Readers().GetConstraints(iClause, from, toTables, toColumns);
  const int expected = SUCCEEDED(hr) ? 1 : 0;
  if (from.Size() != expected || toTables.Size() != expected || toColumns.Size() != expected)
    Fail("GetConstraints did not append all three texts or none");

  QIRUnicodeString name("n"), columns("c"), toClass("t");
  if (FAILED(Readers().ParseConstraint(iClause, name, columns, toClass)) &&
      iClause.SearchSubString("FOREIGN KEY") < 0 &&
      (name != "n" || columns != "c" || toClass != "t"))
    Fail("ParseConstraint changed its outputs on a clause without FOREIGN KEY");
}

void Chop(const QIRUnicodeString& iSeparators, const QIRUnicodeString& iText)
{
  QIRListValQIRUnicodeString pieces;
  pieces.Append("before");
  if (FAILED(Readers().ChoppedBy(iSeparators, iText, pieces)) && pieces.Size() != 1)
    Fail("ChoppedBy failed after appending");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* iData, std::size_t iSize)
{
  const std::string input(reinterpret_cast<const char*>(iData), iSize);
  const QIRUnicodeString clause(input.c_str());

  ReadKeys("PRIMARY", clause);
  ReadKeys("UNIQUE", clause);
  ReadForeignKey(clause);
  Readers().GetConstraintName(clause);
  Chop(",", clause);
  // Separators from the input itself reach the tokenizer with characters of any width.
  Chop(clause.SubString(0, 2), clause.SubString(2, clause.GetLengthInChar()));

  QIRUnicodeString type, maxLength, mandatory;
  Readers().GetDataType(clause, type, maxLength, mandatory);
  return 0;
}
