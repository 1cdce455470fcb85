#include "commandline.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

CommandLine::CommandLine(int argc, char** argv, int first) {
    std::string current;
    for (int i = first; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--", 0) == 0 && argument.size() > 2) {
            current = argument.substr(2);
            options[current].clear();
        } else if (current.empty()) {
            parseError = "unexpected argument \"" + argument + "\" (options start with --)";
            return;
        } else {
            options[current].push_back(argument);
        }
    }
}

std::string CommandLine::text(const std::string& name, const std::string& fallback) const {
    const auto found = options.find(name);
    if (found == options.end() || found->second.empty()) {
        return fallback;
    }
    return found->second.front();
}

std::vector<std::string> CommandLine::values(const std::string& name) const {
    const auto found = options.find(name);
    return found == options.end() ? std::vector<std::string>{} : found->second;
}

bool CommandLine::number(const std::string& name, double& value, double low, double high,
                         std::string& problem, std::size_t index) const {
    const auto found = options.find(name);
    if (found == options.end()) {
        return true;
    }
    if (found->second.size() <= index) {
        problem = "--" + name + " needs a value";
        return false;
    }
    const std::string& text = found->second[index];
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(parsed)) {
        problem = "--" + name + ": \"" + text + "\" is not a number";
        return false;
    }
    if (parsed < low || parsed > high) {
        problem =
            "--" + name + ": " + text + " is outside " + std::to_string(low) + " .. " + std::to_string(high);
        return false;
    }
    value = parsed;
    return true;
}

bool CommandLine::integer(const std::string& name, int& value, int low, int high,
                          std::string& problem) const {
    double parsed = value;
    if (!number(name, parsed, low, high, problem)) {
        return false;
    }
    if (parsed != std::floor(parsed)) {
        problem = "--" + name + ": " + text(name) + " is not a whole number";
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

std::vector<std::string> CommandLine::unknown(const std::vector<std::string>& known) const {
    std::vector<std::string> extra;
    for (const auto& option : options) {
        if (std::find(known.begin(), known.end(), option.first) == known.end()) {
            extra.push_back("--" + option.first);
        }
    }
    return extra;
}

bool CommandLine::valueCounts(const std::vector<std::pair<std::string, std::size_t>>& counts,
                              std::string& problem) const {
    const auto valueWord = [](std::size_t count) {
        return count == 1 ? std::string("one value") : std::to_string(count) + " values";
    };
    for (const auto& [name, count] : counts) {
        const auto found = options.find(name);
        if (found == options.end() || found->second.size() == count) {
            continue;
        }
        const std::vector<std::string>& given = found->second;
        if (count == 0) {
            problem = "--" + name + " takes no value, but was given \"" + given.front() + "\"";
        } else if (given.empty()) {
            problem = "--" + name + " needs " + (count == 1 ? std::string("a value") : valueWord(count));
        } else if (given.size() > count) {
            problem = "--" + name + " takes " + valueWord(count) + ", but \"" + given[count] + "\" follows";
        } else {
            problem = "--" + name + " takes " + valueWord(count) + ", not " + std::to_string(given.size());
        }
        return false;
    }
    return true;
}
