#pragma once

#include <functional>
#include <string>

namespace sarvo::test {

// Runs the body in a forked child and returns the text it produced. For cases that change what a
// process keeps for its whole life (its priority, the code page read once), so that the test
// process itself is left as it was. A child that crashes or cannot be started gives a text that
// starts with "child failed", which no body returns.
std::string RunInChild(const std::function<std::string()>& body);

}  // namespace sarvo::test
