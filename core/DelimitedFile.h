// Delimited text files: the schedule file and the grid's CSV and tab files share this
// format, so whatever reads or writes one of them writes the same bytes.
//
// A line ends at CR LF, a lone CR or a lone LF. Fields are read by GetField, so double
// quotes group text that holds the delimiter and blanks around a field are dropped. A written cell is in
// double quotes unless it is empty; CR and LF inside it become blanks; lines end with CR LF, and a row with
// nothing but delimiters and blanks is left out.
#pragma once

#include <string>
#include <vector>

namespace quillet {

using DelimitedRow = std::vector<std::string>;

// A final line end adds no empty line.
std::vector<std::string> SplitLines(const std::string& data);
// Fields 0 to count - 1 of a line; missing ones are empty.
DelimitedRow SplitFields(const std::string& line, char delimiter, int count);
// Every line of the data as `count` fields.
std::vector<DelimitedRow> ReadDelimited(const std::string& data, char delimiter, int count);

// Appends one data row with its line end; false when the row was left out.
bool AppendDelimitedRow(std::string& out, const DelimitedRow& cells, char delimiter);
// Appends a title line with its line end. Titles go unquoted, and leading empty titles
// leave no field.
void AppendDelimitedTitles(std::string& out, const DelimitedRow& titles, char delimiter);
// The data rows, each as AppendDelimitedRow writes it.
std::string WriteDelimited(const std::vector<DelimitedRow>& rows, char delimiter);

} // namespace quillet
