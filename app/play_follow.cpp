// Following a play: the heard position and the parameter poll.
#include "play_follow.h"

#include <QTimer>
#include <cmath>
#include <cstdio>
#include <exception>

#include "position_row.h"
#include "wave_file.h"

PlayFollow::PlayFollow(CWaveFile* engine, PositionRow* row, QObject* parent)
    : QObject(parent), engine_(engine), row_(row), timer_(new QTimer(this)) {
    timer_->setInterval(kPeriod);
    connect(timer_, &QTimer::timeout, this, &PlayFollow::Tick);
}

void PlayFollow::Start(const SourceLength& length, std::vector<const ZarevoParameterDescription*> descriptions) {
    length_ = length;
    getters_.clear();
    for (const ZarevoParameterDescription* description : descriptions) {
        if (description == nullptr) continue;
        for (int i = 0; i < description->parameterCount; ++i) getters_.push_back(description->parameters[i].get);
    }
    values_.assign(getters_.size(), NAN);
    ParametersChanged();
    restartDue_ = false;
    lastRestart_ = std::chrono::steady_clock::now() - kRestartSpacing;
    timer_->start();
}

void PlayFollow::Stop() { timer_->stop(); }

bool PlayFollow::ParametersChanged() {
    bool changed = false;
    for (std::size_t i = 0; i < getters_.size(); ++i) {
        double value = values_[i];
        try {
            value = getters_[i]();
        } catch (...) {
            // A get that throws breaks the interface; the value is taken as unchanged.
        }
        // NaN never equals itself: compare bit for bit through the usual test.
        if (value != values_[i] && !(std::isnan(value) && std::isnan(values_[i]))) {
            values_[i] = value;
            changed = true;
        }
    }
    return changed;
}

void PlayFollow::Tick() {
    if (engine_ == nullptr || engine_->State() != WS_PLAYING) return;
    const std::int64_t heard = engine_->HeardFrame();
    row_->ShowPosition(length_.Milliseconds(heard));
    restartDue_ = ParametersChanged() || restartDue_;
    const auto now = std::chrono::steady_clock::now();
    if (restartDue_ && now - lastRestart_ >= kRestartSpacing) {
        engine_->RestartPlay();
        restartDue_ = false;
        lastRestart_ = now;
    }
}
