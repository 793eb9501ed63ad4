// What waking every 10 ms costs on this machine when each wake-up does nothing: the floor
// against which the tray program's idle cost is set. Runs until it is killed.

#include <ctime>

int main() {
    timespec pause{0, 10'000'000};
    for (;;) {
        nanosleep(&pause, nullptr);
    }
}
