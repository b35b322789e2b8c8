// Helpers shared by the encoding tests.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <string>

namespace tw::encoding::testing {

// Bytes from a list of values, so expected bytes read as in a hex dump.
inline std::string bytes(std::initializer_list<unsigned> values) {
  std::string out;
  for (unsigned v : values) out.push_back(static_cast<char>(v));
  return out;
}

// "41 00 E9" for readable failure messages.
inline std::string hex(const std::string& data) {
  std::string out;
  char buf[4];
  for (unsigned char c : data) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

inline std::string hex(const std::u16string& text) {
  std::string out;
  char buf[6];
  for (char16_t c : text) {
    std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(c));
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace tw::encoding::testing
