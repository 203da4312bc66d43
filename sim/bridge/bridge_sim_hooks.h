#pragma once
// What the simulated bridge filter DLL offers tests besides COM: the calls
// its filters received, the camera messages they took, and faults that are
// not a property of one device. A test loads the same DLL file that COM
// loaded, so it sees the same process-wide state.
//
// Log lines: "S1007=014A7304" / "G1008=00000008" for each vendor call (the
// caller's variable afterwards), "M02AA" for each camera message.

extern "C" {
// Copies the log (lines ended by '\n', cut to nSize - 1 bytes, terminated)
// and clears it; returns the length of the whole log.
int __cdecl BridgeSim_TakeLog(char* pszBuffer, int nSize);
// Log lines equal to pszLine, without clearing.
int __cdecl BridgeSim_CountLog(const char* pszLine);
// Filters alive in this process.
int __cdecl BridgeSim_LiveFilters();
// The next nTimes requests for a vendor interface are refused.
void __cdecl BridgeSim_RefuseVendor(int nTimes);
}
