// The beadwalks executable: the console program (driver/program_main.hpp).
#include "driver/program_main.hpp"

int main() { return bw::beadwalks_main(nullptr); }
