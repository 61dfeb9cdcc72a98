#pragma once

#include "CliOptions.h"

class CCliSession;

// The drivactl commands. Each returns an exit code (CliExit).
int RunDict(CCliSession& session, const CliOptions& options);
int RunUnits(CCliSession& session, const CliOptions& options);
int RunRead(CCliSession& session, const CliOptions& options);
int RunWrite(CCliSession& session, const CliOptions& options);
int RunUpload(CCliSession& session, const CliOptions& options);
int RunWatch(CCliSession& session, const CliOptions& options);
int RunDump(CCliSession& session, const CliOptions& options);
int RunPage(CCliSession& session, const CliOptions& options);
// The page command's name and page file, checked before the drive is connected.
int CheckPage(CCliSession& session, const CliOptions& options);
int RunSet(CCliSession& session, const CliOptions& options);
int RunInfo(CCliSession& session, const CliOptions& options);
int RunScope(CCliSession& session, const CliOptions& options);
