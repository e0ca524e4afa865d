#pragma once

#include <string_view>

namespace sarvo {

inline constexpr size_t kFolderNameMaxLength = 48;

// Characters that would break the folder's URL or the home page's links.
inline constexpr std::string_view kForbiddenFolderNameCharacters = "\"#%&*/:<>?@\\|";

enum class FolderNameProblem { None, Empty, TooLong, ServiceName, ForbiddenCharacter, DotSegment };

// Checks an already trimmed name. Whether another folder has the name is the caller's question.
FolderNameProblem CheckFolderName(std::string_view name);
const char* DescribeFolderNameProblem(FolderNameProblem problem);

}  // namespace sarvo
