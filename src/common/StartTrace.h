// QUILLET_TRACE_START=1 writes, on the error output, how long each step of the start took: the
// wall time since the process began, the CPU time of the whole process and its resident memory,
// at named marks. It costs one environment lookup when unset.
#pragma once

namespace quillet {

// Writes "quillet start: <wall ms> <cpu ms> <resident MiB> <what>" when tracing is on.
void StartMark(const char* what);

}  // namespace quillet
