// Uses the installed schema component: an SQLite file brought to the schema and checked.
#include "QIREdsSchemaSync.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
  const std::string file = std::string(argc > 1 ? argv[1] : ".") + "/consumer.db";
  std::remove(file.c_str());
  QIREdsSchemaSync sync;
  QIRListValQIRUnicodeString applied, notRun, kinds, objects, expected, found, lines;
  if (FAILED(sync.OpenSqlite(file.c_str(), 1)) || FAILED(sync.Apply(applied, notRun)) ||
      FAILED(sync.Check(kinds, objects, expected, found, lines)) || lines.Size() != 0) {
    std::fprintf(stderr, "schema_consumer: %s\n", sync.GetLastMessage().ConvertToChar());
    return 1;
  }
  std::printf("schema_consumer: %d tables created, no difference left\n", applied.Size());
  return 0;
}
