// A stand-in for juce::dsp::IIR (JUCE is not installed here), from JUCE's
// documentation: Coefficients<T>(b0, b1, b2, a0, a1, a2) divide by a0 and
// keep {b0, b1, b2, a1, a2}; Filter::processSample is transposed direct form
// II, y = c0*x + s0, s0 = c1*x - c3*y + s1, s1 = c2*x - c4*y. JUCE builds for
// Intel processors may also set states within 1e-8 of zero to zero, which
// this stand-in does not. The pointer's constructor is explicit here, so that
// the export relies on no conversion.
#pragma once
#include <cstddef>
#include <vector>
namespace juce {
class ReferenceCountedObject {
public:
    void incReferenceCount() noexcept { ++count_; }
    bool decReferenceCountWithoutDeleting() noexcept { return --count_ == 0; }
    virtual ~ReferenceCountedObject() = default;
private:
    int count_ = 0;
};
template <typename Object>
class ReferenceCountedObjectPtr {
public:
    ReferenceCountedObjectPtr() = default;
    explicit ReferenceCountedObjectPtr(Object* object) : object_(object) { if (object_) object_->incReferenceCount(); }
    ReferenceCountedObjectPtr(const ReferenceCountedObjectPtr& other) : ReferenceCountedObjectPtr(other.object_) {}
    ReferenceCountedObjectPtr& operator=(const ReferenceCountedObjectPtr& other)
    {
        ReferenceCountedObjectPtr copy(other);
        std::swap(object_, copy.object_);
        return *this;
    }
    ~ReferenceCountedObjectPtr() { if (object_ && object_->decReferenceCountWithoutDeleting()) delete object_; }
    Object* operator->() const { return object_; }
private:
    Object* object_ = nullptr;
};
namespace dsp { namespace IIR {
template <typename NumericType>
struct Coefficients : ReferenceCountedObject {
    using Ptr = ReferenceCountedObjectPtr<Coefficients>;
    Coefficients(NumericType b0, NumericType b1, NumericType b2, NumericType a0, NumericType a1, NumericType a2)
    {
        const auto a0inv = static_cast<NumericType>(1) / a0;
        coefficients = {b0 * a0inv, b1 * a0inv, b2 * a0inv, a1 * a0inv, a2 * a0inv};
    }
    const NumericType* getRawCoefficients() const noexcept { return coefficients.data(); }
    std::vector<NumericType> coefficients;
};
template <typename SampleType>
struct Filter {
    typename Coefficients<SampleType>::Ptr coefficients;
    SampleType state[2] = {};
    SampleType processSample(SampleType sample) noexcept
    {
        const auto* c = coefficients->getRawCoefficients();
        const auto output = (c[0] * sample) + state[0];
        state[0] = (c[1] * sample) - (c[3] * output) + state[1];
        state[1] = (c[2] * sample) - (c[4] * output);
        return output;
    }
};
}}}
