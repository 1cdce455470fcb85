#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// One text input of the flood engine (elevation grid, roughness grid, outbreak cells), read whole into
// memory and handed out as blank-separated tokens. The reader knows line ends only where the ESRI grid
// header needs them (its sixth line is skipped up to the line end).
class FloodInputFile {
public:
    // Reads the file. False when it cannot be opened or read.
    bool open(const std::string& path);

    // The next token, or false at the end of the file.
    bool nextToken(std::string_view& token);
    // The next token without consuming it.
    bool peekToken(std::string_view& token) const;
    // The rest of the current line, consumed with its line end.
    std::string_view restOfLine();
    // Bytes not yet consumed: every further value needs at least two of them (a digit and a blank),
    // which bounds what a header may promise before anything is allocated for it.
    std::size_t remainingBytes() const { return text.size() - position; }

private:
    std::string text;
    std::size_t position = 0;
};

// A whole token as a finite real or integer. False for anything else ("12abc", "nan", "", "1e999").
bool parseFiniteReal(std::string_view token, double& value);
// A token as it may be shown in a diagnostic: at most 24 characters, anything unprintable as '?'.
std::string printableToken(std::string_view token);

// A finite real stored as float: also false when the value does not fit a float.
bool parseFiniteFloat(std::string_view token, float& value);

// The six header lines of an ESRI ASCII grid ("ncols", "nrows", "xllcorner", "yllcorner", "cellsize",
// "NODATA_value"). The keywords are not checked; their values are.
struct AsciiGridHeader {
    int ncols = 0;
    int nrows = 0;
    double xllcorner = 0.0;
    double yllcorner = 0.0;
    double cellsize = 0.0;
    bool hasNodata = false;
    double nodata = 0.0;
};

// Reads the header and leaves the file at the first grid value. The first five keyword/value pairs are
// required; the sixth line is skipped up to its line end when it starts with a keyword (a grid written
// without its optional NODATA_value line starts its values there instead). False, with the reason in
// `problem`, when a value is missing or not a number, ncols or nrows is not a positive whole number,
// the cell size is not positive, or the file is too short for the ncols x nrows values it promises.
bool readAsciiGridHeader(FloodInputFile& file, AsciiGridHeader& header, std::string& problem);
