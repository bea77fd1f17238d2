// qireds: a thin shell over the library for scripts and people.
#include "QiredsCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

const char* const kExitCodes =
    "Exit codes: 0 success; 1 the operation failed (an input that cannot be read or is not "
    "valid, output that cannot be written); 2 usage error (unknown subcommand, bad or missing "
    "argument).";

// The argument parser takes an unknown first word for a missing subcommand; naming the word
// tells a typing error from a forgotten subcommand.
bool IsUnknownSubcommand(CLI::App& ioApp, int iArgc, char** iArgv)
{
  if (iArgc < 2 || iArgv[1][0] == '-') return false;
  for (const CLI::App* command : ioApp.get_subcommands([](CLI::App*) { return true; }))
    if (command->check_name(iArgv[1])) return false;
  return true;
}

// The argument parser's own codes are many; scripts get one for every usage error.
int Run(CLI::App& ioApp, int iArgc, char** iArgv)
{
  if (IsUnknownSubcommand(ioApp, iArgc, iArgv)) {
    std::fprintf(stderr, "qireds: unknown subcommand \"%s\" (see --help)\n",
                 QiredsEscape(iArgv[1], 60).c_str());
    return kQiredsUsage;
  }
  try {
    ioApp.parse(iArgc, iArgv);
  } catch (const CLI::RuntimeError& error) {
    return error.get_exit_code();  // a subcommand that reported its own failure
  } catch (const CLI::ParseError& error) {
    const int code = ioApp.exit(error);  // help and version come here too, with 0
    return code == 0 ? 0 : kQiredsUsage;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qireds: %s\n", QiredsEscape(error.what(), 400).c_str());
    return kQiredsFailed;
  } catch (...) {
    std::fprintf(stderr, "qireds: internal error\n");
    return kQiredsFailed;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv)
{
  CLI::App app{"qireds: cable-routing metadata, job documents and engineering tools"};
  app.set_version_flag("--version", std::string("qireds ") + QIREDS_VERSION);
  app.require_subcommand(1);
  app.footer(kExitCodes);
  // One line per failure, as for every other failure of the tool.
  app.failure_message([](const CLI::App*, const CLI::Error& iError) {
    return "qireds: " + QiredsEscape(iError.what(), 400) + " (see --help)\n";
  });
  AddSchemaCommands(app);
  AddDictionaryCommands(app);
  AddJobCommands(app);
  AddEngineeringCommands(app);
  AddSchemaSyncCommands(app);
  int code = Run(app, argc, argv);
  // Output that never reached its file is a failure, whichever subcommand wrote it.
  if (code == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout))) {
    std::fprintf(stderr, "qireds: cannot write standard output: %s\n", std::strerror(errno));
    code = kQiredsFailed;
  }
  return code;
}
