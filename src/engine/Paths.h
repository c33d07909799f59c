#pragma once

#include <QString>

// The user's data folder ($XDG_DATA_HOME/Orvane/), ending with "/", created on demand.
QString OrvaneDataFolder();
// The folder of the program's configuration files ($XDG_CONFIG_HOME), ending with "/".
QString OrvaneConfigFolder();
