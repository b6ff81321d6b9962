#include "link/pacing.h"

#include <QtGlobal>

namespace pacing {

namespace {
double g_scale = 1.0;
}

void setScale(double factor)
{
    g_scale = factor > 0 ? factor : 1.0;
}

double scale()
{
    return g_scale;
}

int ms(int milliseconds)
{
    return qMax(1, qRound(milliseconds * g_scale));
}

} // namespace pacing
