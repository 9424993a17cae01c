// A write that dies halfway must leave the old file. The test starts this executable again
// as a child that stages new content, signals, and waits to be killed before the replace.
#include "storage/staged_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win/unique_handle.h"
#include "temp_folder.h"

namespace {

constexpr wchar_t kTargetVariable[] = L"TARN_STAGED_TARGET";
constexpr wchar_t kEventVariable[] = L"TARN_STAGED_EVENT";

std::wstring Variable(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

// Runs only in the child started below.
TEST(StagedFileChild, DISABLED_StageThenWaitToBeKilled) {
  const std::wstring target = Variable(kTargetVariable);
  win::KernelHandle staged_event(
      OpenEventW(EVENT_MODIFY_STATE, FALSE, Variable(kEventVariable).c_str()));
  ASSERT_FALSE(target.empty());
  ASSERT_TRUE(staged_event);
  StagedFile staged(target, "new content, never committed");
  ASSERT_TRUE(staged.Staged());
  SetEvent(staged_event.Get());
  Sleep(INFINITE);
}

TEST(StagedFile, ProcessKilledBeforeTheReplaceLeavesTheOldFile) {
  TempFolder folder;
  const std::wstring target = folder / L"Config.dat";
  ASSERT_TRUE(WriteAllBytes(target, "old content"));

  const std::wstring eventName = L"tarn-staged-" + std::to_wstring(GetCurrentProcessId());
  win::KernelHandle staged_event(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  ASSERT_TRUE(staged_event);
  SetEnvironmentVariableW(kTargetVariable, target.c_str());
  SetEnvironmentVariableW(kEventVariable, eventName.c_str());

  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(exe) +
                             L"\" --gtest_filter=StagedFileChild.DISABLED_StageThenWaitToBeKilled "
                             L"--gtest_also_run_disabled_tests";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessW(exe, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                             nullptr, nullptr, &startup, &child));
  win::KernelHandle process(child.hProcess);
  win::KernelHandle thread(child.hThread);

  // The child either stages and signals, or ends early because something failed.
  const HANDLE waits[] = {staged_event.Get(), process.Get()};
  const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 60000);
  TerminateProcess(process.Get(), 1);
  WaitForSingleObject(process.Get(), 10000);
  ASSERT_EQ(woke, WAIT_OBJECT_0) << "the child did not stage its file";

  const std::wstring childTemp = target + L"." + std::to_wstring(child.dwProcessId) + L".tmp";
  EXPECT_EQ(ReadAllBytes(childTemp), "new content, never committed");
  EXPECT_EQ(ReadAllBytes(target), "old content");

  // The next write goes through and leaves no temporary file of its own.
  ASSERT_TRUE(ReplaceFileContents(target, "newer content"));
  EXPECT_EQ(ReadAllBytes(target), "newer content");
  EXPECT_FALSE(PathExists(target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp"));
}

}  // namespace

namespace {

// Starts this executable again doing nothing; suspended children stay alive until killed.
PROCESS_INFORMATION StartIdleCopy(DWORD flags) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(exe) + L"\" --gtest_filter=NoSuchTest";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  CreateProcessW(exe, commandLine.data(), nullptr, nullptr, FALSE, flags | DETACHED_PROCESS, nullptr, nullptr,
                 &startup, &child);
  return child;
}

}  // namespace

TEST(StagedFile, ReplaceRemovesOnlyTheTempFilesOfCopiesThatDied) {
  TempFolder folder;
  const std::wstring target = folder / L"Config.dat";

  PROCESS_INFORMATION dead = StartIdleCopy(0);
  ASSERT_TRUE(dead.hProcess);
  WaitForSingleObject(dead.hProcess, 10000);
  CloseHandle(dead.hThread);
  CloseHandle(dead.hProcess);
  PROCESS_INFORMATION live = StartIdleCopy(CREATE_SUSPENDED);
  ASSERT_TRUE(live.hProcess);
  win::KernelHandle liveProcess(live.hProcess);
  win::KernelHandle liveThread(live.hThread);

  const std::wstring deadTemp = target + L"." + std::to_wstring(dead.dwProcessId) + L".tmp";
  const std::wstring liveTemp = target + L"." + std::to_wstring(live.dwProcessId) + L".tmp";
  const std::wstring otherShape = target + L".backup.tmp";
  const std::wstring otherFile = folder / (L"site.txt." + std::to_wstring(dead.dwProcessId) + L".tmp");
  for (const auto& path : {deadTemp, liveTemp, otherShape, otherFile}) ASSERT_TRUE(WriteAllBytes(path, "left"));

  ASSERT_TRUE(ReplaceFileContents(target, "new"));
  TerminateProcess(liveProcess.Get(), 0);

  EXPECT_EQ("new", ReadAllBytes(target).value_or(""));
  EXPECT_FALSE(PathExists(deadTemp));
  EXPECT_TRUE(PathExists(liveTemp));
  EXPECT_TRUE(PathExists(otherShape));
  EXPECT_TRUE(PathExists(otherFile));
}
