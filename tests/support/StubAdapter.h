#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shared/AdapterLink.h"
#include "shared/FileSystem.h"
#include "shared/MainWindowLink.h"
#include "shared/ProgramState.h"

namespace vr::test {

// Scripts the adapters that a test's polls create and records, in one log shared with the test,
// what each of them was asked to do: "new", "init", "read", "close", "release".
class StubAdapters {
public:
    explicit StubAdapters(std::vector<std::string>& log) : log_(log) {}

    std::deque<bool> present;      // answers of InitDevice, in order; then false
    std::function<void()> onRead;  // what ReadDevice does: usually a reception
    int created = 0;
    int alive = 0;
    int mostAlive = 0;  // more than one: a poll ran inside another

    AdapterFactory Factory();

private:
    friend class StubAdapter;
    std::vector<std::string>& log_;
};

// What the reception does to the main window, the program state and the capture file, for
// `reports` reports arriving one after another: the receiving icon and UnsavedData at the first,
// a yield after every report, an end as soon as the user has confirmed leaving, the capture file
// closed before the window is restored and shown.
void SimulateReception(MainWindowLink& window, ProgramState& state, FileSystem& files, int reports,
                       std::vector<std::string>& log);

}  // namespace vr::test
