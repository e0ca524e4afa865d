#include "app/CliArguments.h"

namespace sarvo::cli {
namespace {

const OptionSpec* FindSpec(const std::vector<OptionSpec>& specs, const std::string& name) {
    for (const auto& option : specs) {
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

bool ParsedArguments::Parse(const std::vector<std::string>& arguments, const std::vector<OptionSpec>& specs,
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
        const OptionSpec* option = FindSpec(specs, argument);
        if (!option) {
            error = "unknown option " + argument;
            return false;
        }
        if (option->kind == OptionKind::Flag) {
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
