// What the toolkit's timer alone costs on this machine: a Qt program on the same display as Verada
// Rede whose 10 ms timer does nothing at all. Set beside the idle floor (a process that only
// sleeps 10 ms in a loop), it shows how much of the tray program's idle cost is the toolkit's
// wake-up rather than the program's tick. Runs until it is killed.

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    // The same event loop as the program's.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) {
        qputenv("QT_NO_GLIB", "1");
    }
    QApplication app(argc, argv);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [] {});
    timer.start();
    return QApplication::exec();
}
