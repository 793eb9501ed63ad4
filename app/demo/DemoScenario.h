#pragma once

namespace vr::demo {

// The scenario the demo plays: scenarios/demo.hid, built into the program.
extern const char* const kDemoScenario;

}  // namespace vr::demo
