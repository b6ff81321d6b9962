// The computer's standard time-zone bias, the way the bridge keeps it.
#pragma once

// Minutes such that UTC = local standard time + bias (UTC+8 gives -480).
// Daylight saving time is not included.
int localTimeZoneBias();
