// The pauses the pages, the auto scan and system settings dialogs and the
// YMODEM receiver make between requests and while the device works. The
// program always runs them at full length; the test suite shortens them with
// setScale() to keep its run time down.
#pragma once

namespace pacing {

void setScale(double factor);  // 1.0 unless changed
double scale();
int ms(int milliseconds);      // a pause of `milliseconds`, scaled

} // namespace pacing
