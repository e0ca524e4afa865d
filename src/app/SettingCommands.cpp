#include <arpa/inet.h>

#include <cstdlib>
#include <ostream>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "common/Format.h"
#include "common/Text.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "store/SiteSettings.h"

namespace sarvo::cli {
namespace {

constexpr uint32_t kMaxPort = 65535;
constexpr uint32_t kMaxIpFilterType = 2;
constexpr size_t kIpv4Size = 4;

// How the command line shows and takes each setting; the store's table gives names, types and defaults.
enum class SettingKind { Text, Boolean, Number, Port, Address, FilterType, AddressList };

SettingKind KindOf(const SettingInfo& info) {
    if (info.type == ValueType::String)
        return SettingKind::Text;
    if (info.type == ValueType::Binary)
        return SettingKind::AddressList;
    const std::string name = info.name;
    if (name == "listen_port")
        return SettingKind::Port;
    if (name == "listen_ip")
        return SettingKind::Address;
    if (name == "IPFilterType")
        return SettingKind::FilterType;
    if (name == "HomePageType")
        return SettingKind::Number;
    return SettingKind::Boolean;
}

const char* KindSyntax(SettingKind kind) {
    switch (kind) {
        case SettingKind::Text: return "text";
        case SettingKind::Boolean: return "0|1";
        case SettingKind::Number: return "number";
        case SettingKind::Port: return "1-65535";
        case SettingKind::Address: return "a.b.c.d (0.0.0.0 = all)";
        case SettingKind::FilterType: return "0 off|1 allowed-only|2 forbidden";
        case SettingKind::AddressList: return "a.b.c.d,... (255 = any)";
    }
    return "";
}

std::string FormatAddress(const uint8_t* bytes) {
    return Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

std::string FormatAddressList(const std::vector<uint8_t>& list) {
    std::string text;
    for (size_t i = 0; i + kIpv4Size <= list.size(); i += kIpv4Size) {
        if (!text.empty())
            text += ",";
        text += FormatAddress(list.data() + i);
    }
    return text;
}

bool ParseUnsigned(const std::string& text, uint32_t& out) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (value > 0xFFFFFFFFull)
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool ParseBoolean(const std::string& text, bool& out) {
    for (const char* yes : {"1", "on", "yes", "true"}) {
        if (EqualsIgnoreCase(text, yes)) {
            out = true;
            return true;
        }
    }
    for (const char* no : {"0", "off", "no", "false"}) {
        if (EqualsIgnoreCase(text, no)) {
            out = false;
            return true;
        }
    }
    return false;
}

bool ParseAddress(const std::string& text, uint8_t bytes[kIpv4Size]) {
    return ::inet_pton(AF_INET, text.c_str(), bytes) == 1;
}

bool ParseAddressList(const std::string& text, std::vector<uint8_t>& out, std::string& bad) {
    std::string item;
    for (size_t i = 0; i <= text.size(); ++i) {
        char c = i < text.size() ? text[i] : ',';
        if (c != ',' && c != ' ') {
            item.push_back(c);
            continue;
        }
        if (item.empty())
            continue;
        uint8_t bytes[kIpv4Size];
        if (!ParseAddress(item, bytes)) {
            bad = item;
            return false;
        }
        out.insert(out.end(), bytes, bytes + kIpv4Size);
        item.clear();
    }
    return true;
}

std::string ReadSettingText(const SettingInfo& info) {
    const std::string name = info.name;
    switch (KindOf(info)) {
        case SettingKind::Text: {
            if (name == "mainpagetitle")
                return GetMainPageTitle();
            if (name == "siteintro")
                return GetSiteIntro();
            std::string text;
            return ReadText(Hive::CurrentUser, kSettingsKey, name, text, info.bufferSize) ? text : info.defaultText;
        }
        case SettingKind::Port: return Format("%u", GetListenPort());
        case SettingKind::Address: {
            uint32_t address = GetListenIp();
            return FormatAddress(reinterpret_cast<const uint8_t*>(&address));
        }
        case SettingKind::FilterType: return Format("%u", ReadIpFilterType());
        case SettingKind::AddressList:
            return FormatAddressList(name == "IPFilterList" ? ReadIpFilterList() : ReadAutoBlockList());
        case SettingKind::Boolean:
        case SettingKind::Number: {
            uint32_t value = info.defaultNumber;
            ReadNumber(Hive::CurrentUser, kSettingsKey, name, value);
            return KindOf(info) == SettingKind::Boolean ? (value ? "1" : "0") : Format("%u", value);
        }
    }
    return std::string();
}

// Parses and stores one value; "" on success, else why the value was refused.
std::string WriteSettingText(const SettingInfo& info, const std::string& given, bool& stored) {
    const std::string name = info.name;
    const std::string value = TrimmedCopy(given);
    uint32_t number = 0;
    switch (KindOf(info)) {
        case SettingKind::Text:
            if (value.size() + 1 > info.bufferSize)
                return Format("%s holds at most %zu characters", info.name, info.bufferSize - 1);
            stored = WriteText(Hive::CurrentUser, kSettingsKey, name, value);
            return std::string();
        case SettingKind::Boolean: {
            bool on = false;
            if (!ParseBoolean(value, on))
                return Format("%s is 0 or 1, not \"%s\"", info.name, value.c_str());
            stored = WriteNumber(Hive::CurrentUser, kSettingsKey, name, on ? 1 : 0);
            return std::string();
        }
        case SettingKind::Number:
            if (!ParseUnsigned(value, number))
                return Format("%s is a number, not \"%s\"", info.name, value.c_str());
            stored = WriteNumber(Hive::CurrentUser, kSettingsKey, name, number);
            return std::string();
        case SettingKind::Port:
            if (!ParseUnsigned(value, number) || number < 1 || number > kMaxPort)
                return Format("a port is a number from 1 to 65535, not \"%s\"", value.c_str());
            stored = SetListenPort(static_cast<uint16_t>(number));
            return std::string();
        case SettingKind::FilterType:
            if (!ParseUnsigned(value, number) || number > kMaxIpFilterType)
                return Format("IPFilterType is 0, 1 or 2, not \"%s\"", value.c_str());
            stored = WriteIpFilterType(number);
            return std::string();
        case SettingKind::Address: {
            uint32_t address = 0;
            if (!ParseAddress(value, reinterpret_cast<uint8_t*>(&address)))
                return Format("listen_ip is an IPv4 address such as 192.168.1.5, not \"%s\"", value.c_str());
            stored = SetListenIp(address);
            return std::string();
        }
        case SettingKind::AddressList: {
            std::vector<uint8_t> list;
            std::string bad;
            if (!ParseAddressList(value, list, bad))
                return Format("\"%s\" is not an IPv4 address", bad.c_str());
            stored = name == "IPFilterList" ? WriteIpFilterList(list) : WriteAutoBlockList(list);
            return std::string();
        }
    }
    return "unknown setting kind";
}

int ListKnownSettings(CliStreams streams, const std::string& unknown) {
    streams.err << "sarvo-cli: unknown setting \"" << unknown << "\". The settings are:\n";
    for (const SettingInfo& info : SettingsTable())
        streams.err << "  " << info.name << " (" << KindSyntax(KindOf(info)) << ") " << info.meaning << "\n";
    return kExitRefused;
}

constexpr char kGetUsage[] =
    "Usage: sarvo-cli get NAME\n"
    "Prints the value the server uses for the setting NAME (its default when none is stored).\n"
    "sarvo-cli get --list shows every setting.\n";

constexpr char kSetUsage[] =
    "Usage: sarvo-cli set NAME VALUE\n"
    "Stores VALUE as the setting NAME; the running server uses it from its next request on.\n"
    "sarvo-cli get --list shows every setting and the values it takes.\n";

}  // namespace

int RunGetCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    ParsedArguments parsed;
    std::string error;
    if (!parsed.Parse(arguments, {{"--list", OptionKind::Flag}}, error))
        return Refuse(streams, error);
    if (parsed.WantsHelp()) {
        streams.out << kGetUsage;
        return kExitOk;
    }
    if (parsed.Has("--list")) {
        for (const SettingInfo& info : SettingsTable())
            streams.out << info.name << "\t" << ReadSettingText(info) << "\n";
        return kExitOk;
    }
    if (parsed.Positional().size() != 1)
        return Refuse(streams, "get needs one setting NAME");
    const SettingInfo* info = FindSetting(parsed.Positional()[0]);
    if (!info)
        return ListKnownSettings(streams, parsed.Positional()[0]);
    streams.out << ReadSettingText(*info) << "\n";
    return kExitOk;
}

int RunSetCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    ParsedArguments parsed;
    std::string error;
    if (!parsed.Parse(arguments, {}, error))
        return Refuse(streams, error);
    if (parsed.WantsHelp()) {
        streams.out << kSetUsage;
        return kExitOk;
    }
    if (parsed.Positional().size() != 2)
        return Refuse(streams, "set needs a setting NAME and a VALUE");
    const SettingInfo* info = FindSetting(parsed.Positional()[0]);
    if (!info)
        return ListKnownSettings(streams, parsed.Positional()[0]);
    bool stored = false;
    std::string refusal = WriteSettingText(*info, parsed.Positional()[1], stored);
    if (!refusal.empty())
        return Refuse(streams, refusal);
    if (!stored) {
        streams.err << "sarvo-cli: the settings store could not be written\n";
        return kExitFailed;
    }
    streams.out << info->name << " = " << ReadSettingText(*info) << "\n";
    return kExitOk;
}

}  // namespace sarvo::cli
