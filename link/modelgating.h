// What the window makes of the model name a bridge reports: the pure gating
// table. All decisions are case-sensitive substring tests on the name as
// read, zero bytes included.
#pragma once

#include <QString>
#include <QStringList>

struct ModelGating {
    // The channel numbers a model offers on the "I/O" page, per kind of channel.
    struct Channels {
        QStringList currentInputs, currentOutputs, voltageInputs, voltageOutputs,
            pwmInputs, pwmOutputs;
    };

    bool otherSeries = false;      // "NT" or "NK": a product this tool does not serve
    bool bridge = false;           // "NB": hide the pages bridges do not offer
    bool hasChannels = false;      // NB500 or NB520: the I/O channel items apply
    bool disableTimeSetting = false; // NB520 without NB500
    // "NB500" or "NB520": settings are only carried over within a series.
    QString series;
    int band = -1;                 // LoRa frequency band, -1 when the name names none
    QStringList frequencies;       // the band's frequencies in MHz
    Channels channels;
};

ModelGating gatingForModel(const QString &modelName);
