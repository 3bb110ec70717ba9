#include "driver/input_file.hpp"

#include <filesystem>

#include "driver/io_error.hpp"

namespace bw {

namespace fs = std::filesystem;

void check_name(const std::string& name, int unit) {
    if (name.find('\0') != std::string::npos) throw IoError("invalid file name", unit, name);
}

void open_input(std::ifstream& file, const std::string& name) {
    check_name(name, kInputUnit);
    std::error_code ec;
    const fs::file_status st = fs::status(name, ec);
    if (st.type() == fs::file_type::not_found) throw IoError("file not found", kInputUnit, name);
    if (fs::is_directory(st)) throw IoError("cannot open file", kInputUnit, name);
    file.open(name, std::ios::in | std::ios::binary);
    if (!file) throw IoError("cannot open file", kInputUnit, name);
}

}  // namespace bw
