#ifndef QiredsCommands_H
#define QiredsCommands_H
// Each group of subcommands registers itself on the tool's application.

#include <CLI/CLI.hpp>

// sql, dump
void AddSchemaCommands(CLI::App& ioApp);
// dictionary, diagram
void AddDictionaryCommands(CLI::App& ioApp);
// job dump, job check
void AddJobCommands(CLI::App& ioApp);
// effectivity parse|compare|union, blanks encode|decode, fill
void AddEngineeringCommands(CLI::App& ioApp);
// schema apply|check|diff
void AddSchemaSyncCommands(CLI::App& ioApp);
// The statements of `sql --sqlite`; false when the tool was built without that support.
bool PrintSqliteStatements();

#endif
