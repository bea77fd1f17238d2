#include "QiredsCommands.h"

void AddEngineeringCommands(CLI::App& /*ioApp*/) {}
