#include "storage/site_file.h"

#include "storage/file_access.h"
#include "storage/staged_file.h"
#include "text/code_page.h"

std::optional<std::wstring> ReadSiteFile(const std::wstring& path) {
  const auto bytes = ReadWritableFile(path, kMaxSiteFileBytes);
  if (!bytes) return std::nullopt;
  const std::string_view text = std::string_view(*bytes).substr(0, bytes->find('\0'));
  return CodePageToWide(text, CP_ACP);
}

bool WriteSiteFile(const std::wstring& path, std::wstring_view text) {
  return ReplaceFileContents(path, WideToCodePage(text.substr(0, text.find(L'\0')), CP_ACP));
}
