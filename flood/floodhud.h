#pragma once

#include <QString>
#include <string>
#include <string_view>

// What the flood's heads-up display shows: the clock, the water left in the reservoir, its capacity
// and the depth range of the colour legend. The same five values make up the per-step display-state
// file of a flood result folder (n.txt), which the live run writes and the replay reads.
class FloodHud {
public:
    double time = 0.0;      // simulated time, s
    float residual = 0.0f;  // water still in the reservoir, m^3
    float capacity = 0.0f;  // reservoir capacity, m^3
    int colourLow = 0;      // depth colour range, m
    int colourHigh = 20;

    // Five lines: time, residual, capacity (general format, six significant digits), colour range low
    // and high (decimal integers); no line end after the last.
    std::string stateText() const;
    // Writes stateText to `path` through a temporary file. On failure prints "Open failed." and the
    // reason, and returns false.
    bool writeState(const std::string& path) const;
    // Reads up to five lines in the order above. A missing line reads as 0, and so does a line that is
    // not a number or holds a value no run writes (a time outside 0 to maxStateSeconds, a volume that is
    // not finite, a range beyond an int), with a line saying so. When the file cannot be read (missing,
    // not a regular file, larger than a state file), prints "Open failed.", leaves the state unchanged
    // and returns false. `problem`, when given, takes the reason or the first line said, for the user.
    bool readState(const std::string& path, std::string* problem = nullptr);
    // The same for the text of a display-state file; `name` is used in the lines it prints.
    void parseState(std::string_view text, const std::string& name, std::string* problem = nullptr);

    // Longest simulated time a display-state file may give, s (about 31 years).
    static constexpr float maxStateSeconds = 1e9f;

    // The lines as shown: "Time: 1 h 0 m 0 s", "Storage: 100.00 million m^3",
    // "Residual capacity : 25.00 thound m^3".
    static QString timeLine(double seconds);
    static QString storageLine(float cubicMetres);
    static QString residualLine(float cubicMetres);
};
