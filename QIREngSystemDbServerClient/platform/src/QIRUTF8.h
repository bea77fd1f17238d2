#ifndef QIRUTF8_H
#define QIRUTF8_H
// The one check of UTF-8 the platform's sources share; never included outside platform/src.

#include <cstddef>

namespace QIRUTF8 {

// Byte count of the well-formed prefix of iBytes: iSize when all of it is. Overlongs,
// surrogates and values above U+10FFFF are not well-formed.
std::size_t ValidPrefix(const char* iBytes, std::size_t iSize);

}  // namespace QIRUTF8

#endif
