#include "QiredsCommands.h"

void AddJobCommands(CLI::App& /*ioApp*/) {}
