/* A library that exists only to carry (or lack) a version resource. */
int VersionFixture(void) { return 0; }
