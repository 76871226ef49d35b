#include "wave/decoded_data.h"

// No decoder on this target: only WAVE files open.
std::shared_ptr<DecodedData> OpenDecodedData(const char*) {
    return nullptr;
}

const char* DecodedFilePatterns() {
    return "";
}
