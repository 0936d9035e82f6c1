// The tests' way into the codec's private parts: the encoder's header and
// block writers and its rate control's state, the decoder's parsed headers.
// Each struct is a friend of the class it opens.
#pragma once

#include "codec/DecoderCore.h"
#include "codec/EncoderCore.h"

namespace morvane {

struct DecoderTestAccess {
    // The stream's headers as the decoder has parsed them so far.
    static const MpegVideoDecoder::Headers& Headers(const MpegVideoDecoder& decoder) { return decoder.h_; }
};

namespace mpeg {

struct EncoderTestAccess {
    // An encoder's writers, each putting its syntax into Bits().
    class Writers {
    public:
        explicit Writers(EncoderCore& core) : core_(core) {}
        void PutSequenceHeader() { core_.PutSequenceHeader(); }
        void PutSequenceExtension() { core_.PutSequenceExtension(); }
        void PutSequenceDisplayExtension() { core_.PutSequenceDisplayExtension(); }
        void PutGopHeader(int frame, bool closed) { core_.PutGopHeader(frame, closed); }
        void PutSequenceEnd() { core_.PutSequenceEnd(); }
        bool PutIntraBlock(const int16_t* level, int component) { return core_.PutIntraBlock(level, component); }
        void PutMotionVector(int delta, int fcode) { core_.PutMotionVector(delta, fcode); }
        bool PutCoefficient(int run, int level, int table, bool first)
        {
            return core_.PutCoefficient(run, level, table, first);
        }
        BitWriter& Bits() { return core_.bits_; }
        // True once a writer refused a value (after its message).
        bool Failed() const { return core_.failed_; }

    private:
        EncoderCore& core_;
    };

    // The Test Model 5 state of a rate control, by the model's names.
    struct RateState {
        explicit RateState(RateControl& rc)
            : r(rc.r), avgAct(rc.avgAct), R(rc.R), Xi(rc.Xi), d0b(rc.d0b), Np(rc.Np), Nb(rc.Nb), T(rc.T),
              actSum(rc.actSum)
        {
        }
        double& r;
        double& avgAct;
        double& R;
        double& Xi;
        double& d0b;
        int& Np;
        int& Nb;
        double& T;
        double& actSum;
    };
};

}  // namespace mpeg
}  // namespace morvane
