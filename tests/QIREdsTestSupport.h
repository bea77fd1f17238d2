#ifndef QIREdsTestSupport_H
#define QIREdsTestSupport_H
// Helpers the suites share: lists compared as one text, files and streams as strings.

#include "QIRFaultInjection.h"
#include "QIRLists.h"
#include "QIRSequenceOctet.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>

inline std::string Join(const QIRListValQIRUnicodeString& iList, const char* iSeparator = "|")
{
  std::string text;
  for (int i = 1; i <= iList.Size(); ++i)
    text += (i > 1 ? iSeparator : "") + std::string(iList[i].ConvertToChar());
  return text;
}

// The '|'-separated entries of iText; "" gives an empty list.
inline QIRListValQIRUnicodeString Split(const std::string& iText)
{
  QIRListValQIRUnicodeString list;
  std::stringstream items(iText);
  for (std::string item; std::getline(items, item, '|');) list.Append(item.c_str());
  return list;
}

inline std::string ReadFile(const std::string& iPath)
{
  std::ifstream file(iPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline _SEQUENCE_octet Octets(const std::string& iText)
{
  return _SEQUENCE_octet(static_cast<unsigned int>(iText.size()),
                         reinterpret_cast<const unsigned char*>(iText.data()));
}

// Passes when iPoint failed a call since it was armed: a failure from anywhere else, or an
// armed point the code never reaches, must not pass for the fault under test.
inline testing::AssertionResult Fired(const char* iPoint)
{
  if (QIRFaultFired(iPoint)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "fault point " << iPoint << " was armed but never fired";
}

// What GenerateStream hands out, "" when it fails.
template <class Parser>
std::string Written(Parser& ioParser)
{
  _SEQUENCE_octet* stream = nullptr;
  if (FAILED(ioParser.GenerateStream(&stream)) || !stream) return "";
  const std::string text(reinterpret_cast<const char*>(stream->data()), stream->length());
  delete stream;
  return text;
}

#endif
