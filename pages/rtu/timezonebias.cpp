#include "pages/rtu/timezonebias.h"

#include <QtGlobal>  // Q_OS_WIN

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QDateTime>
#include <QTimeZone>
#endif

int localTimeZoneBias()
{
#ifdef Q_OS_WIN
    // Windows keeps the bias the same way (UTC = local time + Bias); the
    // standard-time part is StandardBias, which is normally zero.
    TIME_ZONE_INFORMATION info{};
    if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID)
        return 0;
    return int(info.Bias + info.StandardBias);
#else
    const QTimeZone zone = QTimeZone::systemTimeZone();
    return -zone.standardTimeOffset(QDateTime::currentDateTimeUtc()) / 60;
#endif
}
