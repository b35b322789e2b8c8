// The main of a Qt Test program of the user interface: it runs the suites
// its sources registered with TW_UI_SUITE.
#include "modal_answerer.h"

int main(int argc, char** argv) { return tw_test::run_suites(argc, argv); }
