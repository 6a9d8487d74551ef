// The check that keeps the baseline honest: the library's call and its direct counterpart
// run once each with the platform's journal on, and their journals must list the same calls
// in the same order with the same arguments and results. Cookies, file names and the sheets
// a feeder takes, which the platform hands out afresh each time, are compared by position
// only.
#pragma once

#include <functional>
#include <string>

namespace bench {

// Empty when both made the same calls; else a description of the first difference.
std::string differenceOf(const std::function<void()>& library, const std::function<void()>& direct);

}  // namespace bench
