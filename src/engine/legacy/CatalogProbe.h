#pragma once

// Some libraries crash the process or never return on a damaged file (the embedded
// Firebird engine, mdbtools). Before such a file is opened in the program, its catalog is
// read by the probe program, a child process with limits on time and memory; its failure
// becomes the open's error and the program goes on. A sound file is probed once a session.

#include "Driver.h"

// Throws EDatabaseError when the catalog of the file cannot be read safely.
void ProbeCatalog(const QString &driver, const TParams &params, const QString &user,
                  const QString &file);

// The probe program: "DRIVER USER NAME=value..."; reads the catalog in its own process and
// exits 0, or 1 with "ERROR " and the engine's message on standard output.
int RunCatalogProbe(int argc, char **argv);
