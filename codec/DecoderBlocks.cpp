// Block decoding: DCT coefficients, inverse scan and inverse quantisation
// (ISO/IEC 11172-2 for MPEG-1 streams, ISO/IEC 13818-2 for MPEG-2).
#include <algorithm>
#include <cstdlib>

#include "codec/DecoderCore.h"
#include "codec/DecoderMessages.h"
#include "codec/DecoderVlc.h"
#include "codec/VlcTables.h"

namespace morvane {

namespace {

inline int Saturate(int v)
{
    return std::clamp(v, -2048, 2047);
}

// One run/level pair of a block, the level as magnitude and sign.
struct Coefficient {
    int run;
    int level;
    bool negative;
};

enum class Token { kCoefficient, kEndOfBlock, kInvalidCode, kForbiddenLevel };

// Reads the next coefficient of a block: a code of `table` and its sign
// bit, or an escape.  The first coefficient of a non-intra block may also
// be the short code '1s' (run 0, level 1).  Escapes: a 6-bit run, then in
// MPEG-1 an 8-bit level (16 bits for the levels beyond -127..127), in
// MPEG-2 a 12-bit level where 0 and -2048 are forbidden.  Inlined into
// each block loop: a call per coefficient costs a tenth of the decoding.
template <bool Mpeg2>
[[gnu::always_inline]] inline Token ReadCoefficient(DecoderBitReader& bits, const VlcReader& table, bool firstOfNonIntra,
                                                   Coefficient* c)
{
    if (firstOfNonIntra && bits.Show(1)) {
        bits.Flush(1);
        c->run = 0;
        c->level = 1;
        c->negative = bits.Get1() != 0;
        return Token::kCoefficient;
    }
    const int v = table.Read(bits);
    if (v == kDctEndOfBlock) return Token::kEndOfBlock;
    if (v == kDctEscape) {
        c->run = static_cast<int>(bits.Get(6));
        int l;
        if constexpr (Mpeg2) {
            l = static_cast<int>(bits.Get(12));
            if ((l & 2047) == 0) return Token::kForbiddenLevel;
            if (l >= 2048) l -= 4096;
        } else {
            l = static_cast<int>(bits.Get(8));
            if (l == 0) {
                l = static_cast<int>(bits.Get(8));
            } else if (l == 128) {
                l = static_cast<int>(bits.Get(8)) - 256;
            } else if (l > 128) {
                l -= 256;
            }
        }
        c->negative = l < 0;
        c->level = std::abs(l);
        return Token::kCoefficient;
    }
    if (v == VlcReader::kInvalid) return Token::kInvalidCode;
    c->run = v >> 8;
    c->level = v & 0xFF;
    c->negative = bits.Get1() != 0;
    return Token::kCoefficient;
}

}  // namespace

// dct_dc_size and dct_dc_differential; the predictor of the component is
// updated and returned.
bool MpegVideoDecoder::IntraDc(int component, int* dcOut)
{
    const DecoderVlcTables& t = DecoderTables();
    const int size = (component == 0 ? t.dcSizeLuminance : t.dcSizeChrominance).Read(bits_);
    if (size == VlcReader::kInvalid) return false;
    int diff = 0;
    if (size > 0) {
        diff = static_cast<int>(bits_.Get(size));
        if ((diff >> (size - 1)) == 0) diff -= (1 << size) - 1;
    }
    dcPredictor_[component] += diff;
    *dcOut = dcPredictor_[component];
    return true;
}

bool MpegVideoDecoder::IntraDcMpeg1(int component, int16_t* block)
{
    int dc;
    if (!IntraDc(component, &dc)) {
        DecoderDiagnostic(sink_, "invalid Huffman code in getintrablock()\n");
        return false;
    }
    block[0] = static_cast<int16_t>(Saturate(dc * 8));
    return true;
}

bool MpegVideoDecoder::DcOnlyBlock(int component, int16_t* block, int n)
{
    if (!IntraDcMpeg1(component, block)) return false;
    blockShape_[n] = 1;
    return true;
}

bool MpegVideoDecoder::IntraBlockMpeg1(int component, int16_t* block, int n)
{
    if (!IntraDcMpeg1(component, block)) return false;
    const VlcReader& table = DecoderTables().dctZero;
    const uint8_t* matrix = h_.intraMatrix;
    const int q = quantiserScale_;
    bool acSeen = false;
    for (int i = 0;;) {
        Coefficient c;
        const Token t = ReadCoefficient<false>(bits_, table, false, &c);
        if (t == Token::kEndOfBlock) break;
        if (t != Token::kCoefficient) {
            DecoderDiagnostic(sink_, "invalid Huffman code in getintrablock()\n");
            return false;
        }
        i += c.run + 1;
        if (i > 63) {
            DecoderDiagnostic(sink_, "DCT coeff index (i) out of bounds (intra)\n");
            return false;
        }
        const int j = mpeg::kZigZag[i];
        int r = (c.level * q * matrix[j]) >> 3;
        if (r != 0) r = (r - 1) | 1;
        block[j] = static_cast<int16_t>(Saturate(c.negative ? -r : r));
        acSeen = true;
    }
    blockShape_[n] = acSeen ? 2 : 1;
    return true;
}

bool MpegVideoDecoder::InterBlockMpeg1(int16_t* block, int n)
{
    const VlcReader& table = DecoderTables().dctZero;
    const uint8_t* matrix = h_.nonIntraMatrix;
    const int q = quantiserScale_;
    int last = 0;
    for (int i = -1;;) {
        Coefficient c;
        const Token t = ReadCoefficient<false>(bits_, table, i < 0, &c);
        if (t == Token::kEndOfBlock) break;
        if (t != Token::kCoefficient) {
            DecoderDiagnostic(sink_, "invalid Huffman code in getinterblock()\n");
            return false;
        }
        i += c.run + 1;
        if (i > 63) {
            DecoderDiagnostic(sink_, "DCT coeff index (i) out of bounds (inter)\n");
            return false;
        }
        const int j = mpeg::kZigZag[i];
        int r = ((2 * c.level + 1) * q * matrix[j]) >> 4;
        if (r != 0) r = (r - 1) | 1;
        block[j] = static_cast<int16_t>(Saturate(c.negative ? -r : r));
        last = std::max(last, j);
    }
    blockShape_[n] = last == 0 ? 1 : 2;
    return true;
}

bool MpegVideoDecoder::IntraBlockMpeg2(int component, int16_t* block, int n)
{
    int dc;
    if (!IntraDc(component, &dc)) {
        DecoderDiagnostic(sink_, "invalid Huffman code in getmpg2intrablock()\n");
        return false;
    }
    int value = Saturate(dc * (1 << (3 - h_.intra_dc_precision)));
    block[0] = static_cast<int16_t>(value);
    int sum = value;
    const VlcReader& table = h_.intra_vlc_format ? DecoderTables().dctOne : DecoderTables().dctZero;
    const uint8_t* scan = h_.alternate_scan ? mpeg::kAlternateScan : mpeg::kZigZag;
    const uint8_t* matrix = h_.intraMatrix;
    const int q = quantiserScale_;
    bool acSeen = false;
    for (int i = 0;;) {
        Coefficient c;
        const Token t = ReadCoefficient<true>(bits_, table, false, &c);
        if (t == Token::kEndOfBlock) break;
        if (t == Token::kForbiddenLevel) {
            DecoderDiagnostic(sink_, "invalid signed_level (escape) in getmpg2intrablock()\n");
            return false;
        }
        if (t == Token::kInvalidCode) {
            DecoderDiagnostic(sink_, "invalid Huffman code in getmpg2intrablock()\n");
            return false;
        }
        i += c.run + 1;
        if (i > 63) {
            DecoderDiagnostic(sink_, "DCT coeff index (i) out of bounds (intra2)\n");
            return false;
        }
        const int j = scan[i];
        const int r = (c.level * matrix[j] * q) >> 4;
        value = Saturate(c.negative ? -r : r);
        block[j] = static_cast<int16_t>(value);
        sum += value;
        acSeen = true;
    }
    if ((sum & 1) == 0) {
        block[63] = static_cast<int16_t>(block[63] ^ 1);
        acSeen = true;
    }
    blockShape_[n] = acSeen ? 2 : 1;
    return true;
}

bool MpegVideoDecoder::InterBlockMpeg2(int16_t* block, int n)
{
    const VlcReader& table = DecoderTables().dctZero;
    const uint8_t* scan = h_.alternate_scan ? mpeg::kAlternateScan : mpeg::kZigZag;
    const uint8_t* matrix = h_.nonIntraMatrix;
    const int q = quantiserScale_;
    int sum = 0;
    int last = 0;
    for (int i = -1;;) {
        Coefficient c;
        const Token t = ReadCoefficient<true>(bits_, table, i < 0, &c);
        if (t == Token::kEndOfBlock) break;
        if (t == Token::kForbiddenLevel) return false;  // a fault, not reported
        if (t == Token::kInvalidCode) {
            DecoderDiagnostic(sink_, "invalid Huffman code in getmpg2interblock()\n");
            return false;
        }
        i += c.run + 1;
        if (i > 63) {
            DecoderDiagnostic(sink_, "DCT coeff index (i) out of bounds (inter2)\n");
            return false;
        }
        const int j = scan[i];
        const int r = ((2 * c.level + 1) * matrix[j] * q) >> 5;
        const int value = Saturate(c.negative ? -r : r);
        block[j] = static_cast<int16_t>(value);
        sum += value;
        last = std::max(last, j);
    }
    if ((sum & 1) == 0) {
        block[63] = static_cast<int16_t>(block[63] ^ 1);
        last = 63;
    }
    blockShape_[n] = last == 0 ? 1 : 2;
    return true;
}

}  // namespace morvane
