#pragma once
// Optional record of the commands the server receives, for tests of its
// clients: when TORVEX_TRACE names a file at start, every "TORVEX_COMMAND"
// that reaches the view appends one line "<command>;<DATA>" to it, before
// the dispatcher runs (ignored commands are recorded too).
namespace torvex {

void TraceCommand(unsigned nCommand);

} // namespace torvex
