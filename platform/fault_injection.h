#pragma once

// Test hooks that make the next file operation of a kind fail with a chosen errno, before it
// touches the file. The environment variable SIGNETOR_FAULT sets the same faults for a whole
// process, read once: a comma-separated list of point=errno, for example
// "write=ENOSPC,delete=EBUSY" (points: open, write, commit, delete; errno by name or number).
// The point "signal" takes a signal number instead, which the process sends itself once the
// first piece of a file has been written or copied: "signal=15".
namespace platform
{

enum class FaultPoint { OpenForWrite, Write, Commit, Delete, Signal };

void injectFault(FaultPoint point, int errnoValue);
void clearFaults();

// Used by the file services: the errno that this operation is to fail with, 0 when none.
// A fault fires once.
int takeFault(FaultPoint point);

} // namespace platform
