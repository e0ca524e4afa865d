#pragma once

#include <map>
#include <string>
#include <vector>

namespace sarvo::cli {

// Exit statuses of sarvo-cli: 2 means the request was refused and nothing changed.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitRefused = 2;

// OptionalValue takes its value in the same argument ("--name=VALUE") or stands alone ("--name").
enum class OptionKind { Flag, WithValue, OptionalValue };

struct OptionRule {
    const char* name;  // with its leading "--"
    OptionKind kind;
};

// The arguments of one command after its options have been taken out.
class ParsedArguments {
public:
    const std::vector<std::string>& Positional() const { return m_positional; }
    bool Has(const std::string& option) const { return m_options.count(option) != 0; }
    const std::string& Value(const std::string& option) const;
    bool WantsHelp() const { return m_wantsHelp; }

    // Fails with a message naming the first unknown option or the option that lacks its value.
    bool Parse(const std::vector<std::string>& arguments, const std::vector<OptionRule>& rules,
               std::string& error);

private:
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_options;
    bool m_wantsHelp = false;
};

}  // namespace sarvo::cli
