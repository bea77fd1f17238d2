#ifndef QIRFileServices_H
#define QIRFileServices_H
/// \file
/// Environment, path and text-file services. Paths are UTF-8 char text.

#include "QIRCodes.h"
#include "QIRExport.h"

#include <cstddef>
#include <string>
#include <vector>

/// \param iName the variable's name, may be null
/// \return the variable's value, or null when it is not defined (or iName is null); valid
///   until the environment changes
QIR_API const char* QIRGetEnv(const char* iName);
/// \param iName the variable's name
/// \param oValue receives a copy made with malloc (the caller frees it with free), or null
/// \return S_OK; E_FAIL when the variable is not defined or oValue is null; E_OUTOFMEMORY
///   when the copy cannot be allocated
QIR_API HRESULT QIRGetEnvValue(const char* iName, char** oValue);

/// \return 1 where the entries of a path variable are separated by ';'; any other value
///   (2 here) where ':' separates them
QIR_API int QIRGetOperatingSystem();
/// Splits a path variable's value into its entries, at the separator QIRGetOperatingSystem
/// names. Empty entries are left out: joined to a name they would point at the file-system
/// root.
/// \param iValue the variable's value, may be null
/// \return the entries in order; none for a null value
QIR_API std::vector<std::string> QIRSplitPathVariable(const char* iValue);
/// Joins a directory and a name into oPath.
/// \param iDirectory the directory
/// \param iName the name
/// \param oPath receives the joined path
/// \param iPathSize the size of oPath in bytes, terminator included
/// \return S_OK; E_FAIL, with oPath an empty string, when the result does not fit
QIR_API HRESULT QIRMakePath(const char* iDirectory, const char* iName, char* oPath,
                            std::size_t iPathSize = 256);
/// Looks for a file or directory named iName in iDirectory and below it (symbolic links are
/// not followed, depth is bounded).
/// \param iName the name looked for
/// \param iDirectory where the search starts
/// \param oPath receives the path found, or ""
/// \param iPathSize the size of oPath in bytes
/// \return S_OK when found; E_FAIL otherwise
QIR_API HRESULT QIRFindPath(const char* iName, const char* iDirectory, char* oPath,
                            std::size_t iPathSize = 256);
/// Looks for iFileName in the entries of the path variable iVarName, in order.
/// \param iFileName the file's name
/// \param iVarName the path variable's name
/// \param oPath receives the first existing path, or ""
/// \param iPathSize the size of oPath in bytes
/// \return S_OK when found; E_FAIL otherwise
QIR_API HRESULT QIRGetFilePathFromOfficialVariable(const char* iFileName, const char* iVarName,
                                                   char* oPath, std::size_t iPathSize = 256);
/// \param iPath the path
/// \param iMode 0: exists, 2: write, 4: read
/// \return 0 when iPath can be reached with iMode, -1 otherwise
QIR_API int QIRFileAccess(const char* iPath, int iMode);

/// What QIRGetFileInfo tells of a path.
struct QIRFileInfo {
  long long Size;   ///< The size in bytes.
  int IsDirectory;  ///< Non-zero for a directory.
};
/// \param iPath the path
/// \param oInfo receives what is known of it, when not null
/// \return 0 when iPath exists, -1 when it does not, -2 for a null path
QIR_API int QIRGetFileInfo(const char* iPath, QIRFileInfo* oInfo);

/// An open text file.
typedef struct QIRFileTag* QIRFileHandle;
/// Opens a file.
/// \param iPath the file
/// \param iMode the mode, as fopen takes it ("r", "w"...)
/// \param oFile receives an open handle, or null
/// \return S_OK; E_FAIL when the file cannot be opened or an argument is null;
///   E_OUTOFMEMORY when the handle cannot be allocated
QIR_API HRESULT QIRFOpen(const char* iPath, const char* iMode, QIRFileHandle* oFile);
/// \param iFile an open handle
/// \return 1 while data remains to be read, 0 at the end (or for a null handle)
QIR_API int QIRFEof(QIRFileHandle iFile);
/// Reads one line, its line end included.
/// \param iFile an open handle
/// \param oBuffer receives at most iSize - 1 bytes, always terminated
/// \param iSize the size of oBuffer
/// \return 0 when something was read, -1 at the end or on error
QIR_API int QIRFGets(QIRFileHandle iFile, char* oBuffer, int iSize);
/// Closes the handle.
/// \param iFile an open handle
/// \return S_OK; E_FAIL for a null handle
QIR_API HRESULT QIRFClose(QIRFileHandle iFile);

/// Replaces the file at iPath with iSize bytes from iBytes, all or nothing: they go to a new
/// file in the same directory, which is flushed, synced and renamed over iPath. On E_FAIL the
/// file at iPath is as it was (or still absent) and nothing is left beside it. A file the
/// process may not write is not replaced. A symbolic link keeps pointing where it did and its
/// target is replaced; a target that is not a regular file (a terminal, a pipe) is written in
/// place. A replaced file keeps its permissions (and its owner where the process may set it);
/// a new one gets those the umask allows. Every library write of a file comes through here.
/// \param iPath the file
/// \param iBytes the bytes
/// \param iSize their number
/// \return S_OK, or E_FAIL
QIR_API HRESULT QIRWriteFileAtomically(const char* iPath, const void* iBytes, std::size_t iSize);

#endif
