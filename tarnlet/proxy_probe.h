// The proxy-settings probe: sets up the message manager, honours "-v", asks
// the usage-statistics manager for the proxy settings and prints them.
#ifndef TARNLET_PROXY_PROBE_H
#define TARNLET_PROXY_PROBE_H

namespace tarnlet {

// True when any argument after the program name is exactly "-v".
bool hasVerboseSwitch(int argc, const char* const* argv);

// The whole run of the probe, fatal-exception report included. Returns the
// exit status: 0 when a "Proxy=" line was written, 1 when the settings are
// empty (or the line could not be written), 2 when the message manager
// failed to start.
int runProxyProbe(int argc, char** argv);

}  // namespace tarnlet

#endif
