#include "QiredsCommands.h"

void AddSchemaCommands(CLI::App& /*ioApp*/) {}
