// The command-line cases: a chip list and what chipid writes for it on
// standard output, on standard error, on both through one pipe, and its exit
// status. Written once, here; the executable tests run them on every
// chipid (native, under each emulator, wine and Node, each released binary
// and the installed package's), and chipid_cli_cases writes them out as
// files for the web page's test.
#ifndef CHIPID_TESTS_CLI_CASES_H
#define CHIPID_TESTS_CLI_CASES_H

#include <string>
#include <vector>

struct ListCase {
    std::string name;
    std::string list;    // the bytes of examples.txt
    std::string out;     // standard output on its own
    std::string err;     // standard error on its own
    std::string shared;  // both streams through one pipe
    int status;
};

const std::vector<ListCase>& listCases();

#endif
