// What the window does while a play runs, every 30 ms: shows the heard
// position in the position row, and reads every described plug-in parameter;
// when one changed, the chain starts again where the sound goes on, with the
// new value, so the change is heard at once and nothing is heard twice.
#pragma once

#include <QObject>
#include <chrono>
#include <vector>

#include "source_length.h"
#include "zarevo_plugin.h"

class CWaveFile;
class PositionRow;
class QTimer;

class PlayFollow : public QObject {
public:
    /// Poll period. Rationale: with the engine's restart this keeps a change
    /// heard well within 150 ms, and reading a few dozen values is nothing.
    static constexpr std::chrono::milliseconds kPeriod{30};
    /// Least time between two restarts while a slider is dragged; the last
    /// change is applied when it has passed.
    static constexpr std::chrono::milliseconds kRestartSpacing{100};

    PlayFollow(CWaveFile* engine, PositionRow* row, QObject* parent);
    /// Starts following a play of a source of `length`, with the parameters
    /// of `descriptions` (null entries: plug-ins without a description).
    void Start(const SourceLength& length, std::vector<const ZarevoParameterDescription*> descriptions);
    void Stop();

private:
    void Tick();
    /// Reads every parameter; true when one differs from the last read.
    bool ParametersChanged();

    CWaveFile* engine_;  // owned by the window
    PositionRow* row_;   // owned by the window
    QTimer* timer_ = nullptr;
    SourceLength length_;
    std::vector<ZarevoParameterGetFn> getters_;
    std::vector<double> values_;
    bool restartDue_ = false;
    std::chrono::steady_clock::time_point lastRestart_;
};
