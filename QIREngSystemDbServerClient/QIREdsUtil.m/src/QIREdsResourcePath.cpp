#include "QIREdsResourcePath.h"

#include "QIREdsGuard.h"
#include "QIRError.h"
#include "QIRFileServices.h"

#include <string>

namespace {

const int kResourcePathSize = 1024;

}  // namespace

namespace QIREdsResourcePath {

HRESULT Find(const QIRListValQIRUnicodeString& iComponents, const char* iVariable,
             QIRUnicodeString& oPath)
{
  HRESULT hr = E_FAIL;
  const int n = iComponents.Size();
  if (n == 0 || iVariable == nullptr) return hr;
  return QIRGuarded([&] {
    const char* value = QIRGetEnv(iVariable);
    if (value == nullptr || *value == '\0') return hr;
    // Copied first: the environment may change while we search.
    for (std::string directory : QIRSplitPathVariable(value)) {
      char path[kResourcePathSize];
      bool joined = true;
      for (int k = 1; k < n && joined; ++k) {
        joined = SUCCEEDED(
            QIRMakePath(directory.c_str(), iComponents[k].ConvertToChar(), path, sizeof path));
        if (joined) directory = path;
      }
      if (!joined) continue;
      const char* last = iComponents[n].ConvertToChar();
      if (SUCCEEDED(QIRMakePath(directory.c_str(), last, path, sizeof path)) &&
          QIRFileAccess(path, 0) == 0) {
        oPath = path;
        hr = S_OK;
        break;
      }
      // Found only by searching below the directory: keep looking, since a later directory
      // replaces it by either rule.
      if (SUCCEEDED(QIRFindPath(last, directory.c_str(), path, sizeof path)) &&
          QIRFileAccess(path, 0) == 0) {
        oPath = path;
        hr = S_OK;
      }
    }
    return hr;
  });
}

}  // namespace QIREdsResourcePath
