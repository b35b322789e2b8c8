// Shared between the files of the encoding library; not part of its API.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "encoding/string_encoding.h"

namespace tw::encoding::detail {

// Adobe Symbol: byte -> UTF-16 code unit; kSymbolUndefined marks the bytes
// that the mapping leaves undefined.
inline constexpr char16_t kSymbolUndefined = 0xFFFF;
extern const std::array<char16_t, 256> kSymbolToUnicode;

// The byte for a UTF-16 code unit in Adobe Symbol, nullopt when it has none.
std::optional<unsigned char> symbol_from_unicode(char16_t unit) noexcept;

// One documented registry number. platform_id is the other platform's own
// encoding number when it names one for this registry number (0 when it does
// not); icu_name is the ICU converter for the others (nullptr when there is
// none, or when platform_id already decides the converter).
struct RegistryEntry {
  std::uint32_t number;
  const char* name;
  EncodingId platform_id;
  const char* icu_name;
};

// The entry for an exact registry number, or nullptr.
const RegistryEntry* find_registry_entry(std::uint32_t number) noexcept;

// All entries, ascending by number.
std::span<const RegistryEntry> registry_entries() noexcept;

}  // namespace tw::encoding::detail
