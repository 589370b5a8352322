#pragma once

#include "support/ChildProcess.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Drives an x11_patrol_runner process on the current DISPLAY: the real patrol pass in an
// event loop of its own, on the timer, on window changes, or both.
class PatrolRunner {
public:
    struct Options {
        std::vector<std::string> keywords;
        bool timer = false;       // the 500 ms pass
        bool listen = false;      // checks of the windows that change, as the main window does
        bool wholePasses = false; // instead, a whole extra pass on every change
    };
    struct Stats {
        uint64_t extraPasses = 0; // whole passes on changes
        uint64_t timerPasses = 0;
        bool pending = false; // a pass or a check waits to run
        bool rested = false;  // no pass would wait for its turn now
        uint64_t checks = 0;
        uint64_t windowsChecked = 0;
    };

    explicit PatrolRunner(const Options& options);
    ~PatrolRunner();
    PatrolRunner(const PatrolRunner&) = delete;
    PatrolRunner& operator=(const PatrolRunner&) = delete;

    // Started, and patrolling.
    bool ok() const { return m_fd >= 0; }
    std::optional<Stats> stats();
    // Stats once no extra pass is pending any more.
    std::optional<Stats> settledStats(int timeoutMs = 10000);
    // Stats once no extra pass is pending and the runner's whole burst of passes is there,
    // as after a quiet spell: the moment a change comes unannounced.
    std::optional<Stats> restedStats(int timeoutMs = 10000);
    // The processor time the runner has used so far, in milliseconds.
    std::optional<double> cpuMs();
    // The time its event loop takes to answer, in milliseconds.
    std::optional<double> ping(int timeoutMs = 10000);

private:
    std::optional<std::string> request(const std::string& line, int timeoutMs);
    std::optional<Stats> statsWhen(const std::function<bool(const Stats&)>& done, int timeoutMs);

    ChildProcess m_child;
    int m_fd = -1;
    std::string m_buffer;
};
