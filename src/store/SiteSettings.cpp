#include "store/SiteSettings.h"

#include <optional>
#include <unordered_map>

#include "common/Text.h"
#include "platform/FileSystem.h"
#include "store/RegistryKeys.h"
#include "store/SettingsSnapshot.h"

namespace sarvo {
namespace {

constexpr size_t kPathBufferSize = 260;
constexpr size_t kTitleBufferSize = 80;
constexpr size_t kSiteIntroBufferSize = 510;
constexpr size_t kShortTextBufferSize = 257;
constexpr uint32_t kMaxPort = 65535;
constexpr uint32_t kHomePageFileType = 1;
constexpr size_t kAddressEntrySize = 4;

const std::vector<SettingInfo> kSettings = {
    {"mainpagetitle", ValueType::String, 0, "Welcome to My Website!", kTitleBufferSize,
     "title of the home page"},
    {"siteintro", ValueType::String, 0, "", kSiteIntroBufferSize, "introduction paragraph of the home page"},
    {"HomePageType", ValueType::Dword, 0, "", 0, "1 = serve HomePageFile as the home page"},
    {"HomePageFile", ValueType::String, 0, "", kPathBufferSize, "full path of the home page file"},
    {"listen_ip", ValueType::Dword, 0, "", 0, "IPv4 address to listen on, 0 = all addresses"},
    {"listen_port", ValueType::Dword, kDefaultListenPort, "", 0, "TCP port to listen on"},
    {"enablelog", ValueType::Dword, 0, "", 0, "write the logbook"},
    {"logself", ValueType::Dword, 1, "", 0, "also log requests from this computer"},
    {"idleprocess", ValueType::Dword, 0, "", 0, "run at idle priority"},
    {"lastfolder", ValueType::String, 0, "", kPathBufferSize, "folder last chosen when adding a folder"},
    {"DynamicFolderVisible", ValueType::Dword, 1, "", 0, "list the published single files on the home page"},
    {"EnableGuestbook", ValueType::Dword, 0, "", 0, "guestbook service on"},
    {"GuestbookAlarm", ValueType::Dword, 0, "", 0, "tell the owner when a guestbook message arrives"},
    {"GuestbookDir", ValueType::String, 0, "", kPathBufferSize, "folder of the guestbook messages"},
    {"WebChatWelcomeMsg", ValueType::String, 0, "", kShortTextBufferSize, "welcome message of the chat room"},
    {"WebCommNameAsHost", ValueType::String, 0, "", kShortTextBufferSize,
     "name of this server as community host"},
    {"WebCommDescAsHost", ValueType::String, 0, "", kShortTextBufferSize,
     "description of this server as community host"},
    {"AsWebCommHost", ValueType::Dword, 0, "", 0, "act as community host"},
    {"AsWebCommMember", ValueType::Dword, 0, "", 0, "act as community member"},
    {"Use Passwords", ValueType::Dword, 0, "", 0, "require a user name and password"},
    {"Use AutoBlockList", ValueType::Dword, 1, "", 0, "the auto-block list is in force"},
    {"AutoBlockList", ValueType::Binary, 0, "", 0, "addresses blocked automatically"},
    {"IPFilterType", ValueType::Dword, kIpFilterOff, "", 0, "IP filter: 0 off, 1 allowed-only, 2 forbidden"},
    {"IPFilterList", ValueType::Binary, 0, "", 0, "IP filter patterns"},
};

const SettingInfo& Setting(std::string_view name) {
    const SettingInfo* info = FindSetting(name);
    // Only names from the table above are passed in; a typo is a programming error caught by tests.
    return info ? *info : kSettings.front();
}

std::string ReadSettingText(std::string_view name) {
    const SettingInfo& info = Setting(name);
    std::string text;
    return ReadText(Hive::CurrentUser, kSettingsKey, info.name, text, info.bufferSize) ? text
                                                                                       : info.defaultText;
}

bool WriteSettingText(std::string_view name, std::string_view text) {
    return WriteText(Hive::CurrentUser, kSettingsKey, Setting(name).name, text);
}

uint32_t ReadStoredNumber(const SettingInfo& info) {
    uint32_t value = info.defaultNumber;
    return ReadNumber(Hive::CurrentUser, kSettingsKey, info.name, value) ? value : info.defaultNumber;
}

// Every request reads several of these, and the thread's next request most often reads them from the
// same copy of the store: the numbers read from a copy are kept for the thread until its copy changes.
uint32_t ReadSettingNumber(std::string_view name) {
    const SettingInfo& info = Setting(name);
    const SettingsSnapshot* snapshot = ScopedSnapshot();
    if (!snapshot)
        return ReadStoredNumber(info);
    struct KeptNumbers {
        uint64_t copy = 0;
        std::vector<std::optional<uint32_t>> numbers;
    };
    thread_local KeptNumbers kept;
    if (kept.copy != snapshot->CopyNumber()) {
        kept.copy = snapshot->CopyNumber();
        kept.numbers.assign(kSettings.size(), std::nullopt);
    }
    std::optional<uint32_t>& number = kept.numbers[static_cast<size_t>(&info - kSettings.data())];
    if (!number)
        number = ReadStoredNumber(info);
    return *number;
}

bool WriteSettingNumber(std::string_view name, uint32_t value) {
    return WriteNumber(Hive::CurrentUser, kSettingsKey, Setting(name).name, value);
}

bool ReadSettingFlag(std::string_view name) {
    return ReadSettingNumber(name) != 0;
}

bool WriteSettingFlag(std::string_view name, bool on) {
    return WriteSettingNumber(name, on ? 1 : 0);
}

std::vector<uint8_t> ReadAddressList(std::string_view name) {
    std::vector<uint8_t> list;
    ReadBlob(Hive::CurrentUser, kSettingsKey, Setting(name).name, list);
    list.resize(list.size() - list.size() % kAddressEntrySize);
    return list;
}

bool WriteAddressList(std::string_view name, const std::vector<uint8_t>& list) {
    const char* valueName = Setting(name).name;
    if (list.empty()) {
        RemoveValue(Hive::CurrentUser, kSettingsKey, valueName);
        return true;
    }
    return WriteBlob(Hive::CurrentUser, kSettingsKey, valueName, list.data(), list.size());
}

}  // namespace

const std::vector<SettingInfo>& SettingsTable() {
    return kSettings;
}

const SettingInfo* FindSetting(std::string_view name) {
    // A request looks up every setting it reads, nearly always spelled as in the table: an exact
    // match is looked up before one that ignores case is searched for.
    static const std::unordered_map<std::string_view, const SettingInfo*> kByName = [] {
        std::unordered_map<std::string_view, const SettingInfo*> byName;
        for (const SettingInfo& info : kSettings)
            byName.emplace(info.name, &info);
        return byName;
    }();
    if (auto found = kByName.find(name); found != kByName.end())
        return found->second;
    for (const SettingInfo& info : kSettings) {
        if (EqualsIgnoreCase(info.name, name))
            return &info;
    }
    return nullptr;
}

std::string GetMainPageTitle() {
    return ReadSettingText("mainpagetitle");
}
bool SetMainPageTitle(std::string_view title) {
    return WriteSettingText("mainpagetitle", title);
}

std::string GetSiteIntro() {
    std::string intro = ReadSettingText("siteintro");
    TrimBlanks(intro);
    return intro;
}
bool SetSiteIntro(std::string_view intro) {
    return WriteSettingText("siteintro", intro);
}

uint32_t GetHomePageType() {
    return ReadSettingNumber("HomePageType");
}
bool SetHomePageType(uint32_t type) {
    return WriteSettingNumber("HomePageType", type);
}

bool GetHomePageFile(std::string& out) {
    out.clear();
    if (GetHomePageType() != kHomePageFileType)
        return false;
    const SettingInfo& info = Setting("HomePageFile");
    std::string path;
    if (!ReadText(Hive::CurrentUser, kSettingsKey, info.name, path, info.bufferSize) || !IsExistingFile(path))
        return false;
    out = path;
    return true;
}
std::string GetHomePageFileSetting() {
    return ReadSettingText("HomePageFile");
}
bool SetHomePageFile(std::string_view path) {
    return WriteSettingText("HomePageFile", path);
}

uint32_t GetListenIp() {
    return ReadSettingNumber("listen_ip");
}
bool SetListenIp(uint32_t addressNetworkOrder) {
    return WriteSettingNumber("listen_ip", addressNetworkOrder);
}

uint16_t GetListenPort() {
    uint32_t port = ReadSettingNumber("listen_port");
    if (port == 0)
        return kDefaultListenPort;
    return static_cast<uint16_t>(port > kMaxPort ? kMaxPort : port);
}
bool SetListenPort(uint16_t port) {
    return WriteSettingNumber("listen_port", port);
}

bool IsLogEnabled() {
    return ReadSettingFlag("enablelog");
}
bool SetLogEnabled(bool on) {
    return WriteSettingFlag("enablelog", on);
}
bool LogSelf() {
    return ReadSettingFlag("logself");
}
bool SetLogSelf(bool on) {
    return WriteSettingFlag("logself", on);
}
bool UseIdleProcess() {
    return ReadSettingFlag("idleprocess");
}
bool SetUseIdleProcess(bool on) {
    return WriteSettingFlag("idleprocess", on);
}
std::string GetLastFolder() {
    return ReadSettingText("lastfolder");
}
bool SetLastFolder(std::string_view path) {
    return WriteSettingText("lastfolder", path);
}
bool IsDynamicFolderVisible() {
    return ReadSettingFlag("DynamicFolderVisible");
}
bool SetDynamicFolderVisible(bool on) {
    return WriteSettingFlag("DynamicFolderVisible", on);
}

bool IsGuestbookEnabled() {
    return ReadSettingFlag("EnableGuestbook");
}
bool SetGuestbookEnabled(bool on) {
    return WriteSettingFlag("EnableGuestbook", on);
}
bool IsGuestbookAlarmOn() {
    return ReadSettingFlag("GuestbookAlarm");
}
bool SetGuestbookAlarmOn(bool on) {
    return WriteSettingFlag("GuestbookAlarm", on);
}
std::string GetGuestbookDir() {
    return ReadSettingText("GuestbookDir");
}
bool SetGuestbookDir(std::string_view path) {
    return WriteSettingText("GuestbookDir", path);
}
std::string GetWebChatWelcomeMsg() {
    return ReadSettingText("WebChatWelcomeMsg");
}
bool SetWebChatWelcomeMsg(std::string_view text) {
    return WriteSettingText("WebChatWelcomeMsg", text);
}
std::string GetWebCommNameAsHost() {
    return ReadSettingText("WebCommNameAsHost");
}
bool SetWebCommNameAsHost(std::string_view text) {
    return WriteSettingText("WebCommNameAsHost", text);
}
std::string GetWebCommDescAsHost() {
    return ReadSettingText("WebCommDescAsHost");
}
bool SetWebCommDescAsHost(std::string_view text) {
    return WriteSettingText("WebCommDescAsHost", text);
}
bool IsWebCommHost() {
    return ReadSettingFlag("AsWebCommHost");
}
bool SetWebCommHost(bool on) {
    return WriteSettingFlag("AsWebCommHost", on);
}
bool IsWebCommMember() {
    return ReadSettingFlag("AsWebCommMember");
}
bool SetWebCommMember(bool on) {
    return WriteSettingFlag("AsWebCommMember", on);
}

bool UsePasswords() {
    return ReadSettingFlag("Use Passwords");
}
bool SetUsePasswords(bool on) {
    return WriteSettingFlag("Use Passwords", on);
}
bool UseAutoBlockList() {
    return ReadSettingFlag("Use AutoBlockList");
}
bool SetUseAutoBlockList(bool on) {
    return WriteSettingFlag("Use AutoBlockList", on);
}

uint32_t ReadIpFilterType() {
    uint32_t type = ReadSettingNumber("IPFilterType");
    return type > kIpFilterForbidden ? kIpFilterOff : type;
}
bool WriteIpFilterType(uint32_t type) {
    return WriteSettingNumber("IPFilterType", type > kIpFilterForbidden ? kIpFilterOff : type);
}

std::vector<uint8_t> ReadIpFilterList() {
    return ReadAddressList("IPFilterList");
}
bool WriteIpFilterList(const std::vector<uint8_t>& list) {
    return WriteAddressList("IPFilterList", list);
}
std::vector<uint8_t> ReadAutoBlockList() {
    return ReadAddressList("AutoBlockList");
}
bool WriteAutoBlockList(const std::vector<uint8_t>& list) {
    return WriteAddressList("AutoBlockList", list);
}

}  // namespace sarvo
