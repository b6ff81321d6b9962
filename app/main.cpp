#include "app/mainwindow.h"

#include <QApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    // The Modbus traffic goes to the debug output, for a look at the wire.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.modbus* = true"));
    QApplication app(argc, argv);

    MainWindow window;
    window.setFixedSize(1027, 735);
    window.defaultTheme();  // the default style sheet from the resources
    window.show();
    return app.exec();
}
