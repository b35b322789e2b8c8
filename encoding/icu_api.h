// ICU's converter functions, reached through the library loaded on first
// use: a program that converts nothing (a command line searching typed
// ASCII or UTF-8 bytes) never loads ICU, nor the shared C++ library and
// the thousands of relocations that come with it.
#pragma once

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

namespace tw::encoding::icu {

struct Api {
  decltype(&ucnv_open) open;
  decltype(&ucnv_close) close;
  decltype(&ucnv_setFromUCallBack) set_from_u_callback;
  decltype(&ucnv_setToUCallBack) set_to_u_callback;
  decltype(&ucnv_setFallback) set_fallback;
  decltype(&ucnv_fromUnicode) from_unicode;
  decltype(&ucnv_toUnicode) to_unicode;
  decltype(&ucnv_getInvalidChars) get_invalid_chars;
  decltype(&ucnv_getInvalidUChars) get_invalid_uchars;
  decltype(&ucnv_resetFromUnicode) reset_from_unicode;
  decltype(&ucnv_resetToUnicode) reset_to_unicode;
  UConverterToUCallback to_u_callback_stop;
};

// The functions, loaded once (thread-safe); nullptr when the library or
// one of them cannot be loaded.
const Api* api() noexcept;

}  // namespace tw::encoding::icu
