// Finding a JDownloader or an aria2 that runs on this machine, on the ports
// they listen on by default, with a short limit each, so that a look where
// nothing runs costs less than a second.
#pragma once

#include <string>
#include <vector>

#include "common/platform.h"
#include "zelko/settings.h"

namespace zelko {

inline constexpr std::uint32_t kProbeMs = 300;
// JDownloader answers a small script holding "jdownloader=true" here.
inline constexpr const char* kJDownloaderCheck = "http://127.0.0.1:9666/jdcheck.js";
// aria2's own default port, and the one a popular front end gives it.
inline constexpr const char* kAria2Addresses[] = {"http://127.0.0.1:6800/jsonrpc",
                                                  "http://127.0.0.1:16800/jsonrpc"};

// What answered, JDownloader first, then the first aria2. aria2 is asked for
// its list of methods, which it gives without a secret and at once (a call
// with a wrong or missing secret is refused only after a delay against
// guessing); so no secret goes to whatever listens on these ports.
std::vector<RunningReceiver> FindRunningReceivers(common::Platform& p);

}  // namespace zelko
