// The PostgreSQL advisory lock keys that hosts sharing one database take while one of them makes
// or builds something the others must wait for, in one place so that no two uses share a key: a
// host holding one for minutes (the search build) would otherwise hold up an unrelated creation.
#ifndef FOLIREX_CORE_ADVISORY_LOCKS_H_
#define FOLIREX_CORE_ADVISORY_LOCKS_H_

#include <cstdint>

namespace folirex {

inline constexpr int64_t kListStructuresLock = 7405526203;   // core/list_structures.cpp
inline constexpr int64_t kSettingsVersionLock = 7405526204;  // core/settings_version.cpp
inline constexpr int64_t kSearchBuildLock = 7405526205;      // core/search_structures.cpp
inline constexpr int64_t kArticleKeywordLock = 7405526206;   // core/article_keywords.cpp
inline constexpr int64_t kListBuildLock = 7405526207;        // core/list_structures.cpp

}  // namespace folirex

#endif  // FOLIREX_CORE_ADVISORY_LOCKS_H_
