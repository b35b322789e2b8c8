// Loads ICU's common library, of the version the headers name, and takes
// the functions the conversions use from it.
#include "encoding/icu_api.h"

#include <dlfcn.h>

#include <unicode/uvernum.h>

namespace tw::encoding::icu {

namespace {

// ICU's headers rename each function after the version (ucnv_open becomes
// ucnv_open_72): the name of the symbol is that of the macro's expansion.
#define TW_ICU_TEXT2(x) #x
#define TW_ICU_TEXT(x) TW_ICU_TEXT2(x)

template <typename F>
bool take(void* library, const char* name, F& out) noexcept {
  out = reinterpret_cast<F>(::dlsym(library, name));
  return out != nullptr;
}

bool load(Api& a) noexcept {
  void* library = ::dlopen("libicuuc.so." TW_ICU_TEXT(U_ICU_VERSION_MAJOR_NUM), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return false;
  // The library stays loaded until the program ends: converters may be
  // opened at any time.
  return take(library, TW_ICU_TEXT(ucnv_open), a.open) &&
         take(library, TW_ICU_TEXT(ucnv_close), a.close) &&
         take(library, TW_ICU_TEXT(ucnv_setFromUCallBack), a.set_from_u_callback) &&
         take(library, TW_ICU_TEXT(ucnv_setToUCallBack), a.set_to_u_callback) &&
         take(library, TW_ICU_TEXT(ucnv_setFallback), a.set_fallback) &&
         take(library, TW_ICU_TEXT(ucnv_fromUnicode), a.from_unicode) &&
         take(library, TW_ICU_TEXT(ucnv_toUnicode), a.to_unicode) &&
         take(library, TW_ICU_TEXT(ucnv_getInvalidChars), a.get_invalid_chars) &&
         take(library, TW_ICU_TEXT(ucnv_getInvalidUChars), a.get_invalid_uchars) &&
         take(library, TW_ICU_TEXT(ucnv_resetFromUnicode), a.reset_from_unicode) &&
         take(library, TW_ICU_TEXT(ucnv_resetToUnicode), a.reset_to_unicode) &&
         take(library, TW_ICU_TEXT(UCNV_TO_U_CALLBACK_STOP), a.to_u_callback_stop);
}

}  // namespace

const Api* api() noexcept {
  static Api functions{};
  static const bool loaded = load(functions);
  return loaded ? &functions : nullptr;
}

}  // namespace tw::encoding::icu
