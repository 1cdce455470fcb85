#pragma once

#include <string>
#include <string_view>

// The heads-up record of a debris-flow frame: the frame's four figures, and their frame information file
// beside the frame's surface model. The file is four lines of text, no line end after the last:
//
//     maxSpeed      as %g of the float, six significant digits (12.3457)
//     elapsedTime   the same (29.4)
//     rangeLower    decimal integer
//     rangeUpper    decimal integer
class DebrisHud {
public:
    // The four lines of the frame information file.
    std::string frameInfoText() const;
    // Writes the frame information file (the bytes of `path` name it) through a temporary file, replacing
    // any content. Prints "Open failed." and the reason, and returns false, when it cannot be written.
    bool writeFrameInfo(const std::string& path) const;
    // Reads the first four lines of a frame information file into the fields; a missing or non-numeric
    // line gives 0, as does a figure no run writes (not finite, beyond a float, a time outside 0 to
    // maxFrameSeconds, a range beyond an int), the latter two with a line saying so. Prints "Open failed."
    // and keeps the fields when the file cannot be read (missing, not a regular file, larger than a frame
    // information file). `problem`, when given, takes the reason or the first line said, for the user.
    bool readFrameInfo(const std::string& path, std::string* problem = nullptr);
    // The same for the text of such a file; `name` is used in the lines it prints.
    void parseFrameInfo(std::string_view text, const std::string& name = "", std::string* problem = nullptr);

    // Longest simulated time a frame information file may give, s.
    static constexpr float maxFrameSeconds = 1e9f;

    float maxSpeed = 0;     // largest cell speed of the frame, m/s
    float elapsedTime = 0;  // simulated time of the frame, s
    int rangeLower = 0;     // colour range, m
    int rangeUpper = 10;
};
