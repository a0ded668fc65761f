#include "measure.h"

#include <algorithm>

namespace {

double CounterFrequency() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
}

double NowUs() {
    static const double frequency = CounterFrequency();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / frequency;
}

double TimeBatch(const std::function<void()>& call, int batch) {
    const double start = NowUs();
    for (int i = 0; i < batch; ++i) {
        call();
    }
    return (NowUs() - start) / batch;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int BatchFor(const std::function<void()>& call) {
    int batch = 1;
    while (batch < (1 << 20) && TimeBatch(call, batch) * batch < 200) {
        batch *= 2;
    }
    return batch;
}

} // namespace

Measurement Measure(const std::string& name, const std::function<void()>& operation,
                    const std::string& floorParts, const std::function<void()>& floor,
                    int samples) {
    Measurement result;
    result.name = name;
    result.floorParts = floorParts;
    for (int i = 0; i < 10; ++i) {
        operation();
        if (floor) {
            floor();
        }
    }
    const int batch = BatchFor(operation);
    const int floorBatch = floor ? BatchFor(floor) : 0;
    std::vector<double> operationTimes;
    std::vector<double> floorTimes;
    for (int s = 0; s < samples; ++s) {
        operationTimes.push_back(TimeBatch(operation, batch));
        if (floor) {
            floorTimes.push_back(TimeBatch(floor, floorBatch));
        }
    }
    result.operationUs = Median(operationTimes);
    result.floorUs = floor ? Median(floorTimes) : 0;
    result.samples = samples;
    result.batch = batch;
    return result;
}

Measurement MeasureSingle(const std::string& name, const std::function<void()>& prepare,
                          const std::function<void()>& operation,
                          const std::function<void()>& cleanUp, int samples) {
    Measurement result;
    result.name = name;
    std::vector<double> times;
    for (int s = 0; s < samples + 5; ++s) {
        prepare();
        const double start = NowUs();
        operation();
        const double elapsed = NowUs() - start;
        cleanUp();
        if (s >= 5) { // the first runs warm the caches
            times.push_back(elapsed);
        }
    }
    result.operationUs = Median(times);
    result.samples = samples;
    result.batch = 1;
    return result;
}
