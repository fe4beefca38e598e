#include "app/frm_main.h"
#include "app/program.h"

int main() { return qelo::RunProgram(qelo::kWatchdogInterval); }
