#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/Format.h"
#include "common/Text.h"
#include "platform/CodePage.h"
#include "store/RegFile.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"

namespace sarvo {
namespace {

constexpr char kVersion5Header[] = "Windows Registry Editor Version 5.00";
constexpr char kVersion4Header[] = "REGEDIT4";
constexpr size_t kMaxImportBytes = 64 * 1024 * 1024;

struct ProductTree {
    const char* hivePrefix;
    const char* key;
    Hive hive;
};

constexpr ProductTree kImportableTrees[] = {
    {"HKEY_CURRENT_USER\\", kProductKey, Hive::CurrentUser},
    {"HKEY_LOCAL_MACHINE\\", kFirstRunKey, Hive::LocalMachine},
};

// The file as text in the process code page, whatever encoding it came in.
std::string DecodeFile(const std::string& bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        return ConvertCodePage(std::string_view(bytes).substr(2), "UTF-16LE", ProcessCodePage().c_str());
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return Utf8TextToAnsi(std::string_view(bytes).substr(3));
    return bytes;
}

// Only hex lists continue over lines; a text value may itself end in a backslash.
bool IsHexValueLine(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    if (i < line.size() && line[i] == '"') {
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\')
                ++i;
        }
        ++i;
    } else if (i < line.size() && line[i] == '@') {
        ++i;
    } else {
        return false;
    }
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    if (i >= line.size() || line[i] != '=')
        return false;
    ++i;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    return StartsWithIgnoreCase(line.substr(std::min(i, line.size())), "hex");
}

class RegFileParser {
public:
    bool Parse(const std::string& text, std::vector<RegistryOperation>& operations, std::string& error);

private:
    bool Fail(const std::string& message) {
        m_error = Format("line %zu: %s", m_lineNumber, message.c_str());
        return false;
    }
    bool ParseKeyLine(std::string_view line);
    bool ParseValueLine(std::string_view line);
    bool ParseQuoted(std::string_view& rest, std::string& out);
    bool ParseData(std::string_view data, RegistryValue& value, bool& remove);
    bool ParseHexBytes(std::string_view list, std::vector<uint8_t>& out);

    std::vector<RegistryOperation>* m_operations = nullptr;
    std::string m_error;
    size_t m_lineNumber = 0;
    bool m_inKey = false;
    bool m_keyDeleted = false;
    Hive m_hive = Hive::CurrentUser;
    std::string m_subkey;
};

bool RegFileParser::Parse(const std::string& text, std::vector<RegistryOperation>& operations,
                          std::string& error) {
    m_operations = &operations;
    std::istringstream stream(text);
    std::string line;
    bool sawHeader = false;
    size_t lineCount = 0;
    while (std::getline(stream, line)) {
        m_lineNumber = ++lineCount;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // A value may go on over several lines, each but the last ending in '\'.
        while (!line.empty() && line.back() == '\\' && IsHexValueLine(line)) {
            std::string next;
            if (!std::getline(stream, next))
                break;
            ++lineCount;
            if (!next.empty() && next.back() == '\r')
                next.pop_back();
            line.pop_back();
            line += TrimmedCopy(next);
        }
        std::string trimmed = TrimmedCopy(line);
        if (!sawHeader) {
            if (trimmed.empty())
                continue;
            if (trimmed != kVersion5Header && trimmed != kVersion4Header) {
                error = Format("line %zu: not a registry file (it must begin with \"%s\")", m_lineNumber,
                               kVersion5Header);
                return false;
            }
            sawHeader = true;
            continue;
        }
        if (trimmed.empty() || trimmed[0] == ';')
            continue;
        bool ok = trimmed[0] == '[' ? ParseKeyLine(trimmed) : ParseValueLine(trimmed);
        if (!ok) {
            error = m_error;
            return false;
        }
    }
    if (!sawHeader) {
        error = "line 1: the file is empty";
        return false;
    }
    return true;
}

bool RegFileParser::ParseKeyLine(std::string_view line) {
    if (line.back() != ']')
        return Fail("a key line must end with ']'");
    std::string_view path = line.substr(1, line.size() - 2);
    m_keyDeleted = !path.empty() && path[0] == '-';
    if (m_keyDeleted)
        path.remove_prefix(1);
    for (const ProductTree& tree : kImportableTrees) {
        if (!StartsWithIgnoreCase(path, tree.hivePrefix))
            continue;
        std::string_view subkey = path.substr(std::string_view(tree.hivePrefix).size());
        std::string_view product = tree.key;
        bool inside = EqualsIgnoreCase(subkey, product) ||
                      (StartsWithIgnoreCase(subkey, product) && subkey.size() > product.size() &&
                       subkey[product.size()] == '\\');
        if (!inside || subkey.find("\\\\") != std::string_view::npos || subkey.back() == '\\')
            continue;
        m_inKey = true;
        m_hive = tree.hive;
        m_subkey.assign(subkey);
        auto kind =
            m_keyDeleted ? RegistryOperation::Kind::DeleteKeyTree : RegistryOperation::Kind::CreateKey;
        m_operations->push_back({kind, m_hive, m_subkey, {}});
        return true;
    }
    return Fail("the key " + std::string(path) + " is not one of Sarvo's settings");
}

bool RegFileParser::ParseQuoted(std::string_view& rest, std::string& out) {
    out.clear();
    if (rest.empty() || rest[0] != '"')
        return Fail("a quoted text was expected");
    for (size_t i = 1; i < rest.size(); ++i) {
        char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= rest.size() || (rest[i + 1] != '\\' && rest[i + 1] != '"'))
                return Fail("only \\\\ and \\\" may follow a backslash in a quoted text");
            c = rest[++i];
        }
        out.push_back(c);
    }
    return Fail("a quoted text is not closed");
}

bool RegFileParser::ParseHexBytes(std::string_view list, std::vector<uint8_t>& out) {
    std::string trimmed = TrimmedCopy(list);
    if (trimmed.empty())
        return true;
    std::string item;
    for (size_t i = 0; i <= trimmed.size(); ++i) {
        char c = i < trimmed.size() ? trimmed[i] : ',';
        if (c != ',') {
            item.push_back(c);
            continue;
        }
        item = TrimmedCopy(item);
        if (item.empty() || item.size() > 2 ||
            item.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return Fail("\"" + item + "\" is not a hexadecimal byte");
        out.push_back(static_cast<uint8_t>(std::stoul(item, nullptr, 16)));
        item.clear();
    }
    return true;
}

bool RegFileParser::ParseData(std::string_view data, RegistryValue& value, bool& remove) {
    remove = false;
    if (data == "-") {
        remove = true;
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        std::string text;
        if (!ParseQuoted(data, text))
            return false;
        if (!TrimmedCopy(data).empty())
            return Fail("nothing may follow the closing quote");
        value.type = ValueType::String;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }
    if (StartsWithIgnoreCase(data, "dword:")) {
        std::string digits = TrimmedCopy(data.substr(6));
        if (digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return Fail("a dword needs one to eight hexadecimal digits");
        uint32_t number = static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
        value.type = ValueType::Dword;
        value.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                      static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return true;
    }
    struct HexForm {
        const char* prefix;
        ValueType type;
    };
    for (HexForm form : {HexForm{"hex:", ValueType::Binary}, HexForm{"hex(3):", ValueType::Binary},
                         HexForm{"hex(4):", ValueType::Dword}}) {
        if (StartsWithIgnoreCase(data, form.prefix)) {
            value.type = form.type;
            return ParseHexBytes(data.substr(std::string_view(form.prefix).size()), value.data);
        }
    }
    if (StartsWithIgnoreCase(data, "hex("))
        return Fail("Sarvo keeps only text, dword and binary values");
    return Fail("the value's data is not understood");
}

bool RegFileParser::ParseValueLine(std::string_view line) {
    if (!m_inKey)
        return Fail("a value must follow a [key] line");
    if (m_keyDeleted)
        return Fail("a deleted key cannot hold values");
    RegistryValue value;
    std::string_view rest = line;
    if (rest[0] == '@') {
        rest.remove_prefix(1);
    } else if (!ParseQuoted(rest, value.name)) {
        return false;
    }
    std::string afterName = TrimmedCopy(rest);
    if (afterName.empty() || afterName[0] != '=')
        return Fail("'=' must follow the value's name");
    bool remove = false;
    if (!ParseData(TrimmedCopy(std::string_view(afterName).substr(1)), value, remove))
        return false;
    auto kind = remove ? RegistryOperation::Kind::RemoveValue : RegistryOperation::Kind::SetValue;
    m_operations->push_back({kind, m_hive, m_subkey, std::move(value)});
    return true;
}

}  // namespace

bool ImportRegFile(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "the file cannot be opened";
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() > kMaxImportBytes) {
        error = "the file is too large for a settings export";
        return false;
    }
    std::vector<RegistryOperation> operations;
    RegFileParser parser;
    if (!parser.Parse(DecodeFile(bytes), operations, error))
        return false;
    if (!ApplyRegistryBatch(operations)) {
        error = "the settings store could not be written; nothing was changed";
        return false;
    }
    return true;
}

}  // namespace sarvo
