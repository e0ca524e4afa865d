#include "app/CliArguments.h"

namespace sarvo::cli {
namespace {

const OptionRule* FindRule(const std::vector<OptionRule>& rules, const std::string& name) {
    for (const auto& option : rules) {
        if (name == option.name)
            return &option;
    }
    return nullptr;
}

}  // namespace

const std::string& ParsedArguments::Value(const std::string& option) const {
    static const std::string empty;
    auto found = m_options.find(option);
    return found == m_options.end() ? empty : found->second;
}

bool ParsedArguments::Parse(const std::vector<std::string>& arguments, const std::vector<OptionRule>& rules,
                            std::string& error) {
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            m_positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help") {
            m_wantsHelp = true;
            continue;
        }
        const size_t equals = argument.find('=');
        if (equals != std::string::npos) {
            const std::string name = argument.substr(0, equals);
            const OptionRule* option = FindRule(rules, name);
            if (!option || option->kind != OptionKind::OptionalValue) {
                error = "unknown option " + argument;
                return false;
            }
            m_options[name] = argument.substr(equals + 1);
            continue;
        }
        const OptionRule* option = FindRule(rules, argument);
        if (!option) {
            error = "unknown option " + argument;
            return false;
        }
        if (option->kind != OptionKind::WithValue) {
            m_options[argument];
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = "option " + argument + " needs a value";
            return false;
        }
        m_options[argument] = arguments[++i];
    }
    return true;
}

}  // namespace sarvo::cli
