#include "QIRFaultInjection.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace {

// Tested first and alone, so that an unarmed process pays one load per call.
std::atomic<bool> gArmed{false};

std::mutex& Mutex() {
  static std::mutex mutex;
  return mutex;
}

// Point -> calls still to let through before the failing one.
std::map<std::string, int>& Points() {
  static std::map<std::string, int> points;
  return points;
}

}  // namespace

void QIRFailCall(const char* iPoint, int iSkip) {
  if (!iPoint) return;
  std::lock_guard<std::mutex> lock(Mutex());
  Points()[iPoint] = iSkip < 0 ? 0 : iSkip;
  gArmed.store(true, std::memory_order_release);
}

void QIRFailNothing() {
  std::lock_guard<std::mutex> lock(Mutex());
  Points().clear();
  gArmed.store(false, std::memory_order_release);
}

bool QIRCallShouldFail(const char* iPoint) {
  if (!gArmed.load(std::memory_order_acquire) || !iPoint) return false;
  std::lock_guard<std::mutex> lock(Mutex());
  const auto point = Points().find(iPoint);
  if (point == Points().end()) return false;
  if (point->second > 0) {
    --point->second;
    return false;
  }
  Points().erase(point);
  if (Points().empty()) gArmed.store(false, std::memory_order_release);
  return true;
}
