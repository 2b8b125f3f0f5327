#include "KsAsioDriver/ks/ks_stream_format.h"

#include <ksmedia.h>

#include "KsAsioDriver/ks/ks_types.h"

namespace tx880::ks {

WAVEFORMATEXTENSIBLE BuildStreamFormat(DWORD sampleRate, WORD wordSize) {
  constexpr WORD kChannels = 2;
  WAVEFORMATEXTENSIBLE format{};
  format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  format.Format.nChannels = kChannels;
  format.Format.nSamplesPerSec = sampleRate;
  format.Format.nBlockAlign = static_cast<WORD>(kChannels * wordSize);
  format.Format.nAvgBytesPerSec = format.Format.nBlockAlign * sampleRate;
  format.Format.wBitsPerSample = static_cast<WORD>(8 * wordSize);
  format.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
  format.Samples.wValidBitsPerSample = static_cast<WORD>(8 * wordSize);
  format.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
  format.SubFormat = kSubtypePcm;
  return format;
}

}  // namespace tx880::ks
