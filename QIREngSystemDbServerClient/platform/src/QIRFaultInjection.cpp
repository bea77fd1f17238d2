#include "QIRFaultInjection.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace {

// Every call the platform can be made to fail. A name outside this table is a typo in a test
// or in the platform, and would otherwise arm nothing and let the test pass for the wrong reason.
constexpr const char* kPoints[] = {
    "CreateQIRIXMLDOMDocumentBuilder",
    "CreateQIRIXMLSAXFactory",
    "CreateInputSourceFromBuffer",
    "CreateInputSourceFromFile",
    "GetDOMImplementation",
    "CreateDocumentType",
    "CreateDocument",
    "CreateElement",
    "SetAttribute",
    "GetAttribute",
    "AppendChild",
    "GetElementsByTagName",
    "Item",
    "WriteToString",
    "WriteToFile",
    "NewSequenceOctet",
    "FOpen",
    "WriteFileOpen",
    "WriteFileWrite",
    "WriteFileFlush",
    "WriteFileSync",
    "WriteFileClose",
    "WriteFileRename",
    "StreamedParse",
};

// Tested first and alone, so that an unarmed process pays one load per call.
std::atomic<bool> gArmed{false};

std::mutex& Mutex()
{
  static std::mutex mutex;
  return mutex;
}

// Point -> calls still to let through before the failing one.
std::map<std::string, int>& Points()
{
  static std::map<std::string, int> points;
  return points;
}

// Points that failed since they were last armed.
std::set<std::string>& Fired()
{
  static std::set<std::string> fired;
  return fired;
}

// Aborts on a name outside the table: a misspelt point must stop the run, not pass quietly.
void CheckKnown(const char* iPoint)
{
  if (iPoint)
    for (const char* point : kPoints)
      if (std::strcmp(point, iPoint) == 0) return;
  std::fprintf(stderr, "QIRFaultInjection: unknown point \"%s\"\n", iPoint ? iPoint : "(null)");
  std::abort();
}

}  // namespace

void QIRFailCall(const char* iPoint, int iSkip)
{
  CheckKnown(iPoint);
  std::lock_guard<std::mutex> lock(Mutex());
  Points()[iPoint] = iSkip < 0 ? 0 : iSkip;
  Fired().erase(iPoint);
  gArmed.store(true, std::memory_order_release);
}

void QIRFailNothing()
{
  std::lock_guard<std::mutex> lock(Mutex());
  Points().clear();
  gArmed.store(false, std::memory_order_release);
}

bool QIRFaultFired(const char* iPoint)
{
  CheckKnown(iPoint);
  std::lock_guard<std::mutex> lock(Mutex());
  return Fired().count(iPoint) != 0;
}

bool QIRCallShouldFail(const char* iPoint)
{
  if (!gArmed.load(std::memory_order_acquire)) return false;
  CheckKnown(iPoint);
  std::lock_guard<std::mutex> lock(Mutex());
  const auto point = Points().find(iPoint);
  if (point == Points().end()) return false;
  if (point->second > 0) {
    --point->second;
    return false;
  }
  Fired().insert(point->first);
  Points().erase(point);
  if (Points().empty()) gArmed.store(false, std::memory_order_release);
  return true;
}
