#pragma once

// Shows the core's operator messages (ReportMessage) as message boxes on the GUI thread. While a
// main window is up the box is opened without a nested event loop, so the drive's worker, which
// may be the one reporting, never waits on a person; before that (start-up failures) it waits.
// Tests replace the sink with SetMessageSink and see every text instead of a box.
void InstallMessageBoxSink();
