#include "common/FolderNames.h"

#include "common/ServiceNames.h"

namespace sarvo {

FolderNameProblem CheckFolderName(std::string_view name) {
    if (name.empty())
        return FolderNameProblem::Empty;
    if (name.size() > kFolderNameMaxLength)
        return FolderNameProblem::TooLong;
    if (IsServiceName(name))
        return FolderNameProblem::ServiceName;
    if (name.find_first_of(kForbiddenFolderNameCharacters) != std::string_view::npos)
        return FolderNameProblem::ForbiddenCharacter;
    // A URL path cannot name a folder "." or "..": every client removes such a segment first.
    if (name == "." || name == "..")
        return FolderNameProblem::DotSegment;
    return FolderNameProblem::None;
}

const char* DescribeFolderNameProblem(FolderNameProblem problem) {
    switch (problem) {
        case FolderNameProblem::None:
            return "the name is acceptable";
        case FolderNameProblem::Empty:
            return "the name is empty";
        case FolderNameProblem::TooLong:
            return "the name is longer than 48 characters";
        case FolderNameProblem::ServiceName:
            return "the name belongs to a service (Guestbook, Webchat, WebCommunity)";
        case FolderNameProblem::ForbiddenCharacter:
            return "the name contains one of the characters \" # % & * / : < > ? @ \\ |";
        case FolderNameProblem::DotSegment:
            return "the names . and .. cannot be reached by a URL";
    }
    return "";
}

}  // namespace sarvo
