/* Stands in for a library of the imaging software: only its version resource matters. */
__declspec(dllexport) int PracticeLibraryVersion(void) {
    return 1;
}
