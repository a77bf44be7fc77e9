// Every program's entry point; SLITS_PROGRAM_ID names the program.
#include "program_run.hpp"

int main(int argc, char** argv) { return run_program(argc, argv, program_id::SLITS_PROGRAM_ID); }
