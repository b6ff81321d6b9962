#include "link/modelgating.h"

ModelGating gatingForModel(const QString &name)
{
    ModelGating g;
    g.otherSeries = name.contains(QLatin1String("NT")) || name.contains(QLatin1String("NK"));
    g.bridge = name.contains(QLatin1String("NB"));

    const bool nb500 = name.contains(QLatin1String("NB500"));
    const bool nb520 = name.contains(QLatin1String("NB520"));
    if (nb500 || nb520) {
        g.hasChannels = true;
        g.channels.currentInputs = QStringList{ "1", "3" };
        g.channels.currentOutputs = QStringList{ "4" };
        g.channels.voltageInputs = QStringList{ "0", "2" };
        g.channels.voltageOutputs = QStringList{ "5" };
        g.channels.pwmOutputs = QStringList{ "6", "7" };
    }
    g.disableTimeSetting = nb520 && !nb500;
    if (nb500)
        g.series = QStringLiteral("NB500");
    else if (nb520)
        g.series = QStringLiteral("NB520");

    if (name.contains(QLatin1String("400"))) {
        g.band = 0;
        g.frequencies = QStringList{ "433", "470", "490" };
    } else if (name.contains(QLatin1String("TH"))) {
        g.band = 2;
        g.frequencies = QStringList{ "920", "925" };
    } else if (name.contains(QLatin1String("900"))) {
        g.band = 1;
        g.frequencies = QStringList{ "868", "915" };
    }
    return g;
}
