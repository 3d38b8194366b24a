// The decoded size the player makes its buffer for, worked out from a
// compressed format and the bytes a file really holds, with the platform's
// own codecs.
#include <gtest/gtest.h>

#include "acm_decoder.h"

namespace {

WAVEFORMATEX Format(WORD tag, WORD channels, DWORD rate, WORD blockAlign, WORD bits, WORD extra) {
    WAVEFORMATEX format = {tag, channels, rate, rate * blockAlign, blockAlign, bits, extra};
    return format;
}

TEST(AcmDecoder, SizeComesFromTheWholeBlocksHeldAndStopsAtTenMinutesOf48kStereo) {
    // 48 kHz stereo IMA ADPCM in blocks of 2048 bytes, 2041 frames each.
    const IMAADPCMWAVEFORMAT ima = {Format(WAVE_FORMAT_IMA_ADPCM, 2, 48000, 2048, 4, 2), 2041};
    const WAVEFORMATEX mulaw = Format(WAVE_FORMAT_MULAW, 1, 8000, 1, 8, 0);
    const WAVEFORMATEX unknown = Format(0x2222, 1, 8000, 1, 8, 0);
    const struct {
        const char *what;
        const WAVEFORMATEX *format;
        DWORD held;
        HRESULT result;
        DWORD pcmBytes;
    } cases[] = {
        {"mu-law to 16-bit", &mulaw, 100, S_OK, 200},
        // 120,000,000 bytes decoded would be more than ten minutes and a
        // second of 48 kHz stereo 16-bit: 601 * 48000 * 4 = 115,392,000.
        {"mu-law past the cap", &mulaw, 60000000, S_OK, 115392000},
        {"two and a half ADPCM blocks", &ima.wfx, 2048 * 2 + 1024, S_OK, 2 * 2041 * 4},
        {"less than one ADPCM block", &ima.wfx, 2047, E_FAIL, 0},
        {"a tag no codec claims", &unknown, 100, KESTROLA_E_UNDECODABLE, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CAcmDecoder decoder;
        EXPECT_EQ(c.result, decoder.Open(c.format, c.held));
        EXPECT_EQ(c.pcmBytes, decoder.PcmBytes());
    }
}

}  // namespace
