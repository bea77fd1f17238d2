#include "QIRFileServices.h"

#include "QIRFaultInjection.h"
#include "QIRGuard.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

struct QIRFileTag {
  std::FILE* File;
};

namespace {

// Deep enough for any resource tree, shallow enough that a pathological one ends quickly.
constexpr int kMaxFindDepth = 16;

// Copies iPath with its terminator when it fits iSize bytes; otherwise leaves "" behind.
HRESULT CopyPath(const std::string& iPath, char* oPath, std::size_t iSize)
{
  if (!oPath || iSize == 0) return E_FAIL;
  if (iPath.size() >= iSize) {
    oPath[0] = '\0';
    return E_FAIL;
  }
  std::memcpy(oPath, iPath.c_str(), iPath.size() + 1);
  return S_OK;
}

void ClearPath(char* oPath, std::size_t iSize)
{
  if (oPath && iSize > 0) oPath[0] = '\0';
}

std::string Join(const std::string& iDirectory, const std::string& iName)
{
  if (iDirectory.empty()) return iName;
  if (iName.empty()) return iDirectory;
  if (iDirectory.back() == '/') return iDirectory + iName;
  return iDirectory + '/' + iName;
}

// lstat, so that a link is seen as itself: a link to a directory is never entered.
bool FindBelow(const std::string& iDirectory, const char* iName, int iDepth, std::string& oPath)
{
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

// Where a write of iPath lands: the file a symbolic link names, so that the link survives.
// A dangling link has no such file and is itself replaced.
std::string WriteTarget(const char* iPath)
{
  struct stat info;
  if (lstat(iPath, &info) != 0 || !S_ISLNK(info.st_mode)) return iPath;
  char* resolved = realpath(iPath, nullptr);
  if (!resolved) return iPath;
  std::string target(resolved);
  std::free(resolved);
  return target;
}

std::string DirectoryOf(const std::string& iPath)
{
  const std::size_t slash = iPath.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : iPath.substr(0, slash);
}

// Unique within the process by the counter, across processes by the pid; the name is cut so
// that the temporary stays within the length a directory entry allows.
std::string TemporaryName(const std::string& iTarget)
{
  static std::atomic<unsigned long> counter{0};
  const std::size_t slash = iTarget.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : iTarget.substr(0, slash + 1);
  const std::string name = iTarget.substr(slash == std::string::npos ? 0 : slash + 1, 200);
  return directory + "." + name + "." + std::to_string(getpid()) + "." +
         std::to_string(counter.fetch_add(1, std::memory_order_relaxed)) + ".tmp";
}

// Made with the permissions 0666 less the umask, as a plain fopen would; never an existing file.
int CreateTemporary(const std::string& iTarget, std::string& oName)
{
  for (int attempt = 0; attempt < 100; ++attempt) {
    oName = TemporaryName(iTarget);
    const int descriptor = open(oName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

bool WriteAll(int iDescriptor, const char* iBytes, std::size_t iSize)
{
  while (iSize > 0) {
    const ssize_t written = write(iDescriptor, iBytes, iSize);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    iBytes += written;
    iSize -= static_cast<std::size_t>(written);
  }
  return true;
}

// A device or a pipe cannot be renamed over; it gets the bytes directly.
HRESULT WriteInPlace(const std::string& iTarget, const char* iBytes, std::size_t iSize)
{
  const int descriptor = open(iTarget.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor < 0) return E_FAIL;
  const bool written = WriteAll(descriptor, iBytes, iSize);
  const bool closed = close(descriptor) == 0;
  return written && closed ? S_OK : E_FAIL;
}

// Each step may be made to fail on purpose; a step that fails leaves the temporary for the
// caller to remove.
bool FillTemporary(int iDescriptor, const char* iBytes, std::size_t iSize)
{
  std::FILE* file = fdopen(iDescriptor, "wb");
  if (!file) {
    close(iDescriptor);
    return false;
  }
  bool done = true;
  if (QIRCallShouldFail("WriteFileWrite")) {
    // Half the bytes, as a write cut short by a full disk leaves them.
    [[maybe_unused]] const std::size_t cut = std::fwrite(iBytes, 1, iSize / 2, file);
    done = false;
  } else {
    done = std::fwrite(iBytes, 1, iSize, file) == iSize;
  }
  done = done && !QIRCallShouldFail("WriteFileFlush") && std::fflush(file) == 0;
  done = done && !QIRCallShouldFail("WriteFileSync") && fsync(fileno(file)) == 0;
  const bool closeFails = done && QIRCallShouldFail("WriteFileClose");
  return std::fclose(file) == 0 && done && !closeFails;
}

// Makes the rename itself survive a crash. Some file systems cannot sync a directory; the
// data is written by then, so that is no failure.
void SyncDirectory(const std::string& iDirectory)
{
  const int descriptor = open(iDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  fsync(descriptor);
  close(descriptor);
}

}  // namespace

const char* QIRGetEnv(const char* iName)
{
  return iName ? std::getenv(iName) : nullptr;
}

HRESULT QIRGetEnvValue(const char* iName, char** oValue)
{
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

int QIRGetOperatingSystem()
{
  return 2;
}

std::vector<std::string> QIRSplitPathVariable(const char* iValue)
{
  static const char separator = QIRGetOperatingSystem() == 1 ? ';' : ':';
  std::vector<std::string> entries;
  if (!iValue) return entries;
  const char* begin = iValue;
  for (;;) {
    const char* end = std::strchr(begin, separator);
    const std::size_t length = end ? static_cast<std::size_t>(end - begin) : std::strlen(begin);
    if (length > 0) entries.emplace_back(begin, length);
    if (!end) break;
    begin = end + 1;
  }
  return entries;
}

HRESULT QIRMakePath(const char* iDirectory, const char* iName, char* oPath, std::size_t iPathSize)
{
  ClearPath(oPath, iPathSize);
  if (!iDirectory || !iName) return E_FAIL;
  return QIRGuarded([&] { return CopyPath(Join(iDirectory, iName), oPath, iPathSize); });
}

HRESULT QIRFindPath(const char* iName, const char* iDirectory, char* oPath, std::size_t iPathSize)
{
  ClearPath(oPath, iPathSize);
  if (!iName || !*iName || !iDirectory || !*iDirectory) return E_FAIL;
  return QIRGuarded([&] {
    std::string path;
    if (!FindBelow(iDirectory, iName, 0, path)) return E_FAIL;
    return CopyPath(path, oPath, iPathSize);
  });
}

HRESULT QIRGetFilePathFromOfficialVariable(const char* iFileName, const char* iVarName, char* oPath,
                                           std::size_t iPathSize)
{
  ClearPath(oPath, iPathSize);
  const char* value = QIRGetEnv(iVarName);
  if (!iFileName || !*iFileName || !value) return E_FAIL;
  const HRESULT hr = QIRGuarded([&] {
    for (const std::string& directory : QIRSplitPathVariable(value)) {
      const std::string path = Join(directory, iFileName);
      if (access(path.c_str(), F_OK) == 0 && SUCCEEDED(CopyPath(path, oPath, iPathSize)))
        return S_OK;
    }
    return E_FAIL;
  });
  if (FAILED(hr)) ClearPath(oPath, iPathSize);
  return hr;
}

int QIRFileAccess(const char* iPath, int iMode)
{
  if (!iPath) return -1;
  int mode = F_OK;
  if (iMode & 1) mode |= X_OK;
  if (iMode & 2) mode |= W_OK;
  if (iMode & 4) mode |= R_OK;
  return access(iPath, mode) == 0 ? 0 : -1;
}

int QIRGetFileInfo(const char* iPath, QIRFileInfo* oInfo)
{
  if (!iPath) return -2;
  struct stat info;
  if (stat(iPath, &info) != 0) return -1;
  if (oInfo) {
    oInfo->Size = static_cast<long long>(info.st_size);
    oInfo->IsDirectory = S_ISDIR(info.st_mode) ? 1 : 0;
  }
  return 0;
}

HRESULT QIRFOpen(const char* iPath, const char* iMode, QIRFileHandle* oFile)
{
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

int QIRFEof(QIRFileHandle iFile)
{
  if (!iFile) return 0;
  // feof only knows about the end after a read has hit it; a peek knows before.
  const int next = std::getc(iFile->File);
  if (next == EOF) return 0;
  std::ungetc(next, iFile->File);
  return 1;
}

int QIRFGets(QIRFileHandle iFile, char* oBuffer, int iSize)
{
  if (!oBuffer || iSize <= 0) return -1;
  oBuffer[0] = '\0';
  if (!iFile || iSize < 2) return -1;
  if (!std::fgets(oBuffer, iSize, iFile->File)) {
    oBuffer[0] = '\0';
    return -1;
  }
  return 0;
}

HRESULT QIRFClose(QIRFileHandle iFile)
{
  if (!iFile) return E_FAIL;
  const int closed = std::fclose(iFile->File);
  delete iFile;
  return closed == 0 ? S_OK : E_FAIL;
}

HRESULT QIRWriteFileAtomically(const char* iPath, const void* iBytes, std::size_t iSize)
{
  if (!iPath || !*iPath || (!iBytes && iSize > 0)) return E_FAIL;
  const char* bytes = iBytes ? static_cast<const char*>(iBytes) : "";
  return QIRGuarded([&] {
    const std::string target = WriteTarget(iPath);
    struct stat existing;
    const bool exists = stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
      if (S_ISDIR(existing.st_mode)) {
        errno = EISDIR;  // callers report the reason with strerror
        return E_FAIL;
      }
      return WriteInPlace(target, bytes, iSize);
    }
    // Renaming would replace a file the process could not have written to.
    if (exists && access(target.c_str(), W_OK) != 0) return E_FAIL;
    if (QIRCallShouldFail("WriteFileOpen")) return E_FAIL;
    std::string temporary;
    const int descriptor = CreateTemporary(target, temporary);
    if (descriptor < 0) return E_FAIL;
    if (exists) {
      // Best effort: without the right to, the new file is the writer's, as a new file is.
      if (fchown(descriptor, existing.st_uid, existing.st_gid) != 0) errno = 0;
      if (fchmod(descriptor, existing.st_mode & 07777) != 0) errno = 0;
    }
    const bool replaced = FillTemporary(descriptor, bytes, iSize) &&
                          !QIRCallShouldFail("WriteFileRename") &&
                          std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!replaced) {
      unlink(temporary.c_str());
      return E_FAIL;
    }
    SyncDirectory(DirectoryOf(target));
    return S_OK;
  });
}
