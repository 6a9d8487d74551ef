// SANE's own command line as the floor of a scan: `scanimage` run as a new process with
// the arguments given, its output sent where they say and its messages dropped.
#pragma once

#include <string>
#include <vector>

namespace bench {

// The wall-clock seconds one run took, or -1 when it could not start or failed.
double scanimageSeconds(const std::vector<std::string>& arguments);

// A private SANE configuration of the test backend in a new folder, named by
// SANE_CONFIG_DIR: dll.conf naming `test`, and test.conf with `testConf`'s lines.
std::string useTestBackend(const std::string& testConf);

}  // namespace bench
