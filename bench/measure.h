#pragma once

// Timing under Wine: batches of calls timed with the performance counter, samples of the
// operation and of its floor taken in turns, medians reported.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct Measurement {
    std::string name;
    std::string floorParts; // what the floor is made of; empty when it has none
    double operationUs = 0; // median per call
    double floorUs = 0;     // median per call, 0 when there is no floor
    double goalUs = 0;      // an absolute goal, 0 when the goal is the ratio
    int samples = 0;
    int batch = 0;
};

// Samples of batch calls each, the operation and the floor alternately after a warm-up; the
// batch grows until one takes at least 200 microseconds.
Measurement Measure(const std::string& name, const std::function<void()>& operation,
                    const std::string& floorParts, const std::function<void()>& floor, int samples);

// One timed call per sample, with preparation that is not timed (for what cannot be
// repeated in a batch, such as building the catalogue from no holder).
Measurement MeasureSingle(const std::string& name, const std::function<void()>& prepare,
                          const std::function<void()>& operation,
                          const std::function<void()>& cleanUp, int samples);
