// qireds schema apply|check|diff: a live PostgreSQL or SQLite database against the schema.
#include "QiredsCommands.h"

#include <cstdio>
#include <memory>
#include <string>

#if QIREDS_WITH_SCHEMA_SYNC
#include "QIREdsSchemaSync.h"
#endif

namespace {

struct SchemaOptions {
  std::string Postgres;
  std::string Sqlite;
  bool Json = false;
};

enum class Action { Apply, Check, Diff };

// Prints the reason in one line and ends the subcommand with iCode: 1 failed, 2 the database
// cannot be reached.
[[noreturn]] void Stop(const char* iAction, const std::string& iReason, int iCode)
{
  std::fprintf(stderr, "qireds schema %s: %s\n", iAction, iReason.c_str());
  throw CLI::RuntimeError(iCode);
}

void Finish(const char* iAction)
{
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) Stop(iAction, "cannot write output", 1);
}

#if QIREDS_WITH_SCHEMA_SYNC

std::string JsonString(const char* iText)
{
  std::string json = "\"";
  for (const char* c = iText; *c; ++c) {
    const unsigned char byte = static_cast<unsigned char>(*c);
    if (byte == '"' || byte == '\\') {
      json += '\\';
      json += *c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", byte);
      json += escaped;
    } else {
      json += *c;
    }
  }
  return json + "\"";
}

void PrintLines(const QIRListValQIRUnicodeString& iLines, FILE* iStream, const char* iPrefix)
{
  for (int i = 1; i <= iLines.Size(); ++i)
    std::fprintf(iStream, "%s%s\n", iPrefix, iLines[i].ConvertToChar());
}

void Run(Action iAction, const SchemaOptions& iOptions)
{
  const char* name = iAction == Action::Apply   ? "apply"
                     : iAction == Action::Check ? "check"
                                                : "diff";
  QIREdsSchemaSync sync;
  const bool postgres = !iOptions.Postgres.empty();
  const HRESULT opened = postgres
                             ? sync.ConnectPostgres(iOptions.Postgres.c_str())
                             : sync.OpenSqlite(iOptions.Sqlite.c_str(), iAction == Action::Apply);
  if (FAILED(opened))
    Stop(name, "cannot reach the database: " + std::string(sync.GetLastMessage().ConvertToChar()),
         2);

  if (iAction == Action::Apply) {
    QIRListValQIRUnicodeString applied, notRun;
    if (FAILED(sync.Apply(applied, notRun)))
      Stop(name, "rolled back: " + std::string(sync.GetLastMessage().ConvertToChar()), 1);
    PrintLines(applied, stdout, "");
    if (applied.Size() == 0)
      std::printf("nothing to do\n");
    else
      std::printf("applied %d statements\n", applied.Size());
    PrintLines(notRun, stderr, "qireds schema apply: left for a person to decide: ");
    Finish(name);
    return;
  }
  if (iAction == Action::Diff) {
    QIRListValQIRUnicodeString lines;
    if (FAILED(sync.DiffScript(lines))) Stop(name, sync.GetLastMessage().ConvertToChar(), 1);
    PrintLines(lines, stdout, "");
    Finish(name);
    return;
  }
  QIRListValQIRUnicodeString kinds, objects, expected, found, lines;
  if (FAILED(sync.Check(kinds, objects, expected, found, lines)))
    Stop(name, sync.GetLastMessage().ConvertToChar(), 1);
  if (iOptions.Json) {
    std::printf("{\"engine\":\"%s\",\"matches\":%s,\"differences\":[",
                postgres ? "postgres" : "sqlite", lines.Size() == 0 ? "true" : "false");
    for (int i = 1; i <= lines.Size(); ++i)
      std::printf("%s\n{\"kind\":%s,\"object\":%s,\"expected\":%s,\"found\":%s,\"text\":%s}",
                  i > 1 ? "," : "", JsonString(kinds[i].ConvertToChar()).c_str(),
                  JsonString(objects[i].ConvertToChar()).c_str(),
                  JsonString(expected[i].ConvertToChar()).c_str(),
                  JsonString(found[i].ConvertToChar()).c_str(),
                  JsonString(lines[i].ConvertToChar()).c_str());
    std::printf("%s]}\n", lines.Size() ? "\n" : "");
  } else {
    PrintLines(lines, stdout, "");
  }
  Finish(name);
  if (lines.Size() > 0) throw CLI::RuntimeError(1);
}

#else

void Run(Action iAction, const SchemaOptions&)
{
  Stop(iAction == Action::Apply   ? "apply"
       : iAction == Action::Check ? "check"
                                  : "diff",
       "this qireds was built without libpq and SQLite", 1);
}

#endif

}  // namespace

bool PrintSqliteStatements()
{
#if QIREDS_WITH_SCHEMA_SYNC
  QIRListValQIRUnicodeString statements;
  if (FAILED(QIREdsSchemaSync::GenerateSqliteStatements(statements))) return false;
  PrintLines(statements, stdout, "");
  return true;
#else
  return false;
#endif
}

void AddSchemaSyncCommands(CLI::App& ioApp)
{
  CLI::App* schema = ioApp.add_subcommand(
      "schema", "Bring a PostgreSQL or SQLite database to the schema, or compare it");
  schema->require_subcommand(1);
  const struct {
    const char* Name;
    Action What;
    const char* Help;
  } actions[] = {
      {"apply", Action::Apply,
       "Create what is missing in one transaction; never change what holds data in a lossy way"},
      {"check", Action::Check,
       "List every difference, one a line; exit 0 when it matches, 1 when it differs, 2 when the "
       "database cannot be reached"},
      {"diff", Action::Diff,
       "Print the statements that converge the database; those that could lose data as comments"},
  };
  for (const auto& action : actions) {
    CLI::App* command = schema->add_subcommand(action.Name, action.Help);
    auto options = std::make_shared<SchemaOptions>();
    CLI::Option_group* database = command->add_option_group("database");
    database
        ->add_option("--postgres", options->Postgres,
                     "libpq connection string of the database; the tables live in schema "
                     "qm41862")
        ->type_name("CONNINFO");
    database->add_option("--sqlite", options->Sqlite, "SQLite database file")->type_name("FILE");
    database->require_option(1);
    if (action.What == Action::Check)
      command->add_flag("--json", options->Json, "One JSON object instead of lines");
    const Action what = action.What;
    command->callback([what, options] { Run(what, *options); });
  }
}
