// Keeping the operator's work: one running copy owns a report, a report in a
// folder that takes no new files is still written, ending the program never
// drops typing silently, and a settings file that cannot be written is said.
// Scripted through the real start-up and event loop.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "base/cp1251.h"
#include "report/report.h"
#include "tests/entry_script.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMenuNew = 1, kMenuOpen = 2, kMenuExit = 4;
const Qso kEntry = {"14200", "CW", "", "", "", "599001", ""};

class SafekeepingTest : public EntryTest {
 protected:
  // Types one whole contact at the entry row, from the call-sign column and
  // back to it: call, Tab, received, Tab, Enter.
  static void QueueContact(const std::string& call, const std::string& received) {
    QueueKeys(call);
    QueueKeys({kVkTab});
    QueueKeys(received);
    QueueKeys({kVkTab, kVkEnter});
  }
  static void MoveToCall() {
    for (int column = Log.CurrentColumn; column < kColCall; ++column) QueueKeys({kVkRight});
  }
  static std::tuple<std::string, int, int> StationBox() {
    const headless::ControlState* box = headless::Control(kStationBoxId);
    return {box->text, box->textColour, box->backColour};
  }
};

// What a test folder holds, sorted.
std::vector<std::string> FolderNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// The other copy is never left running, whatever the test did.
struct ChildGuard {
  pid_t pid = -1;
  ~ChildGuard() {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
};

// A message sent over a pipe between the two copies: one byte.
void Say(int fd, char what) { ASSERT_EQ(write(fd, &what, 1), 1); }
char Hear(int fd) {
  char what = 0;
  return read(fd, &what, 1) == 1 ? what : '?';
}

// Two real processes in one folder: the first copy owns the report named in
// corvane.ini; the second does not open it, says so, works in memory only
// and never writes the file, also when it is chosen from the menu; once the
// first copy has ended, the second may open it.
TEST_F(SafekeepingTest, ASecondCopyNeverWritesTheReportOfTheFirst) {
  Prepare({kEntry});
  int toChild[2], toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {  // the first copy: opens the report, types, waits, types again
    close(toChild[1]);
    close(toParent[0]);
    if (!StartUp()) _exit(2);
    MoveToCall();
    QueueContact("RA1A", "59001");
    headless::QueueProbe([&] {
      Say(toParent[1], 'r');
      if (Hear(toChild[0]) != 'g') _exit(3);
    });
    QueueContact("RA2B", "59002");
    Run();
    // Ends without letting go: the system drops the lock with the process.
    _exit(TrimSpaces(Log.QsoLog[2][kColCall]) == "RA2B" ? 0 : 4);
  }
  ChildGuard guard{child};
  close(toChild[0]);
  close(toParent[1]);
  ASSERT_EQ(Hear(toParent[0]), 'r');
  const std::string firstCopy = ReadFileBytes(ReportPath());
  ASSERT_NE(firstCopy.find("RA1A"), std::string::npos);

  // The second copy, started in the same folder.
  ResetEverything();
  ASSERT_TRUE(StartUp());
  EXPECT_EQ(AppSettings.File, "");
  EXPECT_TRUE(Report.HeldElsewhere);
  Run({kVkTab});  // the first wait says it
  EXPECT_EQ(StationBox(), std::tuple(std::string(kHeldElsewhereText), kWarningText, kWarningBack));
  QueueContact("UA9ZZZ", "59999");
  headless::QueueMenu(kMenuOpen);
  headless::QueueFileAnswer(ReportPath());
  Run();
  EXPECT_EQ(AppSettings.File, "");
  EXPECT_EQ(ReadFileBytes(ReportPath()), firstCopy);
  // The file requester, the message box, and at the end of the script the
  // question about the log that reached no file.
  const std::vector<headless::DialogCall> calls = headless::DialogCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(std::tie(calls[1].kind, calls[1].text, calls[1].flags),
            std::tuple("message", std::string(kHeldElsewhereText) + "\n" + ReportPath(),
                       kMessageBoxWarning));

  // The first copy goes on and ends; then the file is free.
  Say(toChild[1], 'g');
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  guard.pid = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string ended = ReadFileBytes(ReportPath());
  EXPECT_NE(ended.find("RA2B"), std::string::npos);
  EXPECT_EQ(ended.find("UA9ZZZ"), std::string::npos);
  headless::QueueMenu(kMenuOpen);
  headless::QueueFileAnswer(ReportPath());
  Run();
  EXPECT_EQ(AppSettings.File, ReportPath());
  EXPECT_EQ(TrimSpaces(Log.QsoLog[2][kColCall]), "RA2B");
  EXPECT_EQ(std::get<0>(StationBox()), kOwnCall) << "the warning is gone with an owned report";
  close(toChild[1]);
  close(toParent[0]);
}

// "Выход" and the close button with typing that no report file receives.
TEST_F(SafekeepingTest, EndingAsksAboutTypingThatReachedNoFile) {
  const struct {
    const char* name;
    bool report;  // a report is open at start-up
    bool typed;
    bool reportReadOnly;
    std::vector<int> answers;  // message boxes, in order
    const char* saveAs;        // the file requester's answer after Yes; nullptr: none asked
    int questions;
    bool ends;  // at the first "Выход"
  } kCases[] = {
      {"nothing typed", false, false, false, {}, nullptr, 0, true},
      {"typed into an open report", true, true, false, {}, nullptr, 0, true},
      {"No ends", false, true, false, {kAnswerNo}, nullptr, 1, true},
      {"Cancel goes back to the log", false, true, false, {kAnswerCancel, kAnswerNo}, nullptr, 2,
       false},
      {"Yes saves everything as a new report", false, true, false, {kAnswerYes}, "saved", 1,
       true},
      {"Yes, then the requester cancelled", false, true, false, {kAnswerYes, kAnswerNo}, "", 2,
       false},
      {"the open report cannot be written", true, true, true, {kAnswerNo}, nullptr, 1, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Prepare(c.report ? std::vector<Qso>{kEntry} : std::vector<Qso>{});
    if (c.reportReadOnly && !SetWriteLock(ReportPath().c_str(), true)) {
      ADD_FAILURE() << "cannot make the report read-only";
      continue;
    }
    ASSERT_TRUE(StartUp());
    MoveToCall();
    if (c.typed) QueueContact("RA1A", "59001");
    for (int answer : c.answers) headless::QueueMessageBoxAnswer(answer);
    if (c.saveAs != nullptr) headless::QueueFileAnswer(c.saveAs);
    headless::QueueMenu(kMenuExit);
    if (c.saveAs != nullptr) headless::QueueClose(kHeaderWindowId);  // the header as it is
    bool endedAtFirst = true;
    headless::QueueProbe([&endedAtFirst] { endedAtFirst = false; });
    headless::QueueMenu(kMenuExit);
    Run();
    if (c.reportReadOnly) SetWriteLock(ReportPath().c_str(), false);
    EXPECT_EQ(endedAtFirst, c.ends);
    int questions = 0;
    for (const headless::DialogCall& call : headless::DialogCalls()) {
      if (call.kind != "message") continue;
      ++questions;
      EXPECT_EQ(std::tie(call.text, call.flags),
                std::tuple(std::string("Журнал не сохранён в файл. Сохранить?"_cp),
                           kMessageBoxYesNoCancel | kMessageBoxQuestion));
    }
    EXPECT_EQ(questions, c.questions);
    const bool saved = c.saveAs != nullptr && *c.saveAs != '\0';
    EXPECT_EQ(PathExists("saved.CBR"), saved);
    if (saved) {
      EXPECT_EQ(AppSettings.File, "saved.CBR");
      EXPECT_EQ(ReadFileBytes("saved.CBR"), BuildReportText());
      EXPECT_NE(ReadFileBytes("saved.CBR").find("RA1A"), std::string::npos);
      EXPECT_NE(ReadFileBytes("corvane.ini").find("File = saved.CBR"), std::string::npos);
    }
    fs::remove("saved.CBR");
  }
}

// A report in a folder that takes no new files (chmod 555 for an ordinary
// user; the immutable flag for root, who may write anywhere): every contact
// is written in place, the station box says so once, and a restart reads all
// of them back. corvane.ini in the same folder is rewritten in place too.
TEST_F(SafekeepingTest, AClosedFolderStillGetsEveryContact) {
  constexpr int kContacts = 100;
  Prepare({kEntry});
  if (!SetWriteLock(dir_.c_str(), true)) GTEST_SKIP() << "cannot close a folder here";
  const std::vector<std::string> before = FolderNames();
  ASSERT_TRUE(StartUp());
  MoveToCall();
  for (int i = 1; i <= kContacts; ++i) {
    QueueContact("RA" + std::to_string(i) + "A", "59" + std::to_string(100 + i));
  }
  Run();
  EXPECT_TRUE(Report.InPlace);
  EXPECT_FALSE(Report.WriteFailed);
  EXPECT_EQ(StationBox(), std::tuple(std::string(kInPlaceText), kWarningText, kWarningBack));
  for (int tick = 0; tick < kInPlaceNoticeTicks; ++tick) headless::QueueTimer();
  Run();
  EXPECT_EQ(std::get<0>(StationBox()), kOwnCall) << "said for a while, then the call again";
  headless::QueueMenu(kMenuExit);
  Run();
  EndProgram();
  EXPECT_EQ(FolderNames(), before) << "no temporary, backup or lock file was left";

  ResetEverything();
  ASSERT_TRUE(StartUp());
  SetWriteLock(dir_.c_str(), false);
  EXPECT_EQ(AppSettings.File, ReportPath());
  ASSERT_EQ(Log.QsoCount, kContacts + 1);
  for (int i = 1; i <= kContacts; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(TrimSpaces(Field(i, kColCall)), "RA" + std::to_string(i) + "A");
    EXPECT_EQ(TrimSpaces(Field(i, kColReceived)), "59" + std::to_string(100 + i));
  }
  EXPECT_EQ(TrimSpaces(Field(kContacts + 1, kColSent)), "599101");
}

// How the disk under the report and corvane.ini stops taking writes.
enum class DiskFault { kFull, kSizeLimit, kReadOnlyMount };

// A mount over the test folder itself, undone at the end of the case.
struct FolderMount {
  std::string folder;
  bool mounted = false;
  bool Mount(DiskFault fault, const std::string& at) {
    folder = at;
    mounted = fault == DiskFault::kFull
                  ? mount("corvane-test", at.c_str(), "tmpfs", 0, "size=64k") == 0
                  : mount(at.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) == 0;
    // The folder's name now leads into the mount; the old handle does not.
    return mounted && chdir(at.c_str()) == 0;
  }
  // A remount must keep the flags the mount has (a container may lock them).
  bool SetReadOnly(bool on) const {
    struct statvfs info {};
    if (statvfs(folder.c_str(), &info) != 0) return false;
    unsigned long flags = MS_REMOUNT | MS_BIND | (on ? MS_RDONLY : 0);
    const struct {
      unsigned long has, keep;
    } kKept[] = {{ST_NOSUID, MS_NOSUID}, {ST_NODEV, MS_NODEV}, {ST_NOEXEC, MS_NOEXEC},
                 {ST_NOATIME, MS_NOATIME}, {ST_NODIRATIME, MS_NODIRATIME},
                 {ST_RELATIME, MS_RELATIME}};
    for (const auto& k : kKept) {
      if (info.f_flag & k.has) flags |= k.keep;
    }
    return mount(nullptr, folder.c_str(), nullptr, flags, nullptr) == 0;
  }
  ~FolderMount() {
    if (!mounted) return;
    SetReadOnly(false);
    if (chdir("/") == 0 && umount(folder.c_str()) == 0) chdir(folder.c_str());
  }
};

// Fills the file system under the current folder; the filler's size.
std::size_t FillDisk() {
  const int fd = open("filler", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::size_t size = 0;
  const std::string block(1024, 'f');
  for (std::size_t chunk = block.size(); fd >= 0 && chunk > 0;) {
    const ssize_t n = write(fd, block.data(), chunk);
    if (n > 0) {
      size += static_cast<std::size_t>(n);
    } else {
      chunk /= 2;
    }
  }
  if (fd >= 0) close(fd);
  return size;
}

// A disk that stops taking writes in the middle of a session: the report on
// it stays the last complete version, the station box says so, no temporary
// file is left to fill it further, the contacts stay in memory, and the first
// change once it takes writes again puts all of them into the report, which a
// restart reads back whole. corvane.ini on the same disk is not cut either.
TEST_F(SafekeepingTest, ADiskThatStopsTakingWritesLosesNothing) {
  const struct {
    const char* name;
    DiskFault fault;
  } kCases[] = {
      {"a full file system (small tmpfs)", DiskFault::kFull},
      {"the file size limit (writes fail with EFBIG)", DiskFault::kSizeLimit},
      {"a mount made read-only", DiskFault::kReadOnlyMount},
  };
  signal(SIGXFSZ, SIG_IGN);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    FolderMount folderMount;
    if (c.fault != DiskFault::kSizeLimit && !folderMount.Mount(c.fault, dir_)) {
      std::printf("skipped %s: no mount can be made here (needs root with CAP_SYS_ADMIN)\n",
                  c.name);
      continue;
    }
    Prepare({kEntry});
    // A mount with a file open for writing (the lock file) cannot be made
    // read-only: that one is read-only from the start.
    const bool brokenAtStart = c.fault == DiskFault::kReadOnlyMount;
    if (brokenAtStart) {
      ASSERT_TRUE(folderMount.SetReadOnly(true)) << std::strerror(errno);
    }
    ASSERT_TRUE(StartUp());
    MoveToCall();
    const int firstBroken = brokenAtStart ? 1 : 21;
    for (int i = 1; i < firstBroken; ++i) QueueContact("RA" + std::to_string(i) + "A", "59001");
    Run();
    const std::string report = ReadFileBytes(ReportPath());
    const std::string settings = ReadFileBytes("corvane.ini");
    if (!brokenAtStart) {
      ASSERT_FALSE(Report.WriteFailed);
      ASSERT_EQ(report, BuildReportText());
    }

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    if (c.fault == DiskFault::kFull) {
      EXPECT_GT(FillDisk(), 0u);
    } else if (c.fault == DiskFault::kSizeLimit) {
      rlimit small = old;
      small.rlim_cur = 64;  // below every file written here
      ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    const std::vector<std::string> namesWhileBroken = FolderNames();
    for (int i = firstBroken; i <= 25; ++i) QueueContact("RA" + std::to_string(i) + "A", "59001");
    headless::QueuePause();
    headless::QueueTimer();  // the station box shows the state of the report
    Run();
    const bool settingsWritten = SaveSettings();
    const std::string reportWhileBroken = ReadFileBytes(ReportPath());
    const std::string settingsWhileBroken = ReadFileBytes("corvane.ini");
    const std::vector<std::string> namesAfterFailures = FolderNames();
    if (c.fault == DiskFault::kSizeLimit) setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(Report.WriteFailed);
    EXPECT_FALSE(settingsWritten);
    EXPECT_EQ(reportWhileBroken, report) << "the last complete version stays";
    EXPECT_EQ(settingsWhileBroken, settings);
    EXPECT_EQ(namesAfterFailures, namesWhileBroken) << "no temporary file was left";
    EXPECT_EQ(StationBox(),
              std::tuple(std::string("Отчёт не записан!"_cp), kWarningText, kWarningBack));
    EXPECT_EQ(TrimSpaces(Field(25, kColCall)), "RA25A") << "kept in memory";

    // Writes work again: the next change writes everything.
    if (c.fault == DiskFault::kFull) fs::remove("filler");
    if (brokenAtStart) {
      ASSERT_TRUE(folderMount.SetReadOnly(false)) << std::strerror(errno);
    }
    Run({'Z', kVkBackspace});
    EXPECT_FALSE(Report.WriteFailed);
    EXPECT_EQ(ReadFileBytes(ReportPath()), BuildReportText());
    EndProgram();
    EXPECT_EQ(ReadFileBytes("corvane.ini").find("File = " + ReportPath()) != std::string::npos,
              true);
    ResetEverything();
    ASSERT_TRUE(StartUp());
    EXPECT_EQ(Log.QsoCount, 26);
    EXPECT_EQ(TrimSpaces(Field(25, kColCall)), "RA25A");
    EndProgram();
  }
}

// corvane.ini that cannot be written: said once in the status line in the
// warning colours, the choice kept in memory and written at the end once
// writing works again.
TEST_F(SafekeepingTest, AnUnwritableSettingsFileIsSaidAndWrittenLater) {
  Prepare({});
  if (!SetWriteLock("corvane.ini", true)) GTEST_SKIP() << "cannot make a file read-only here";
  ASSERT_TRUE(StartUp());
  Run();
  const headless::ControlState* status = headless::Control(kStatusLineId);
  EXPECT_EQ(std::tie(status->text, status->textColour, status->backColour),
            std::tuple(std::string(kSettingsUnsavedText) + "corvane.ini", kWarningText,
                       kWarningBack));
  // A new report is chosen: corvane.ini still fails, and is not said again.
  headless::QueueMenu(kMenuNew);
  headless::QueueFileAnswer("chosen");
  headless::QueueProbe([] {
    SetControlText(kStatusLineId, "");  // whatever said it before
  });
  Run({kVkTab});
  EXPECT_EQ(AppSettings.File, "chosen.CBR");
  EXPECT_EQ(ReadFileBytes("corvane.ini").find("chosen"), std::string::npos);
  EXPECT_EQ(headless::Control(kStatusLineId)->text.find(kSettingsUnsavedText), std::string::npos);
  SetWriteLock("corvane.ini", false);
  headless::QueueMenu(kMenuExit);
  Run();
  EndProgram();
  EXPECT_NE(ReadFileBytes("corvane.ini").find("File = chosen.CBR"), std::string::npos);
}

}  // namespace
