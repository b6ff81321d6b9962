#include "app/mainwindow.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {
// With NODEWEAVE_FIRST_PAINT_STAMP set, the moment the main window has been
// painted for the first time goes to standard error as "first-paint <ns>"
// (the monotonic clock), for start-up timing. Nothing else changes.
class FirstPaintStamp : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // The window's children paint and the frame is flushed before
            // the event loop comes back to the timer.
            QTimer::singleShot(0, this, [] {
                // steady_clock is the monotonic clock where there is one.
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::fprintf(stderr, "first-paint %lld\n",
                             static_cast<long long>(
                                 std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
                std::fflush(stderr);
            });
        }
        return false;
    }
};
} // namespace

int main(int argc, char *argv[])
{
    // The Modbus traffic goes to the debug output, for a look at the wire.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.modbus* = true"));
    // The window draws with the raster engine only. Without this the X11
    // platform plugin loads the OpenGL stack (with a software renderer that
    // alone is a 100 MB library) when the window is first shown, which
    // doubles the start-up time and the memory use. A value set by the user wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);

    MainWindow window;
    if (qEnvironmentVariableIsSet("NODEWEAVE_FIRST_PAINT_STAMP"))
        window.installEventFilter(new FirstPaintStamp(&window));
    window.setFixedSize(1027, 735);
    window.defaultTheme();  // the default style sheet from the resources
    window.show();
    return app.exec();
}
