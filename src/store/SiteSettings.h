#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/Registry.h"

// One typed accessor per value under the Settings key. Nothing is cached: each call reads or writes
// the store, so a change made elsewhere applies to the next request. A value that is missing, has
// the wrong size or is longer than its reader's buffer reads as the default; setters return false
// when the store cannot be written.
namespace sarvo {

struct SettingInfo {
    const char* name;
    ValueType type;
    uint32_t defaultNumber;
    const char* defaultText;
    size_t bufferSize;  // bytes a text is read into, its NUL included; 0 for numbers and lists
    const char* meaning;
};

// Every Settings value in a fixed order; the accessors below take names, defaults and sizes from it.
const std::vector<SettingInfo>& SettingsTable();
const SettingInfo* FindSetting(std::string_view name);

inline constexpr uint16_t kDefaultListenPort = 80;
inline constexpr uint32_t kIpFilterOff = 0;
inline constexpr uint32_t kIpFilterAllowedOnly = 1;
inline constexpr uint32_t kIpFilterForbidden = 2;

std::string GetMainPageTitle();
bool SetMainPageTitle(std::string_view title);
// Trimmed; "" when there is no introduction.
std::string GetSiteIntro();
bool SetSiteIntro(std::string_view intro);
uint32_t GetHomePageType();
bool SetHomePageType(uint32_t type);
// True only when the home page file is switched on and names an existing file that is not a folder.
bool GetHomePageFile(std::string& out);
std::string GetHomePageFileSetting();
bool SetHomePageFile(std::string_view path);

uint32_t GetListenIp();
bool SetListenIp(uint32_t addressNetworkOrder);
uint16_t GetListenPort();
bool SetListenPort(uint16_t port);

bool IsLogEnabled();
bool SetLogEnabled(bool on);
bool LogSelf();
bool SetLogSelf(bool on);
bool UseIdleProcess();
bool SetUseIdleProcess(bool on);
std::string GetLastFolder();
bool SetLastFolder(std::string_view path);
bool IsDynamicFolderVisible();
bool SetDynamicFolderVisible(bool on);

bool IsGuestbookEnabled();
bool SetGuestbookEnabled(bool on);
bool IsGuestbookAlarmOn();
bool SetGuestbookAlarmOn(bool on);
std::string GetGuestbookDir();
bool SetGuestbookDir(std::string_view path);
std::string GetWebChatWelcomeMsg();
bool SetWebChatWelcomeMsg(std::string_view text);
std::string GetWebCommNameAsHost();
bool SetWebCommNameAsHost(std::string_view text);
std::string GetWebCommDescAsHost();
bool SetWebCommDescAsHost(std::string_view text);
bool IsWebCommHost();
bool SetWebCommHost(bool on);
bool IsWebCommMember();
bool SetWebCommMember(bool on);

bool UsePasswords();
bool SetUsePasswords(bool on);
bool UseAutoBlockList();
bool SetUseAutoBlockList(bool on);
// 0 off, 1 allowed-only, 2 forbidden; anything above reads, and is written, as 0.
uint32_t ReadIpFilterType();
bool WriteIpFilterType(uint32_t type);
// Whole 4-byte entries only; writing an empty list removes the value.
std::vector<uint8_t> ReadIpFilterList();
bool WriteIpFilterList(const std::vector<uint8_t>& list);
std::vector<uint8_t> ReadAutoBlockList();
bool WriteAutoBlockList(const std::vector<uint8_t>& list);

}  // namespace sarvo
