#pragma once
// Fixed records of the start of a run: the banner, the model-code menu, the
// record naming the chosen model and the file-name records.
#include <cstdint>
#include <string>
#include <vector>

namespace bw {

// 10 records: two empty, a rule, the title, four centred credit lines, a
// rule, one empty.
std::vector<std::string> banner_records();
// " Codes for your model:", the three codes, " Give your model code:".
std::vector<std::string> menu_records();
// " Code 1. RL or RLHS model" and so on; empty for an invalid code.
std::string code_record(std::int32_t ICODE);
// "Code=" ICODE in 3 columns " is not valid".
std::string invalid_code_record(std::int32_t ICODE);
// Output file, input file (each padded to 30 columns, never cut) and an
// empty record.
std::vector<std::string> file_name_records(const std::string& INFILE, const std::string& OUTFILE);
// 5 blanks and 70 "=": the banner's rule and the separator of data sets.
std::string rule_record();

}  // namespace bw
