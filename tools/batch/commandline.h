#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

// The options of one batch sub-command: "--name value [value ...]" pairs after the sub-command name.
// Every option takes the values up to the next "--name"; an option given twice keeps the last values.
class CommandLine {
public:
    // Parses argv[first..argc). Fails (error() not empty) on a value that does not follow an option.
    CommandLine(int argc, char** argv, int first);

    const std::string& error() const { return parseError; }

    bool has(const std::string& name) const { return options.count(name) != 0; }
    // The first value of an option, or `fallback` when the option is absent.
    std::string text(const std::string& name, const std::string& fallback = "") const;
    // All values of an option.
    std::vector<std::string> values(const std::string& name) const;

    // Numeric values. False, with a message in `problem`, when the option is present but its value is
    // missing, not a number, or outside [low, high]; `value` is then left unchanged.
    bool number(const std::string& name, double& value, double low, double high, std::string& problem,
                std::size_t index = 0) const;
    bool integer(const std::string& name, int& value, int low, int high, std::string& problem) const;

    // Options given that are not in `known`.
    std::vector<std::string> unknown(const std::vector<std::string>& known) const;

    // False, with a message in `problem`, when an option given takes another number of values than
    // `counts` says ("--dem A B", "--format" without its value, "--overwrite yes"). Options not listed are
    // not checked.
    bool valueCounts(const std::vector<std::pair<std::string, std::size_t>>& counts,
                     std::string& problem) const;

private:
    std::map<std::string, std::vector<std::string>> options;
    std::string parseError;
};
