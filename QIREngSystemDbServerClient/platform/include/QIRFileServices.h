#ifndef QIRFileServices_H
#define QIRFileServices_H
/// \file
/// Environment, path and text-file services. Paths are UTF-8 char text.

#include <cstddef>

#include "QIRCodes.h"
#include "QIRExport.h"

/// The variable's value, or null when it is not defined. Valid until the environment changes.
QIR_API const char* QIRGetEnv(const char* iName);
/// S_OK with *oValue a copy made with malloc (the caller frees it with free), or E_FAIL with
/// *oValue null when the variable is not defined.
QIR_API HRESULT QIRGetEnvValue(const char* iName, char** oValue);

/// Separator of the entries of a path variable: ';' where this returns 1, else ':'.
QIR_API int QIRGetOperatingSystem();
/// Joins a directory and a name into oPath. E_FAIL when the result does not fit iPathSize
/// bytes (terminator included); oPath then holds an empty string.
QIR_API HRESULT QIRMakePath(const char* iDirectory, const char* iName, char* oPath,
                            std::size_t iPathSize = 256);
/// Looks for a file or directory named iName in iDirectory and below it (symbolic links are
/// not followed, depth is bounded). S_OK with its path in oPath, else E_FAIL and "".
QIR_API HRESULT QIRFindPath(const char* iName, const char* iDirectory, char* oPath,
                            std::size_t iPathSize = 256);
/// Looks for iFileName in the entries of the path variable iVarName, in order. S_OK with the
/// first existing path in oPath; E_FAIL and "" otherwise.
QIR_API HRESULT QIRGetFilePathFromOfficialVariable(const char* iFileName,
                                                   const char* iVarName, char* oPath,
                                                   std::size_t iPathSize = 256);
/// 0 when iPath can be reached with iMode (0: exists, 2: write, 4: read), -1 otherwise.
QIR_API int QIRFileAccess(const char* iPath, int iMode);

struct QIRFileInfo {
  long long Size;
  int IsDirectory;
};
/// 0 when iPath exists (oInfo filled when given), -1 when it does not, -2 for a null path.
QIR_API int QIRGetFileInfo(const char* iPath, QIRFileInfo* oInfo);

typedef struct QIRFileTag* QIRFileHandle;
/// S_OK with an open handle, or E_FAIL with *oFile null.
QIR_API HRESULT QIRFOpen(const char* iPath, const char* iMode, QIRFileHandle* oFile);
/// 1 while data remains to be read, 0 at the end (or for a null handle).
QIR_API int QIRFEof(QIRFileHandle iFile);
/// Reads one line, its line end included, into oBuffer (at most iSize - 1 bytes, always
/// terminated). 0 when something was read, -1 at the end or on error.
QIR_API int QIRFGets(QIRFileHandle iFile, char* oBuffer, int iSize);
/// Closes the handle. S_OK, or E_FAIL for a null handle.
QIR_API HRESULT QIRFClose(QIRFileHandle iFile);

/// Replaces the file at iPath with iSize bytes from iBytes, all or nothing: they go to a new
/// file in the same directory, which is flushed, synced and renamed over iPath. On E_FAIL the
/// file at iPath is as it was (or still absent) and nothing is left beside it. A file the
/// process may not write is not replaced. A symbolic link keeps pointing where it did and its
/// target is replaced; a target that is not a regular file (a terminal, a pipe) is written in
/// place. A replaced file keeps its permissions (and its owner where the process may set it);
/// a new one gets those the umask allows. Every library write of a file comes through here.
QIR_API HRESULT QIRWriteFileAtomically(const char* iPath, const void* iBytes, std::size_t iSize);

#endif
