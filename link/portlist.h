#pragma once

#include <QStringList>

// The serial ports to offer: the existing ones named in NODEWEAVE_EXTRA_PORTS
// (':'-separated paths; the system's enumeration never lists pseudo-terminals)
// first, then the system's ports in enumeration order.
QStringList availablePortNames();

// A cheap fingerprint of what availablePortNames() depends on: the extra
// ports' existence and the modification time of /dev, which changes
// whenever a device node (a USB adapter's tty) comes or goes. Equal
// fingerprints mean an unchanged port list; the full enumeration walks
// every tty of the system and costs tens of milliseconds. Empty when /dev
// cannot be examined: then only the full enumeration can tell.
QByteArray portListSignature();
