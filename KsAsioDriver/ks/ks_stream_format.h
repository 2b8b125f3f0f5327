#pragma once
// The one wave format the driver streams: interleaved stereo little-endian PCM.
#include <windows.h>

#include <mmreg.h>

namespace tx880::ks {

// wordSize is the sample width in bytes (2 or 3).
WAVEFORMATEXTENSIBLE BuildStreamFormat(DWORD sampleRate, WORD wordSize);

}  // namespace tx880::ks
