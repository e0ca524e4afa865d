#include "services/CommunityOwner.h"

#include <algorithm>

#include "common/ServiceNames.h"
#include "common/Text.h"
#include "platform/ContentType.h"
#include "store/CommunityRecords.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"

namespace sarvo {
namespace {

constexpr char kStoreFailed[] = "the settings store could not be written";

std::vector<std::string> PublishedFileNames() {
    std::vector<std::string> names;
    for (int index = 0; std::optional<PublishedFileEntry> entry = EnumPublishedFile(index); ++index)
        names.push_back(entry->name);
    return names;
}

bool Contains(const std::vector<std::string>& choices, std::string_view wanted) {
    return std::find(choices.begin(), choices.end(), wanted) != choices.end();
}

void TrimOwnerFields(CommunityHost& host) {
    for (std::string* text :
         {&host.id, &host.memberName, &host.icon, &host.page, &host.memberDescription, &host.loginUrl})
        TrimBlanks(*text);
}

std::string CheckOwnerFields(const CommunityHost& host) {
    if (host.id.size() < kHostIdMin || host.id.size() > kCommunityIdMax)
        return "a member ID has 2 to 64 characters";
    if (host.loginUrl.size() < kHostLoginUrlMin)
        return "a login URL has at least 12 characters";
    for (const std::string* text : {&host.memberName, &host.memberDescription, &host.loginUrl}) {
        if (text->size() > kCommunityTextMax)
            return "names, descriptions and URLs hold at most 255 characters";
    }
    if (!Contains(CommunityPageChoices(), host.page))
        return "\"" + host.page +
               "\" is not a page of this site (the root \"\", a published folder followed by '/', "
               "Webchat/, WebCommunity/ or a published file)";
    if (!host.icon.empty() && !Contains(CommunityIconChoices(), host.icon))
        return "\"" + host.icon + "\" is not a published image file";
    return std::string();
}

}  // namespace

std::string AddCommunityMemberId(std::string_view id) {
    std::string trimmed = TrimmedCopy(id);
    if (trimmed.size() < kNewMemberIdMin || trimmed.size() > kCommunityIdMax)
        return "a member ID has 3 to 64 characters";
    if (FindCommunityMember(trimmed))
        return "there is already a member with the ID \"" + trimmed + "\"";
    if (!StoreCommunityMember({trimmed, {}, {}, {}, {}}))
        return kStoreFailed;
    return std::string();
}

std::string RemoveCommunityMemberIds(const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
        if (!FindCommunityMember(id))
            return "there is no member with the ID \"" + id + "\"";
    }
    for (const std::string& id : ids) {
        if (!RemoveCommunityMember(id))
            return kStoreFailed;
    }
    return std::string();
}

std::vector<std::string> CommunityPageChoices() {
    std::vector<std::string> choices{""};
    std::string folder;
    for (int index = 0; EnumFolderName(index, folder); ++index)
        choices.push_back(folder + "/");
    choices.push_back(std::string(kWebchatName) + "/");
    choices.push_back(std::string(kWebCommunityName) + "/");
    for (std::string& name : PublishedFileNames())
        choices.push_back(std::move(name));
    return choices;
}

std::vector<std::string> CommunityIconChoices() {
    std::vector<std::string> choices;
    for (std::string& name : PublishedFileNames()) {
        if (StartsWithIgnoreCase(LookupContentType(name), "image/"))
            choices.push_back(std::move(name));
    }
    std::sort(choices.begin(), choices.end(),
              [](const std::string& a, const std::string& b) { return CompareIgnoreCase(a, b) < 0; });
    return choices;
}

std::string AddCommunityHostRecord(CommunityHost host) {
    TrimOwnerFields(host);
    if (std::string refusal = CheckOwnerFields(host); !refusal.empty())
        return refusal;
    if (FindCommunityHost(host.id))
        return "there is already a host record with the member ID \"" + host.id + "\"";
    host.hostName.clear();
    host.hostDescription.clear();
    host.hostPage.clear();
    host.lastLogin = {};
    return StoreCommunityHost(host) ? std::string() : kStoreFailed;
}

std::string UpdateCommunityHostRecord(CommunityHost host) {
    TrimOwnerFields(host);
    if (std::string refusal = CheckOwnerFields(host); !refusal.empty())
        return refusal;
    if (!StoreHostOwnerFields(host))
        return "there is no host record with the member ID \"" + host.id + "\"";
    return std::string();
}

std::string RemoveCommunityHostIds(const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
        if (!FindCommunityHost(id))
            return "there is no host record with the member ID \"" + id + "\"";
    }
    for (const std::string& id : ids) {
        if (!RemoveCommunityHost(id))
            return kStoreFailed;
    }
    return std::string();
}

}  // namespace sarvo
