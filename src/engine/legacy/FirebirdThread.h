#pragma once

#include <QSqlDriver>

// A Firebird connection that lives on a thread of its own. The Qt connection is made and
// used only there; the driver returned hands each call over and waits for its answer,
// letting the program's events through meanwhile (see StatementWait), and stops the
// statement with the engine's own cancel when the user asks. Firebird's client library
// offers no way to wait for a statement other than blocking in it, so this is the only way
// to keep the window alive while the engine works.
QSqlDriver *NewThreadedFirebirdDriver();
