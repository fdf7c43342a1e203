#pragma once
// The connection options every detector command takes, and the progress line of transfers.

#include "channel/velt_winsock.h"

#include <string>
#include <vector>

// Takes `--host H [--port P] [--login L] [--password W | --password-file FILE]` or `--detector
// NAME` (an address-book entry of hosts.ini in the data folder) out of args, wherever they stand.
// Port 8080, login "root" and password "kvtp" when not given (see TakePassword). False with a
// problem text when they are missing, contradictory or name no entry.
bool TakeConnectionOptions(std::vector<std::string>& args, TSyncTarget& target,
                           std::string& problem);

// Takes `--password W` and `--password-file FILE` out of args, so that a password need not show
// in `ps` or the shell's history. The first given wins: --password, then the first line of FILE
// (without its line end), then $KERVOLA_PASSWORD when set and not empty; false when none is
// given. `explicitly` tells whether one of the options was on the command line. A FILE that
// cannot be read ends the process with exit code 1 and a line naming it.
bool TakePassword(std::vector<std::string>& args, std::string& password, bool& explicitly,
                  std::string& problem);

// "host:port", the name failures are reported under.
std::string TargetName(const TSyncTarget& target);

// The help text's paragraph on the connection options.
extern const char* const ConnectionHelp;

// A progress proc that keeps one line on standard error up to date: "LABEL: done/total bytes".
TProgressProc ProgressLine(const std::string& label);
// Ends the progress line (a line break) if one was drawn.
void EndProgressLine();

// The one-shot exchanges of the program: each opens its own connection, logs in (login, 100 ms,
// password, one line discarded) and closes it again.
// Logs in on the channel; false when the detector cannot be reached. SyncClose() ends it.
bool OpenOneShot(const TSyncTarget& target);
// One command line and its reply line; false when the detector cannot be reached, and `reply`
// empty when it did not answer within the channel's time-out.
bool Exchange(const TSyncTarget& target, const std::string& command, std::string& reply);
