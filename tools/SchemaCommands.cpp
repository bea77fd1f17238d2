#include "QIREdsMetadataDict.h"
#include "QiredsCommands.h"

#include <cstdio>
#include <memory>

namespace {

// Reports a failed subcommand in one line and ends it with a non-zero exit.
[[noreturn]] void Fail(const char* iCommand, const char* iReason)
{
  std::fprintf(stderr, "qireds %s: %s\n", iCommand, iReason);
  throw CLI::RuntimeError(1);
}

// A write error (a full disk, a closed pipe) must not pass for success in a script.
void FinishOutput(const char* iCommand)
{
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) Fail(iCommand, "cannot write output");
}

void RunSql(bool iPostgres)
{
  QIREdsMetadataDict dictionary;
  QIRListValQIRUnicodeString statements;
  if (FAILED(dictionary.Initialize()) || FAILED(dictionary.GenerateSQLStatements(statements)))
    Fail("sql", "cannot build the table-creation statements");
  if (iPostgres) {
    std::printf("CREATE SCHEMA IF NOT EXISTS qm41862;\n");
    std::printf("SET search_path TO qm41862, public;\n");
  }
  for (int i = 1; i <= statements.Size(); ++i) {
    QIRUnicodeString sql = statements[i];
    const int length = sql.GetLengthInChar();
    if (length >= 2 && sql.SubString(0, 1) == "\"" && sql.SubString(length - 1, 1) == "\"")
      sql = sql.SubString(1, length - 2);
    std::printf("%s\n", sql.ConvertToChar());
  }
  FinishOutput("sql");
}

void RunSqliteSql()
{
  if (!PrintSqliteStatements()) Fail("sql", "cannot build the SQLite statements");
  FinishOutput("sql");
}

void RunDump()
{
  QIREdsMetadataDict dictionary;
  if (FAILED(dictionary.Initialize())) Fail("dump", "cannot build the dictionary");
  dictionary.DumpDictionary();
  FinishOutput("dump");
}

}  // namespace

void AddSchemaCommands(CLI::App& ioApp)
{
  CLI::App* sql = ioApp.add_subcommand("sql", "Print the table-creation statements, one per line");
  auto postgres = std::make_shared<bool>(false);
  auto sqlite = std::make_shared<bool>(false);
  CLI::Option* postgresFlag =
      sql->add_flag("--postgres", *postgres,
                    "Create and select the schema first, so that the output runs as it is in psql");
  sql->add_flag("--sqlite", *sqlite,
                "The form SQLite accepts: every constraint inside its table, foreign keys on")
      ->excludes(postgresFlag);
  sql->callback([postgres, sqlite] { *sqlite ? RunSqliteSql() : RunSql(*postgres); });

  CLI::App* dump = ioApp.add_subcommand("dump", "Print every record of the metadata dictionary");
  dump->callback([] { RunDump(); });
}
