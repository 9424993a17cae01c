#include "storage/site_file.h"

#include "storage/code_page_text.h"
#include "storage/file_access.h"
#include "storage/staged_file.h"

std::optional<std::wstring> ReadSiteFile(const std::wstring& path) {
  const auto bytes = ReadWritableFile(path, kMaxSiteFileBytes);
  if (!bytes) return std::nullopt;
  const std::string_view text = std::string_view(*bytes).substr(0, bytes->find('\0'));
  return AnsiToWide(text);
}

bool WriteSiteFile(const std::wstring& path, std::wstring_view text) {
  return ReplaceFileContents(path, WideToAnsi(text.substr(0, text.find(L'\0'))));
}
