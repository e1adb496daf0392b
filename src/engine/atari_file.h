// Atari files as they are (option -x). After the skipped bytes the source is one of:
//   a DOS load file ($FF,$FF, then segments: first and last address, then the bytes), whose
//     RUNAD ($02E0) and INITAD ($02E2) words give the run and init addresses;
//   a cartridge ("CART", the type, a checksum, four unused bytes, then the ROM) of type 1 (8 KB
//     at $A000), 2 (16 KB at $8000) or 21 (8 KB at $8000, the right slot), whose last six bytes
//     give the run address, a zero byte, the option flags and the init address;
//   anything else: a raw image at the start address, as without -x.
// Whatever it is, the words the system reads its addresses from (RUNAD, INITAD, the cartridge's
// trailer, the CPU vectors at $FFFA-$FFFF when the image holds them) become address words, and
// the addresses they hold become entry points of the analysis.
#pragma once

struct RunState;

// Reads the layout of the source into state.image (core/image_map.h) and sets startAddress to the
// first address it loads. Stops the run with a message for a load file or cartridge that it
// cannot read; nothing has been created then.
void ReadAtariFile(RunState& state);
