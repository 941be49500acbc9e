#pragma once

// Choices about the windowing layer that the program makes for itself. They must be applied
// before the application object exists; the benchmarks apply them too, so that they measure
// what ships.
class PlatformTuning
{
public:
    static void applyBeforeApplication();
};
