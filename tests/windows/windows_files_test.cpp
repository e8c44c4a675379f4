// Whole conversions on Windows: UTF-16 names behind backslashes and drive colons, engine and tavrin.exe.
#include "engine/convert.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/paths.h"
#include "tests/support/s98_builder.h"
#include "tests/windows/wide_files.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::S98Builder;
using testing::WriteBytes;

std::string Song() {
  return S98Builder().Device(4, 7987200, 3).Write(0, 0, 0x28, 0xF0).Wait(1).End().BuildString();
}

// The header line of a report, CR LF included; empty when there is none.
std::string FilenameLine(const std::string& report) {
  const std::string key = "Filename       = ";
  const std::size_t at = report.find(key);
  if (at == std::string::npos) return {};
  return report.substr(at, report.find("\r\n", at) + 2 - at);
}

struct NameCase {
  const wchar_t* name;
  const wchar_t* report;
  UINT codePage;  // the code page `header` is spelled in
  const char* header;
};

// The non-ASCII names the tests use, with their spelling in the code pages they were checked for.
const NameCase kNames[] = {
    {L"caf\u00e9.s98", L"caf\u00e9.txt", 1252, "caf\xe9.s98"},
    {L"\u66f2 \u6b4c.s98", L"\u66f2 \u6b4c.txt", 1252, "? ?.s98"},  // outside the code page
    {L"\u66f2 \u6b4c.s98", L"\u66f2 \u6b4c.txt", 932, "\x8b\xc8 \x89\xcc.s98"},
};

// What the header must show for `name` on this system, or null when no case covers its code page.
const char* ExpectedHeader(const wchar_t* name) {
  for (const auto& c : kNames) {
    if (std::wstring(c.name) == name && c.codePage == ::GetACP()) return c.header;
  }
  return nullptr;
}

class WindowsFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // The folder's own name is not ASCII either, so the whole path goes through UTF-16.
    dir_ = fs::temp_directory_path() /
           (L"tavrin-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::wstring(test.begin(), test.end()) + L"-\u00e9t\u00e9 \u66f2");
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // Backslashes and a drive colon, as the shell hands paths over.
    ASSERT_EQ(dir_.native().find(L'/'), std::wstring::npos);
    ASSERT_EQ(dir_.native()[1], L':');
  }
  void TearDown() override {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_, ec)) {
      ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(dir_, ec);
  }

  // The file's full path, spelled with a backslash after the folder.
  std::wstring In(const wchar_t* name) const { return dir_.native() + L"\\" + name; }

  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  struct Run {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out, err;
  };

  // Runs tavrin.exe (built beside this test) in the test's folder with a UTF-16 command line; standard
  // output and error go to files there.
  Run Tavrin(const std::wstring& arguments) const {
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const fs::path exe = fs::path(std::wstring(self, length)).parent_path() / L"tavrin.exe";
    std::wstring command = L"\"" + exe.native() + L"\" " + arguments;

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const fs::path outPath = dir_ / L"stdout.log", errPath = dir_ / L"stderr.log";
    auto create = [&](const fs::path& p) {
      return ::CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    };
    HANDLE out = create(outPath);
    HANDLE err = create(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    Run run;
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, dir_.c_str(), &startup,
                         &process)) {
      ::WaitForSingleObject(process.hProcess, 60000);
      ::GetExitCodeProcess(process.hProcess, &run.exitCode);
      ::CloseHandle(process.hThread);
      ::CloseHandle(process.hProcess);
    } else {
      ADD_FAILURE() << "cannot start " << exe.string() << ": error " << ::GetLastError();
    }
    ::CloseHandle(out);
    ::CloseHandle(err);
    run.out = ReadBytes(outPath);
    run.err = ReadBytes(errPath);
    ::DeleteFileW(outPath.c_str());
    ::DeleteFileW(errPath.c_str());
    return run;
  }

  fs::path dir_;
};

TEST_F(WindowsFilesTest, EngineWritesTheReportBesideANonAsciiName) {
  for (const wchar_t* name : {L"caf\u00e9.s98", L"\u66f2 \u6b4c.s98"}) {
    const std::wstring input = In(name);
    WriteBytes(input, Song());
    ASSERT_EQ(ConvertS98File(input, ReportPathFor(input), true, false), "");
    const std::string report = ReadBytes(ReportPathFor(input));
    ASSERT_FALSE(report.empty()) << "no report beside the input";
    if (const char* header = ExpectedHeader(name)) {
      EXPECT_EQ(FilenameLine(report), "Filename       = " + std::string(header) + "\r\n");
    } else {
      EXPECT_FALSE(FilenameLine(report).empty());
    }
  }
  EXPECT_EQ(EntryCount(), 4u);  // two inputs, two reports, no temporary files left
}

TEST_F(WindowsFilesTest, DriveRelativePathEndsAtTheColon) {
  // "C:name" is name in the current folder of drive C:; the colon, not a backslash, ends the folder part.
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  const std::wstring input = dir_.root_name().native() + L"caf\u00e9.s98";
  WriteBytes(input, Song());
  const std::string status = ConvertS98File(input, ReportPathFor(input), false, false);
  fs::current_path(previous);
  ASSERT_EQ(status, "");
  EXPECT_EQ(ReportPathFor(input).native(), dir_.root_name().native() + L"caf\u00e9.txt");
  const std::string report = ReadBytes(dir_ / L"caf\u00e9.txt");
  if (const char* header = ExpectedHeader(L"caf\u00e9.s98")) {
    EXPECT_EQ(FilenameLine(report), "Filename       = " + std::string(header) + "\r\n");
  } else {
    EXPECT_FALSE(FilenameLine(report).empty());
  }
}

TEST_F(WindowsFilesTest, CommandLineTakesUtf16Names) {
  const wchar_t* name = L"\u66f2 \u6b4c.s98";
  WriteBytes(In(name), Song());
  const Run run = Tavrin(L"-v \"" + In(name) + L"\"");
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  // The log names the file in UTF-8; standard output is in text mode, hence CR LF.
  EXPECT_EQ(run.out, "\xe6\x9b\xb2 \xe6\xad\x8c.s98\r\n-> ok\r\n");
  const std::string report = ReadBytes(dir_ / L"\u66f2 \u6b4c.txt");
  ASSERT_FALSE(report.empty()) << "no report beside the input";
  if (const char* header = ExpectedHeader(name)) {
    EXPECT_EQ(FilenameLine(report), "Filename       = " + std::string(header) + "\r\n");
  }
  EXPECT_NE(report.find("Key-ON/OFF"), std::string::npos) << "-v did not reach the engine";
}

TEST_F(WindowsFilesTest, ArgumentStartingWithASlashIsAFile) {
  // "/nowhere/song.s98" names a file (a missing one), not a Windows-style option "/nowhere".
  const Run run = Tavrin(L"-v /nowhere-" + std::to_wstring(::GetCurrentProcessId()) + L"/song.s98");
  EXPECT_EQ(run.exitCode, 1u) << run.err;
  EXPECT_EQ(run.out, "song.s98\r\n-> File open error.\r\n");
}

TEST_F(WindowsFilesTest, CommandLineOutputNamesAreUtf16Too) {
  WriteBytes(In(L"caf\u00e9.s98"), Song());
  const Run run = Tavrin(L"-o \"" + In(L"\u51fa\u529b.txt") + L"\" \"" + In(L"caf\u00e9.s98") + L"\"");
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  EXPECT_EQ(run.out, "caf\xc3\xa9.s98\r\n-> ok\r\n");
  EXPECT_NE(ReadBytes(dir_ / L"\u51fa\u529b.txt").find("[ Dump Data ]"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / L"caf\u00e9.txt"));
}

TEST_F(WindowsFilesTest, ReportOnStandardOutputKeepsItsLineEnds) {
  WriteBytes(In(L"caf\u00e9.s98"), Song());
  const Run run = Tavrin(L"-o - \"" + In(L"caf\u00e9.s98") + L"\"");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out.rfind("[ S98 Information ]\r\nFilename       = ", 0), 0u) << run.out.substr(0, 64);
  EXPECT_EQ(run.out.find("\r\r"), std::string::npos) << "CR LF was translated once more";
  EXPECT_EQ(run.err, "caf\xc3\xa9.s98\r\n-> ok\r\n");
}

TEST_F(WindowsFilesTest, FileLayerRefusalsKeepTheFolderAsItWas) {
  const std::wstring input = In(L"caf\u00e9.s98");
  WriteBytes(input, Song());

  // A read-only report cannot be replaced; it stays as it was.
  const std::wstring locked = In(L"locked.txt");
  WriteBytes(locked, "previous report");
  ::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(ConvertS98File(input, locked, false, false), kStatusOutputOpenError);
  EXPECT_EQ(ReadBytes(locked), "previous report");

  // The same file under another spelling: other case, '/' instead of '\\'.
  const std::wstring upper = In(L"SONG.TXT");
  WriteBytes(upper, Song());
  EXPECT_EQ(ConvertS98File(upper, dir_.native() + L"/song.txt", false, false), kStatusSameFile);
  EXPECT_EQ(ReadBytes(upper), Song());

  // A folder in the report's place, and a folder that does not exist.
  fs::create_directory(dir_ / L"taken.txt");
  EXPECT_EQ(ConvertS98File(input, In(L"taken.txt"), false, false), kStatusOutputOpenError);
  EXPECT_EQ(ConvertS98File(input, In(L"nowhere\\x.txt"), false, false), kStatusOutputOpenError);
  EXPECT_EQ(ConvertS98File(In(L"missing.s98"), In(L"missing.txt"), false, false), kStatusFileOpenError);
  EXPECT_EQ(ConvertS98File(In(L"taken.txt"), In(L"t.txt"), false, false), kStatusFileOpenError);

  // The NUL device takes the report directly; nothing is made beside it.
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  EXPECT_EQ(ConvertS98File(input, L"NUL", true, false), "");
  fs::current_path(previous);

  EXPECT_EQ(EntryCount(), 4u);  // input, locked.txt, SONG.TXT, taken.txt: no temporary files
}

}  // namespace
}  // namespace tavrin
