#pragma once

#include "CliOptions.h"

class CCliSession;

// Runs the command of the options, its arguments and files checked first; connect: opens the
// drive's link first when the command uses it. An exit code (CliExit).
int RunCommand(CCliSession& session, const CliOptions& options, bool connect);

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
// The real-time error page without a window: errors prints the raised bits, mask switches one.
int RunErrors(CCliSession& session, const CliOptions& options);
int RunMask(CCliSession& session, const CliOptions& options);
int RunPdo(CCliSession& session, const CliOptions& options);
// The pdo command's PDO and objects, checked before the drive is connected.
int CheckPdo(CCliSession& session, const CliOptions& options);
int RunScope(CCliSession& session, const CliOptions& options);
int RunExport(CCliSession& session, const CliOptions& options);
int RunImport(CCliSession& session, const CliOptions& options);
int RunDiff(CCliSession& session, const CliOptions& options);
int RunStore(CCliSession& session, const CliOptions& options);
// The files of export, import and diff, read before the drive is connected: a file that cannot
// be read is refused with its message before anything goes to the drive.
int CheckTransfer(CCliSession& session, const CliOptions& options);
// One command a line of a file (or standard input) over the session's one connection.
int RunBatch(CCliSession& session, const CliOptions& options);
// The CAN bus: the nodes on it with their identity, and NMT commands.
int RunScan(CCliSession& session, const CliOptions& options);
int RunNmt(CCliSession& session, const CliOptions& options);
int RunMonitor(CCliSession& session, const CliOptions& options);
// write of a text object under the canopen profile.
int WriteText(CCliSession& session, uint32_t key, const QString& name, const QString& text);
