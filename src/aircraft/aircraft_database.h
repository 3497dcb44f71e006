#pragma once

// The aircraft database, read once per process. A minimal stand-in until the aircraft data lands.

namespace zeph {

// Decrypts and reads the aircraft database; true on success.
bool gf_readDbase();

} // namespace zeph
