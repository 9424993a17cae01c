// Reads the version information, the version string and the manifest back from the built
// program, the way the file's properties and the system read them, and checks that they
// all carry the build's one version (and that the manifest asks for DPI awareness).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "res/resource.h"
#include "version.h"

namespace {

std::wstring ProgramPath() {
  const wchar_t* path = _wgetenv(L"TARN_PROGRAM_EXE");
  return path ? path : L"";
}

std::wstring StringValue(const std::vector<char>& block, const std::wstring& name) {
  const std::wstring key = L"\\StringFileInfo\\080404B0\\" + name;
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return L"";
  return std::wstring(value);
}

TEST(VersionResourceTest, FilePropertiesStringAndManifestCarryTheBuildVersion) {
  const std::wstring exe = ProgramPath();
  ASSERT_FALSE(exe.empty()) << "TARN_PROGRAM_EXE not set";

  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &handle);
  ASSERT_GT(size, 0u) << "no version resource, error " << ::GetLastError();
  std::vector<char> block(size);
  ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength));
  const DWORD expectedMs = MAKELONG(TARN_VERSION_MINOR, TARN_VERSION_MAJOR);
  const DWORD expectedLs = MAKELONG(TARN_VERSION_TWEAK, TARN_VERSION_PATCH);
  EXPECT_EQ(expectedMs, fixed->dwFileVersionMS);
  EXPECT_EQ(expectedLs, fixed->dwFileVersionLS);
  EXPECT_EQ(expectedMs, fixed->dwProductVersionMS);
  EXPECT_EQ(expectedLs, fixed->dwProductVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

  // The only language block: Chinese (PRC) in Unicode.
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  UINT translationLength = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &translationLength));
  ASSERT_EQ(sizeof(Translation), translationLength);
  EXPECT_EQ(0x0804, translation->language);
  EXPECT_EQ(1200, translation->codePage);

  EXPECT_EQ(L"" TARN_VERSION_TEXT, StringValue(block, L"FileVersion"));
  EXPECT_EQ(TARN_VERSION_WTEXT, StringValue(block, L"ProductVersion"));
  EXPECT_EQ(L"禾岚网站监控", StringValue(block, L"ProductName"));
  EXPECT_EQ(L"禾岚软件", StringValue(block, L"CompanyName"));
  EXPECT_EQ(L"版权所有 (C) 2026 禾岚软件", StringValue(block, L"LegalCopyright"));
  EXPECT_FALSE(StringValue(block, L"FileDescription").empty());

  // The caption line and the About box read the version from string resource 131.
  HMODULE program = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, program);
  wchar_t version[32] = {};
  ::LoadStringW(program, IDS_VERSION, version, 32);
  EXPECT_STREQ(TARN_VERSION_WTEXT, version);

  HRSRC manifestInfo = ::FindResourceW(program, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(nullptr, manifestInfo);
  const char* manifest = static_cast<const char*>(::LockResource(::LoadResource(program, manifestInfo)));
  const std::string text(manifest, ::SizeofResource(program, manifestInfo));
  EXPECT_NE(std::string::npos, text.find("version=\"" TARN_VERSION_TEXT "\"")) << text;
  EXPECT_NE(std::string::npos, text.find(">PerMonitorV2, System</dpiAwareness>")) << text;
  ::FreeLibrary(program);
}

}  // namespace
