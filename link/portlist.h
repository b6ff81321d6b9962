#pragma once

#include <QStringList>

// The serial ports to offer: the existing ones named in NODEWEAVE_EXTRA_PORTS
// (':'-separated paths; the system's enumeration never lists pseudo-terminals)
// first, then the system's ports in enumeration order.
QStringList availablePortNames();
