#ifndef QiredsCommands_H
#define QiredsCommands_H
// Each group of subcommands registers itself on the tool's application; the helpers below are
// what they share, so that every failure reads and exits the same way.

#include <CLI/CLI.hpp>
#include <cstddef>
#include <string>

// sql, dump
void AddSchemaCommands(CLI::App& ioApp);
// dictionary, diagram
void AddDictionaryCommands(CLI::App& ioApp);
// job dump, job check
void AddJobCommands(CLI::App& ioApp);
// effectivity parse|format|compare|union|intersect|subtract|contains, blanks encode|decode, fill
void AddEngineeringCommands(CLI::App& ioApp);
// schema apply|check|diff
void AddSchemaSyncCommands(CLI::App& ioApp);
// The statements of `sql --sqlite`; false when the tool was built without that support.
bool PrintSqliteStatements();

// Exit codes of the tool.
const int kQiredsFailed = 1;
const int kQiredsUsage = 2;

// iText safe to show on a terminal: control characters and bytes that are not UTF-8 become
// \xNN escapes, and only the first iMaxChars characters are kept, "..." marking the cut.
std::string QiredsEscape(const std::string& iText, std::size_t iMaxChars = 80);

// Prints "qireds COMMAND: REASON" as one line on standard error, the reason escaped, and ends
// the subcommand with iCode.
[[noreturn]] void QiredsFail(const std::string& iCommand, const std::string& iReason,
                             int iCode = kQiredsFailed);

// The largest input file a subcommand reads.
const std::size_t kQiredsMaxInputBytes = std::size_t(256) << 20;

// Fails the subcommand, with the file's name and the system's reason, unless iPath is a
// regular file of at most iMaxBytes bytes that can be opened for reading.
void QiredsCheckInputFile(const std::string& iCommand, const std::string& iPath,
                          std::size_t iMaxBytes);

// The whole of iPath, a regular file of at most kQiredsMaxInputBytes bytes; otherwise the
// subcommand fails with the file's name and the system's reason.
std::string QiredsReadFile(const std::string& iCommand, const std::string& iPath);

#endif
