#include "driver/run_driver.h"

int main(int argc, char** argv) { quelvar::run_program(argc, argv); }
