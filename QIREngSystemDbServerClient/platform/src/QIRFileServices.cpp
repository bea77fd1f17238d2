#include "QIRFileServices.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "QIRFaultInjection.h"

struct QIRFileTag {
  std::FILE* File;
};

namespace {

// Deep enough for any resource tree, shallow enough that a pathological one ends quickly.
constexpr int kMaxFindDepth = 16;

// Copies iPath with its terminator when it fits iSize bytes; otherwise leaves "" behind.
HRESULT CopyPath(const std::string& iPath, char* oPath, std::size_t iSize) {
  if (!oPath || iSize == 0) return E_FAIL;
  if (iPath.size() >= iSize) {
    oPath[0] = '\0';
    return E_FAIL;
  }
  std::memcpy(oPath, iPath.c_str(), iPath.size() + 1);
  return S_OK;
}

void ClearPath(char* oPath, std::size_t iSize) {
  if (oPath && iSize > 0) oPath[0] = '\0';
}

std::string Join(const std::string& iDirectory, const std::string& iName) {
  if (iDirectory.empty()) return iName;
  if (iName.empty()) return iDirectory;
  if (iDirectory.back() == '/') return iDirectory + iName;
  return iDirectory + '/' + iName;
}

// lstat, so that a link is seen as itself: a link to a directory is never entered.
bool FindBelow(const std::string& iDirectory, const char* iName, int iDepth, std::string& oPath) {
  DIR* directory = opendir(iDirectory.c_str());
  if (!directory) return false;
  std::vector<std::string> entries;
  while (const dirent* entry = readdir(directory)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
      entries.emplace_back(entry->d_name);
  }
  closedir(directory);
  // Sorted, so that the same tree gives the same answer on every file system.
  std::sort(entries.begin(), entries.end());
  if (std::binary_search(entries.begin(), entries.end(), std::string(iName))) {
    oPath = Join(iDirectory, iName);
    return true;
  }
  if (iDepth >= kMaxFindDepth) return false;
  for (const std::string& entry : entries) {
    const std::string path = Join(iDirectory, entry);
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
    if (FindBelow(path, iName, iDepth + 1, oPath)) return true;
  }
  return false;
}

}  // namespace

const char* QIRGetEnv(const char* iName) { return iName ? std::getenv(iName) : nullptr; }

HRESULT QIRGetEnvValue(const char* iName, char** oValue) {
  if (!oValue) return E_FAIL;
  *oValue = nullptr;
  const char* value = QIRGetEnv(iName);
  if (!value) return E_FAIL;
  const std::size_t size = std::strlen(value) + 1;
  char* copy = static_cast<char*>(std::malloc(size));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, value, size);
  *oValue = copy;
  return S_OK;
}

int QIRGetOperatingSystem() { return 2; }

HRESULT QIRMakePath(const char* iDirectory, const char* iName, char* oPath,
                    std::size_t iPathSize) {
  ClearPath(oPath, iPathSize);
  if (!iDirectory || !iName) return E_FAIL;
  try {
    return CopyPath(Join(iDirectory, iName), oPath, iPathSize);
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT QIRFindPath(const char* iName, const char* iDirectory, char* oPath,
                    std::size_t iPathSize) {
  ClearPath(oPath, iPathSize);
  if (!iName || !*iName || !iDirectory || !*iDirectory) return E_FAIL;
  try {
    std::string path;
    if (!FindBelow(iDirectory, iName, 0, path)) return E_FAIL;
    return CopyPath(path, oPath, iPathSize);
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT QIRGetFilePathFromOfficialVariable(const char* iFileName, const char* iVarName,
                                           char* oPath, std::size_t iPathSize) {
  ClearPath(oPath, iPathSize);
  const char* value = QIRGetEnv(iVarName);
  if (!iFileName || !*iFileName || !value) return E_FAIL;
  try {
    const std::string entries(value);
    const char separator = QIRGetOperatingSystem() == 1 ? ';' : ':';
    std::size_t begin = 0;
    while (begin <= entries.size()) {
      std::size_t end = entries.find(separator, begin);
      if (end == std::string::npos) end = entries.size();
      const std::string directory = entries.substr(begin, end - begin);
      begin = end + 1;
      if (directory.empty()) continue;
      const std::string path = Join(directory, iFileName);
      if (access(path.c_str(), F_OK) == 0 && SUCCEEDED(CopyPath(path, oPath, iPathSize)))
        return S_OK;
    }
  } catch (...) {
    ClearPath(oPath, iPathSize);
  }
  return E_FAIL;
}

int QIRFileAccess(const char* iPath, int iMode) {
  if (!iPath) return -1;
  int mode = F_OK;
  if (iMode & 1) mode |= X_OK;
  if (iMode & 2) mode |= W_OK;
  if (iMode & 4) mode |= R_OK;
  return access(iPath, mode) == 0 ? 0 : -1;
}

int QIRGetFileInfo(const char* iPath, QIRFileInfo* oInfo) {
  if (!iPath) return -2;
  struct stat info;
  if (stat(iPath, &info) != 0) return -1;
  if (oInfo) {
    oInfo->Size = static_cast<long long>(info.st_size);
    oInfo->IsDirectory = S_ISDIR(info.st_mode) ? 1 : 0;
  }
  return 0;
}

HRESULT QIRFOpen(const char* iPath, const char* iMode, QIRFileHandle* oFile) {
  if (!oFile) return E_FAIL;
  *oFile = nullptr;
  if (!iPath || !iMode || QIRCallShouldFail("FOpen")) return E_FAIL;
  std::FILE* file = std::fopen(iPath, iMode);
  if (!file) return E_FAIL;
  QIRFileTag* handle = new (std::nothrow) QIRFileTag{file};
  if (!handle) {
    std::fclose(file);
    return E_OUTOFMEMORY;
  }
  *oFile = handle;
  return S_OK;
}

int QIRFEof(QIRFileHandle iFile) {
  if (!iFile) return 0;
  // feof only knows about the end after a read has hit it; a peek knows before.
  const int next = std::getc(iFile->File);
  if (next == EOF) return 0;
  std::ungetc(next, iFile->File);
  return 1;
}

int QIRFGets(QIRFileHandle iFile, char* oBuffer, int iSize) {
  if (!oBuffer || iSize <= 0) return -1;
  oBuffer[0] = '\0';
  if (!iFile || iSize < 2) return -1;
  if (!std::fgets(oBuffer, iSize, iFile->File)) {
    oBuffer[0] = '\0';
    return -1;
  }
  return 0;
}

HRESULT QIRFClose(QIRFileHandle iFile) {
  if (!iFile) return E_FAIL;
  const int closed = std::fclose(iFile->File);
  delete iFile;
  return closed == 0 ? S_OK : E_FAIL;
}
