#pragma once

// `vorpex-cli extract --convert`: pictures of old formats (PCX, TGA, IFF ILBM/PBM) are written as PNG and
// Creative Voice sounds as WAV, each under its name with the new extension ("TITLE.PCX" as "TITLE.png");
// every other entry is extracted as it is. One the decoders refuse is extracted as it is too, and named
// with the reason.
#include <string>

#include "extract/EntryWriter.h"

namespace vorpex {

class MessageSink;
class PackFile;

// The converter for an extraction from `pack`; reasons go to `sink`.
EntryWriter::Converter mediaConverter(const PackFile& pack, MessageSink& sink);

// `name` with its extension (after the last '.', when there is one) replaced by `extension`.
std::string withExtension(const std::string& name, const char* extension);

} // namespace vorpex
