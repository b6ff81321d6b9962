#include "pages/rtu/timezonebias.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QDateTime>
#include <QTimeZone>
#endif

int localTimeZoneBias()
{
#ifdef Q_OS_WIN
    TIME_ZONE_INFORMATION info;
    GetTimeZoneInformation(&info);
    return int(info.Bias);
#else
    const QTimeZone zone = QTimeZone::systemTimeZone();
    return -zone.standardTimeOffset(QDateTime::currentDateTimeUtc()) / 60;
#endif
}
