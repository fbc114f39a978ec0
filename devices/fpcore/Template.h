#pragma once
// The 800-byte template: a 16-byte header and up to 196 minutiae of 4 bytes each.
//
//   0  "KMFT"          4  format version (1)    5  minutiae count
//   6  image width     8  image height (16-bit little-endian each)
//  10  image quality  11  0                    12  checksum (FNV-1a 32 of every other byte)
//  16 + 4i: x, y (pixels), angle (256 steps to a full turn), type (bit 7) | quality (bits 0-6)
//  The rest of the record is zero.

#include "FpTypes.h"

namespace fp {

void EncodeTemplate(const Minutiae &minutiae, int quality, uint8_t *out);
// False when the bytes are not a template of this format (wrong mark, version, count or
// checksum): an empty record, a damaged one, another maker's.
bool DecodeTemplate(const uint8_t *in, Minutiae *minutiae, int *quality = nullptr);

} // namespace fp
