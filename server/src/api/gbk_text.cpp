#include "api/gbk_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <sodium.h>

namespace {

void Wipe(std::string& text) {
  sodium_memzero(text.data(), text.size());
  text.clear();
}

}  // namespace

#ifdef _WIN32

bool GbkToUtf8(std::string_view gbk, std::string& out) {
  Wipe(out);
  if (gbk.empty()) return true;
  const int length = static_cast<int>(gbk.size());
  const int wide = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), length, nullptr, 0);
  if (wide <= 0) return false;
  std::wstring text(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), length, text.data(), wide);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  out.resize(static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, out.data(), bytes, nullptr, nullptr);
  sodium_memzero(text.data(), text.size() * sizeof(wchar_t));
  return true;
}

#else

namespace {

// The calling thread's GBK-to-UTF-8 converter: opened on its first use (and again after a
// failed open), closed when the thread ends. Opening one per call cost more than the
// conversion of a form's few bytes; a converter is not safe to share between threads.
class ThreadConverter {
 public:
  ThreadConverter() = default;
  ThreadConverter(const ThreadConverter&) = delete;
  ThreadConverter& operator=(const ThreadConverter&) = delete;
  ~ThreadConverter() {
    if (cd_ != None()) iconv_close(cd_);
  }

  // The converter in its initial state, or None() when it cannot be opened.
  iconv_t Ready() {
    if (cd_ == None()) {
      cd_ = iconv_open("UTF-8", "CP936");
    } else {
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // forget what a refused input left behind
    }
    return cd_;
  }

  static iconv_t None() { return reinterpret_cast<iconv_t>(-1); }

 private:
  iconv_t cd_ = None();
};

}  // namespace

bool GbkToUtf8(std::string_view gbk, std::string& out) {
  Wipe(out);
  thread_local ThreadConverter converter;
  const iconv_t cd = converter.Ready();
  if (cd == ThreadConverter::None()) return false;
  // A two-byte GBK character becomes at most three UTF-8 bytes, and so does a single byte:
  // 0x80 is the euro sign, U+20AC. Room for three bytes per input byte always suffices.
  out.resize(gbk.size() * 3);
  char* in = const_cast<char*>(gbk.data());
  size_t inLeft = gbk.size();
  char* dest = out.data();
  size_t outLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &dest, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  if (!ok) {
    Wipe(out);
    return false;
  }
  out.resize(out.size() - outLeft);
  return true;
}

#endif

size_t Utf8Length(std::string_view utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) ++count;
  }
  return count;
}
