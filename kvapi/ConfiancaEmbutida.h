#pragma once
// The PEM trust anchors fixed at build time (KV_CA_BUNDLE); empty for the system's store.

extern const char* const kConfiancaEmbutida;
