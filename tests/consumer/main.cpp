// Uses the installed library as an application would; exits non-zero when a call misbehaves.
#include "QIREdsXMLParser.h"
#include "QIRSequenceOctet.h"

#include <cstdio>

// A job document written by one side and read back by the other: exercises libxml2 through the
// installed library, which a link-only check would not.
int main()
{
  _SEQUENCE_octet* stream = nullptr;
  {
    QIREdsXMLParser sender;
    if (FAILED(sender.Init("Jobs", "1")) ||
        FAILED(sender.AppendJobDefinition("J1", "Route", "cable C1")) ||
        FAILED(sender.InsertJobInput("J1", "Length", "12.5", "Double")) ||
        FAILED(sender.GenerateStream(&stream)) || stream == nullptr) {
      std::fprintf(stderr, "consumer: writing a job document failed\n");
      delete stream;
      return 1;
    }
  }
  QIREdsXMLParser receiver;
  const HRESULT loaded = receiver.LoadStream(stream, 0, nullptr);
  delete stream;
  QIRListValQIRUnicodeString names, values, types;
  if (FAILED(loaded) || FAILED(receiver.GetJobInput("J1", names, values, types)) ||
      values.Size() != 1 || names[1] != "Length" || values[1] != "12.5") {
    std::fprintf(stderr, "consumer: reading the job document back failed\n");
    return 1;
  }
  std::printf("consumer: job J1 %s = %s\n", names[1].ConvertToChar(), values[1].ConvertToChar());
  return 0;
}
