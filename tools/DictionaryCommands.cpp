#include "QiredsCommands.h"

void AddDictionaryCommands(CLI::App& /*ioApp*/) {}
