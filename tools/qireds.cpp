// qireds: a thin shell over the library for scripts and people.
#include <cstdio>
#include <exception>

#include "QiredsCommands.h"

int main(int argc, char** argv)
{
  CLI::App app{"qireds: cable-routing metadata, job documents and engineering tools"};
  app.set_version_flag("--version", std::string("qireds ") + QIREDS_VERSION);
  app.require_subcommand(1);
  AddSchemaCommands(app);
  AddDictionaryCommands(app);
  AddJobCommands(app);
  AddEngineeringCommands(app);
  AddSchemaSyncCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qireds: %s\n", error.what());
    return 1;
  }
  return 0;
}
