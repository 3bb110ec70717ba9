#pragma once
// Opening the input data file (unit 4) with the checks and diagnostics of the
// program, for every executable that reads data files.
#include <fstream>
#include <string>

namespace bw {

// A name holding a NUL byte would be cut there by the system and open some
// other file; such a name is refused (IoError "invalid file name"), never
// shortened.
void check_name(const std::string& name, int unit);

// Opens `name` for reading in binary mode. Throws IoError "file not found",
// "cannot open file" (a directory, no permission) or "invalid file name".
void open_input(std::ifstream& file, const std::string& name);

}  // namespace bw
