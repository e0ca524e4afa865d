#include <cstdio>
#include <fstream>

#include "common/Format.h"
#include "platform/CodePage.h"
#include "store/RegFile.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"

namespace sarvo {
namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr char kUserHivePrefix[] = "HKEY_CURRENT_USER\\";
constexpr size_t kHexLineWidth = 80;
constexpr size_t kHexContinuationIndent = 2;

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

std::string TextOf(const std::vector<uint8_t>& data) {
    std::string text(data.begin(), data.end());
    size_t end = text.find('\0');
    return end == std::string::npos ? text : text.substr(0, end);
}

// Bytes as "xx,xx,..." wrapped with a trailing '\' before the line would pass 80 columns.
std::string HexList(const std::vector<uint8_t>& data, size_t column) {
    std::string text;
    for (size_t i = 0; i < data.size(); ++i) {
        std::string item = Format("%02x", data[i]);
        if (i + 1 < data.size())
            item.push_back(',');
        if (column + item.size() + 1 > kHexLineWidth && i > 0) {
            text += "\\\r\n";
            text.append(kHexContinuationIndent, ' ');
            column = kHexContinuationIndent;
        }
        text += item;
        column += item.size();
    }
    return text;
}

std::string ValueLine(const RegistryValue& value) {
    std::string line = value.name.empty() ? std::string("@") : Quoted(value.name);
    line += "=";
    switch (value.type) {
        case ValueType::String:
            return line + Quoted(TextOf(value.data));
        case ValueType::Dword:
            if (value.data.size() == 4) {
                uint32_t number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                  static_cast<uint32_t>(value.data[3]) << 24;
                return line + Format("dword:%08x", number);
            }
            line += "hex(4):";
            return line + HexList(value.data, line.size());
        case ValueType::Binary:
            line += "hex:";
            return line + HexList(value.data, line.size());
    }
    line += Format("hex(%u):", static_cast<unsigned>(value.type));
    return line + HexList(value.data, line.size());
}

void WriteKey(const std::string& path, std::string& out) {
    out += "[" + std::string(kUserHivePrefix) + path + "]\r\n";
    for (const RegistryValue& value : ListValues(Hive::CurrentUser, path))
        out += ValueLine(value) + "\r\n";
    out += "\r\n";
    for (const std::string& child : ListSubkeys(Hive::CurrentUser, path))
        WriteKey(path + "\\" + child, out);
}

}  // namespace

bool ExportRegBytes(std::string& bytes, std::string& error) {
    std::string text = std::string(kHeader) + "\r\n\r\n";
    if (KeyExists(Hive::CurrentUser, kProductKey))
        WriteKey(kProductKey, text);
    std::string utf16 = ConvertCodePage(text, ProcessCodePage().c_str(), "UTF-16LE");
    if (utf16.empty()) {
        error = "the settings could not be converted to UTF-16";
        return false;
    }
    bytes = "\xFF\xFE" + utf16;
    return true;
}

bool ExportRegFile(const std::string& path, std::string& error) {
    std::string bytes;
    if (!ExportRegBytes(bytes, error))
        return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        error = "the file could not be written";
        return false;
    }
    return true;
}

}  // namespace sarvo
