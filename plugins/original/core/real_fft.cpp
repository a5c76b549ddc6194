// The transform pair on FFTW's real-to-complex and complex-to-real plans.
// Plans are made with FFTW_ESTIMATE: at 65536 points FFTW_MEASURE runs a
// pair about 20 % faster but spends seconds planning, which a user would hear
// as a late first sound. Plans live until the library is unloaded.
#include "real_fft.h"

#include <fftw3.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <new>

struct FftTables::Plans {
    fftw_plan forward = nullptr;  // for arrays aligned as fftw_malloc aligns
    fftw_plan inverse = nullptr;
    // Plans for time arrays of any alignment, made when first needed.
    mutable std::atomic<fftw_plan> forwardUnaligned{nullptr};
    mutable std::atomic<fftw_plan> inverseUnaligned{nullptr};
};

namespace {

/// Every plan of the process, by length. FFTW's planner is not thread-safe,
/// so every planner call happens under the one lock here; executing a plan
/// on arrays of one's own is thread-safe and takes no lock.
class PlanCache {
public:
    ~PlanCache() {
        for (auto& [length, plans] : plans_) {
            for (fftw_plan plan :
                 {plans->forward, plans->inverse, plans->forwardUnaligned.load(), plans->inverseUnaligned.load()}) {
                if (plan != nullptr) fftw_destroy_plan(plan);
            }
        }
        // Rationale: FFTW keeps planner memory of its own; the plug-in is the
        // only user of FFTW in the process, and unloading it without this
        // would leave that memory unreachable.
        fftw_cleanup();
    }

    const FftTables::Plans& For(std::int32_t n) {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::unique_ptr<FftTables::Plans>& entry = plans_[n];
        if (!entry) {
            auto made = std::make_unique<FftTables::Plans>();
            made->forward = Make(n, true, 0);
            made->inverse = Make(n, false, 0);
            if (made->forward == nullptr || made->inverse == nullptr) {
                plans_.erase(n);
                throw std::bad_alloc();
            }
            entry = std::move(made);
        }
        return *entry;
    }

    fftw_plan Unaligned(std::int32_t n, std::atomic<fftw_plan>& slot, bool forward) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (slot.load() == nullptr) {
            slot.store(Make(n, forward, FFTW_UNALIGNED));
        }
        if (slot.load() == nullptr) throw std::bad_alloc();
        return slot.load();
    }

private:
    static fftw_plan Make(std::int32_t n, bool forward, unsigned extra) {
        // FFTW_ESTIMATE never touches the arrays; they only show the
        // alignment the plan may rely on.
        double* time = fftw_alloc_real(static_cast<std::size_t>(n));
        fftw_complex* spectrum = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
        fftw_plan plan = nullptr;
        if (time != nullptr && spectrum != nullptr) {
            plan = forward ? fftw_plan_dft_r2c_1d(n, time, spectrum, FFTW_ESTIMATE | extra)
                           : fftw_plan_dft_c2r_1d(n, spectrum, time, FFTW_ESTIMATE | FFTW_PRESERVE_INPUT | extra);
        }
        fftw_free(time);
        fftw_free(spectrum);
        return plan;
    }

    std::mutex mutex_;
    std::map<std::int32_t, std::unique_ptr<FftTables::Plans>> plans_;
};

PlanCache& Cache() {
    static PlanCache cache;
    return cache;
}

fftw_complex* AsFftw(std::complex<double>* values) { return reinterpret_cast<fftw_complex*>(values); }

bool Aligned(const double* values) { return fftw_alignment_of(const_cast<double*>(values)) == 0; }

}  // namespace

FftTables::FftTables(std::int32_t n)
    : length_(n), plans_(&Cache().For(n)), scratch_(static_cast<std::size_t>(n / 2 + 1)) {}

void FftTables::Forward(const double* time) const {
    double* in = const_cast<double*>(time);  // r2c plans never write their input
    fftw_plan plan = Aligned(time) ? plans_->forward : plans_->forwardUnaligned.load();
    if (plan == nullptr) {
        plan = Cache().Unaligned(length_, plans_->forwardUnaligned, true);
    }
    fftw_execute_dft_r2c(plan, in, AsFftw(scratch_.data()));
}

void FftTables::Inverse(double* time) const {
    fftw_plan plan = Aligned(time) ? plans_->inverse : plans_->inverseUnaligned.load();
    if (plan == nullptr) {
        plan = Cache().Unaligned(length_, plans_->inverseUnaligned, false);
    }
    fftw_execute_dft_c2r(plan, AsFftw(scratch_.data()), time);
}

void RealFft(std::span<double> values, const FftTables& tables) {
    const std::int32_t n = tables.Length();
    tables.Forward(values.data());
    const std::complex<double>* x = tables.Scratch().data();
    values[0] = x[0].real();
    values[n / 2] = x[n / 2].real();
    for (std::int32_t k = 1; k < n / 2; ++k) {
        values[k] = x[k].real();
        values[n - k] = -x[k].imag();
    }
}

void InverseRealFft(std::span<double> values, const FftTables& tables) {
    // FFTW's inverse returns n x where ours returns (n/2) x: the halving (exact,
    // a power of two) goes in with the unpacking.
    const std::int32_t n = tables.Length();
    std::complex<double>* x = tables.Scratch().data();
    x[0] = {0.5 * values[0], 0.0};
    x[n / 2] = {0.5 * values[n / 2], 0.0};
    for (std::int32_t k = 1; k < n / 2; ++k) {
        x[k] = {0.5 * values[k], -0.5 * values[n - k]};
    }
    tables.Inverse(values.data());
}
