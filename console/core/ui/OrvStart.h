#pragma once

// Program entry of the console, shared by both editions: the single-instance test, then the
// main window. Returns the process exit code.
int OrvStartMain(int argc, char **argv, int edition);
