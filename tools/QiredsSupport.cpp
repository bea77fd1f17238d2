// What the subcommands share: one way to fail, one way to show input in a message.
#include "QiredsCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// Length of the well-formed UTF-8 sequence at iText[iAt], 0 when there is none.
std::size_t SequenceLength(const std::string& iText, std::size_t iAt)
{
  const unsigned char lead = static_cast<unsigned char>(iText[iAt]);
  std::size_t length = 0;
  unsigned int minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (iAt + length > iText.size()) return 0;
  unsigned int code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(iText[iAt + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// Long enough for two paths and a parser message, short enough for a terminal line or two.
// The end stays, since a reason ends with what went wrong and begins with a long path.
std::string CutMiddle(const std::string& iText)
{
  const std::size_t head = 280, tail = 120;
  std::vector<std::size_t> starts;  // byte offset of each character
  for (std::size_t i = 0; i < iText.size(); ++i)
    if ((static_cast<unsigned char>(iText[i]) & 0xC0) != 0x80) starts.push_back(i);
  if (starts.size() <= head + tail) return iText;
  return iText.substr(0, starts[head]) + "..." + iText.substr(starts[starts.size() - tail]);
}

}  // namespace

std::string QiredsEscape(const std::string& iText, std::size_t iMaxChars)
{
  std::string escaped;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < iText.size(); ++chars) {
    if (chars == iMaxChars) return escaped + "...";
    const unsigned char byte = static_cast<unsigned char>(iText[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      escaped += iText[i++];
      continue;
    }
    const std::size_t length = byte >= 0x80 ? SequenceLength(iText, i) : 0;
    if (length > 0) {
      escaped.append(iText, i, length);
      i += length;
      continue;
    }
    char code[5];
    std::snprintf(code, sizeof code, "\\x%02X", byte);
    escaped += code;
    ++i;
  }
  return escaped;
}

void QiredsFail(const std::string& iCommand, const std::string& iReason, int iCode)
{
  std::fprintf(stderr, "qireds %s: %s\n", iCommand.c_str(),
               CutMiddle(QiredsEscape(iReason, std::size_t(-1))).c_str());
  throw CLI::RuntimeError(iCode);
}

namespace {

[[noreturn]] void TooLarge(const std::string& iCommand, const std::string& iPath,
                           std::size_t iMaxBytes)
{
  QiredsFail(iCommand, iPath + ": larger than " + std::to_string(iMaxBytes) + " bytes");
}

// An open file that is regular and small enough; the subcommand fails otherwise.
std::unique_ptr<std::FILE, int (*)(std::FILE*)> OpenInput(const std::string& iCommand,
                                                          const std::string& iPath,
                                                          std::size_t iMaxBytes)
{
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(iPath.c_str(), "rb"),
                                                       std::fclose);
  if (!file) QiredsFail(iCommand, iPath + ": " + std::strerror(errno));
  struct stat status;
  if (fstat(fileno(file.get()), &status) != 0)
    QiredsFail(iCommand, iPath + ": " + std::strerror(errno));
  if (S_ISDIR(status.st_mode)) QiredsFail(iCommand, iPath + ": " + std::strerror(EISDIR));
  if (!S_ISREG(status.st_mode)) QiredsFail(iCommand, iPath + ": not a regular file");
  if (static_cast<unsigned long long>(status.st_size) > iMaxBytes)
    TooLarge(iCommand, iPath, iMaxBytes);
  return file;
}

}  // namespace

void QiredsCheckInputFile(const std::string& iCommand, const std::string& iPath,
                          std::size_t iMaxBytes)
{
  OpenInput(iCommand, iPath, iMaxBytes);
}

std::string QiredsReadFile(const std::string& iCommand, const std::string& iPath)
{
  const auto file = OpenInput(iCommand, iPath, kQiredsMaxInputBytes);
  std::string bytes;
  char buffer[65536];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    if (bytes.size() + count > kQiredsMaxInputBytes)
      TooLarge(iCommand, iPath, kQiredsMaxInputBytes);
    bytes.append(buffer, count);
  }
  if (std::ferror(file.get())) QiredsFail(iCommand, iPath + ": " + std::strerror(errno));
  return bytes;
}
