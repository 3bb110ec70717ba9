#include "driver/output.hpp"

#include "driver/io_error.hpp"

namespace bw {

Output::Output(std::ostream& console) : console_(&console) {}

Output::Output(std::vector<RoutedRecord>& kept) : kept_(&kept) {}

void Output::attach_file(std::ostream& file, std::string name, Sha256 written) {
    file_ = &file;
    file_name_ = std::move(name);
    file_hash_ = written;
}

void Output::write(Route route, const std::string& record) {
    if (kept_ != nullptr) {
        kept_->push_back({route, record});
        return;
    }
    if (route != Route::Console && file_ != nullptr) {
        *file_ << record << '\n';
        check_file();
        file_hash_.update(record);
        file_hash_.update("\n");
    }
    if (route != Route::File) {
        *console_ << record << '\n';
        check_console();
    }
}

void Output::write(Route route, const std::vector<std::string>& records) {
    for (const std::string& r : records) write(route, r);
}

void Output::write(const std::vector<RoutedRecord>& records) {
    for (const RoutedRecord& r : records) write(r.route, r.text);
}

void Output::flush() {
    if (console_ == nullptr) return;
    console_->flush();
    check_console();
    if (file_ != nullptr) {
        file_->flush();
        check_file();
    }
}

// A full disk or a vanished device must not pass silently: the results
// would be lost while the run reports success.
void Output::check_file() {
    if (!*file_) throw IoError("write error", kOutputUnit, file_name_);
}

// The console is unit 6: standard output redirected to a full disk loses
// every record shown, which is as fatal as a failure of the output file.
void Output::check_console() {
    if (!*console_) throw IoError("write error", kConsoleOutputUnit, "stdout");
}

}  // namespace bw
