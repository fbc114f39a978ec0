/* A library that carries a version of its own (tests of the file version stamping). */
int patch_versioned_fixture(void) { return 1; }
