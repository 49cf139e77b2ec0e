// The report writer: the exact bytes of the report and of its QSO columns at
// their edges, the ".bak" kept before the first rewrite of an existing file,
// failed rewrites (warning flag, nothing lost), a writer killed mid-rewrite,
// and the grouped rewrite: one rewrite per event that changed the log, done
// before the program waits again.
#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <string_view>

#include "tests/entry_script.h"
#include "tests/test_support.h"
#include "ui/window.h"

namespace {

namespace fs = std::filesystem;
const std::string kHead = "START-OF-LOG: 3.0\r\nCREATED-BY: Corvane v7.0\r\n";
const std::string kEnd = "END-OF-LOG: \r\n";
constexpr char kOriginal[] = "START-OF-LOG: 2.0\r\nQSO: points live here 123\r\n";

constexpr char kMissing[] = "<no such file>";
constexpr char kFolder[] = "<a folder>";
std::string Contents(const std::string& path) {
  if (fs::is_directory(path)) return kFolder;
  return PathExists(path) ? ReadFileBytes(path) : kMissing;
}

// A log record from "time|band|mode|call|sent|received|points|date".
QsoRecord Row(const std::string& fields) {
  QsoRecord record;
  std::istringstream in(fields);
  for (std::size_t column = 1; column <= kColDate && std::getline(in, record[column], '|');)
    ++column;
  return record;
}

TEST_F(ProgramTest, ReportBytesAndQsoColumns) {
  const struct {
    const char *name, *callsign, *row;
    std::string_view line;
  } kCases[] = {
      {"new empty report", "UA3ABC", "",
       "QSO:                          UA3ABC                                             "},
      {"ordinary, points not written", "UA3ABC", "09:05|14200|CW|RK3AWL|1|2|99|2010-03-07",
       "QSO: 14200 CW 2010-03-07 0905 UA3ABC        1          RK3AWL        2           "},
      {"one-character time doubled, seventh band character lost", "UA3ABC", "7|1296000|FM|A|1|2",
       "QSO: 129600FM            77   UA3ABC        1          A             2           "},
      {"one-space own call is a value", " ", "",
       "QSO:                                                                             "},
      {"too long: cut, running into the next field", "UA3ABC/P/QRPXYZW",
       "10:00|7000|CW|RA3ABCDEFGHIJKLM|59900112345678|599002ABCDEFGH",
       "QSO: 7000  CW            1000 UA3ABC/P/QRPXY59900112345RA3ABCDEFGHIJK599002ABCDE "},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.line.size(), 81u);
    ResetEverything();
    AppSettings.File = "cols.CBR";
    ReportHeader.Callsign = c.callsign;
    Log.QsoLog[1] = Row(c.row);
    StoreAndWait(0, 0, 0, "");
    EXPECT_EQ(ReadFileBytes("cols.CBR"),
              kHead + "CALLSIGN: " + c.callsign + "\r\n" + std::string(c.line) + "\r\n" + kEnd);
  }
}

TEST_F(ProgramTest, HeaderLinesInOrderOnlyForValuesThatAreSet) {
  const std::string ivanov("Иванов, Иван"_cp);
  ReportHeader = {"KP",    "UA3ABC", "MO-12", "MULTI-OP", "LOW",  "ALL",
                  "MIXED", "a@b.ru", {},      "73!",      "1234", "someone else"};
  ReportHeader.Operators = {"", ivanov, "", "UA3XYZ", "never written"};
  Log.QsoLog[1] = Row("09:05|7000|CW|RK3AWL|001|002|15|2010-03-07");
  const std::string head =
      kHead +
      "CONTEST: KP\r\nCALLSIGN: UA3ABC\r\nLOCATION: MO-12\r\nCATEGORY-OPERATOR: MULTI-OP\r\n" +
      "CATEGORY-POWER: LOW\r\nCATEGORY-BAND: ALL\r\nCATEGORY-MODE: MIXED\r\nEMAIL: a@b.ru\r\n" +
      "OPERATORS: " + ivanov + "\r\nOPERATORS: UA3XYZ\r\nSOAPBOX: 73!\r\n";
  const std::string qso =
      "QSO: 7000  CW 2010-03-07 0905 UA3ABC        001        RK3AWL        002         \r\n";
  AppSettings.File = "head.CBR";
  StoreAndWait(0, 0, 0, "");
  EXPECT_EQ(ReadFileBytes("head.CBR"), head + qso + "CLAIMED-SCORE: 1234\r\n" + kEnd);
  Log.QsoCount = 0;  // inside the deletion of the only row
  StoreAndWait(0, 0, 0, "");
  EXPECT_EQ(ReadFileBytes("head.CBR"), head + "CLAIMED-SCORE: 1234\r\n" + kEnd);
}

TEST_F(ProgramTest, StoreCellStoresShowsAndRewrites) {
  ASSERT_NE(OpenAppWindow(kMainWindowId, 0, 0, 798, 530, "main", kMainWindowFlags), 0);
  SetControlParent(AppWindowHandle(kMainWindowId));
  for (int c = 1; c <= kColDate; ++c) CreateLabel(CellId(2, c), 0, 0, 10, 10, "", 1);
  Log.QsoCount = 12;
  StoreAndWait(kColCall, 2, 10, "RK3AWL");  // no report chosen: memory only, no warning
  EXPECT_TRUE(fs::is_empty("."));
  EXPECT_FALSE(Report.WriteFailed);
  AppSettings.File = "store.CBR";
  StoreAndWait(kColDate, 2, 10, "2010-03-07");          // not shown in the grid
  StoreAndWait(kColSent, 2, kLogRows, "PAST THE END");  // no log row there
  EXPECT_EQ(Log.QsoLog[12][kColCall], "RK3AWL");
  EXPECT_EQ(Log.QsoLog[12][kColDate], "2010-03-07");
  EXPECT_EQ(Log.QsoLog[12][kColSent], "");
  EXPECT_EQ(headless::Control(CellId(2, kColCall))->text, "RK3AWL");
  EXPECT_EQ(headless::Control(CellId(2, kColDate))->text, "");
  EXPECT_EQ(headless::Control(CellId(2, kColSent))->text, "PAST THE END");
  EXPECT_EQ(ReadFileBytes("store.CBR"), BuildReportText());
}

enum Fault {
  kNoFault,
  kBakIsFolder,
  kFolderGone,
  kFolderRenamed,
  kReportIsFolder,
  kFolderReadOnly,
  kFileReadOnly
};
bool SetFault(Fault fault, bool on) {
  if (fault == kFolderRenamed) fs::rename(on ? "logs" : "moved", on ? "moved" : "logs");
  if (fault == kReportIsFolder && on) {
    fs::remove("logs/r.CBR");
    fs::create_directory("logs/r.CBR");
  }
  if (fault == kReportIsFolder && !on) fs::remove("logs/r.CBR");
  if (fault == kBakIsFolder && on) fs::create_directory("logs/r.CBR.bak");
  if (fault == kBakIsFolder && !on) fs::remove("logs/r.CBR.bak");
  if (fault == kFolderGone && on) fs::remove_all("logs");
  if (fault == kFolderGone && !on) fs::create_directory("logs");
  if (fault == kFolderReadOnly) return SetWriteLock("logs", on);
  if (fault == kFileReadOnly) return SetWriteLock("logs/r.CBR", on);
  return true;
}

// An existing file is kept as ".bak" once per run before its first rewrite. A
// rewrite that fails sets the flag and leaves the file on disk as it was; the
// next one that works writes everything.
TEST_F(ProgramTest, BackupAndFailedRewrites) {
  const struct {
    const char* name;
    bool exists;
    const char *olderBak, *backedUp;
    Fault fault;
    const char *whileBroken, *bakAfter;  // whileBroken nullptr: the rewrites work
  } kCases[] = {
      {"existing file is kept", true, nullptr, "", kNoFault, nullptr, kOriginal},
      {"an older .bak is replaced", true, "stale", "", kNoFault, nullptr, kOriginal},
      {"a new file gets no .bak", false, nullptr, "", kNoFault, nullptr, kMissing},
      {"not kept twice in one run", true, "first", "logs/r.CBR", kNoFault, nullptr, "first"},
      {"another file kept in this run does not count", true, nullptr, "b", kNoFault, nullptr,
       kOriginal},
      {"backup cannot be made", true, nullptr, "", kBakIsFolder, kOriginal, kOriginal},
      {"folder removed", true, nullptr, "", kFolderGone, kMissing, kMissing},
      {"folder renamed", true, nullptr, "", kFolderRenamed, kMissing, kOriginal},
      {"report replaced by a folder", true, nullptr, "logs/r.CBR", kReportIsFolder, kFolder,
       kMissing},
#ifndef _WIN32  // where a folder can be closed to new files
      // No new file can be made there: the report is written over itself, with no .bak.
      {"folder not writable", true, nullptr, "", kFolderReadOnly, nullptr, kMissing},
#endif
      {"report file read-only", true, nullptr, "logs/r.CBR", kFileReadOnly, kOriginal, kMissing},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetEverything();
    fs::remove_all("logs");
    fs::create_directory("logs");
    if (c.exists) WriteFileBytes("logs/r.CBR", kOriginal);
    if (c.olderBak != nullptr) WriteFileBytes("logs/r.CBR.bak", c.olderBak);
    AppSettings.File = "logs/r.CBR";
    Report.BackedUpFile = c.backedUp;
    if (!SetFault(c.fault, true)) {
      ADD_FAILURE() << "cannot make the fault here";
      continue;
    }
    StoreAndWait(kColCall, 1, 0, "UA1AAA");
    StoreAndWait(kColSent, 1, 0, "002");
    EXPECT_EQ(Report.WriteFailed, c.whileBroken != nullptr);
    EXPECT_EQ(Report.InPlace, c.fault == kFolderReadOnly);
    EXPECT_EQ(Contents("logs/r.CBR"), c.whileBroken ? c.whileBroken : BuildReportText());
    SetFault(c.fault, false);
    StoreAndWait(kColReceived, 1, 0, "003");
    EXPECT_FALSE(Report.WriteFailed);
    EXPECT_EQ(ReadFileBytes("logs/r.CBR"), BuildReportText());
    EXPECT_NE(BuildReportText().find("002        UA1AAA        003"), std::string::npos);
    EXPECT_EQ(Contents("logs/r.CBR.bak"), c.bakAfter);
  }
}

// The writer killed at any moment (a child process, made by fork).
#ifndef _WIN32
TEST_F(ProgramTest, KilledWriterAlwaysLeavesACompleteReport) {
  AppSettings.File = "kill.CBR";
  for (int r = 1; r <= kLogRows; ++r) Log.QsoLog[r][kColCall] = "C" + std::to_string(r);
  std::string versions[2];  // the child rewrites these two in turn, of different lengths
  for (int v : {0, 1}) {
    Log.QsoCount = kLogRows - v;
    Log.QsoLog[1][kColSent] = std::to_string(v);
    versions[v] = BuildReportText();
  }
  StoreAndWait(0, 0, 0, "");
  std::mt19937 random(20100307);
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    const std::string before = ReadFileBytes("kill.CBR");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    for (int v = 0; child == 0; v = 1 - v) {
      Log.QsoCount = kLogRows - v;
      StoreAndWait(kColSent, 1, 0, std::to_string(v));
    }
    // Once the child has rewritten the report, kill it anywhere in a later rewrite.
    bool rewritten = false;
    for (int waited = 0; waited < 20000 && !rewritten; ++waited) {
      rewritten = ReadFileBytes("kill.CBR") != before;
      if (!rewritten) usleep(1000);
    }
    usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 40000)(random)));
    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    EXPECT_TRUE(rewritten) << "the child never completed a rewrite";
    const std::string text = ReadFileBytes("kill.CBR");
    ASSERT_TRUE(text == versions[0] || text == versions[1]) << text.size() << " bytes";
  }
}
#endif

using GroupedRewriteTest = EntryTest;

// How many rewrites each event makes, through the real event loop: an event
// that changes the log makes exactly one, however many fields it stores.
TEST_F(GroupedRewriteTest, OneRewritePerEventThatChangesTheLog) {
  const Qso done = {"14200", "CW", "2010-03-07", "09:00", "RK3AWL", "599001", "599017"};
  const Qso entry = {"14200", "CW", "", "", "", "599002", ""};
  const struct {
    const char* name;
    std::vector<Qso> rows;
    void (*queue)();
    int64_t rewrites;
    bool rowless = false;  // the file is written while the log has no row
  } kCases[] = {
      {"a letter pressed", {entry}, [] { headless::QueueKeyDown('U'); }, 1},
      {"its release (the scan)", {entry}, [] { headless::QueueKeyUp('U'); }, 0},
      {"Enter: stamps and a whole new entry row",
       {done, entry},
       [] { headless::QueueKeyDown(kVkEnter); },
       1},
      {"Delete of the last row", {done, entry}, [] { headless::QueueKeyDown(kVkDelete); }, 1},
      {"Delete of the only row", {entry}, [] { headless::QueueKeyDown(kVkDelete); }, 1, true},
      {"band cycling", {entry}, [] { headless::QueueKeyDown(kVkComma); }, 1},
      {"an arrow", {entry}, [] { headless::QueueKeyDown(kVkUp); }, 0},
      {"a timer tick", {entry}, [] { headless::QueueTimer(); }, 0},
      {"a key on a full field",
       {{"14200", "CW", "", "", "UA1ABCDEF", "599002", ""}},
       [] { headless::QueueKeyDown('X'); },
       0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Begin(c.rows);
    // Enter and Delete act on the last row: put the cursor there, in the call column.
    for (std::size_t i = 1; i < c.rows.size(); ++i) headless::QueueKeyDown(kVkDown);
    for (int i = 1; i < kColCall; ++i) headless::QueueKeyDown(kVkRight);
    Run();
    const int64_t before = Report.Rewrites;
    c.queue();
    Run();
    EXPECT_EQ(Report.Rewrites - before, c.rewrites);
    EXPECT_FALSE(Log.Changed);
    // Deleting the only row writes the report without QSO lines, before the
    // new empty entry row takes its place.
    EXPECT_EQ(FileQsoLines().size(), c.rowless ? 0u : static_cast<std::size_t>(Log.QsoCount));
    if (!c.rowless) {
      EXPECT_EQ(ReadFileBytes(ReportPath()), BuildReportText());
    }
  }
}

// Keys typed ahead of the program (queued one after another: input that is
// already waiting) are handled in turn and written by one rewrite once none
// is left; input that arrives while that rewrite runs makes one more.
std::vector<int> LetterAndBackspace(int pairs) {
  std::vector<int> keys;
  for (int i = 0; i < pairs; ++i) keys.insert(keys.end(), {'A' + i % 26, kVkBackspace});
  return keys;
}

const std::vector<int>* BurstKeys = nullptr;  // what the hook below queues
int BurstsLeft = 0;

void QueueBurst() {
  for (int key : *BurstKeys) headless::QueueKey(key);
}

// The program's settling, during which the next burst arrives.
void SettleWhileABurstArrives() {
  SettleBeforeWait();
  if (BurstsLeft > 0) {
    --BurstsLeft;
    QueueBurst();
  }
}

TEST_F(GroupedRewriteTest, KeysAlreadyWaitingShareOneRewrite) {
  const std::vector<int> typed = LetterAndBackspace(22);
  const std::vector<int> contact = {'R', 'A', '1', 'A', kVkTab, '5', '9', '0', '0', '1', kVkEnter};
  const struct {
    const char* name;
    const std::vector<int>& keys;
    bool pauseAfterEach;  // the user stops after every key: the program waits each time
    int burstsDuringRewrites;
    int64_t rewrites;
  } kCases[] = {
      {"44 keys typed ahead", typed, false, 0, 1},
      {"the same keys, a pause after each", typed, true, 0, 44},
      {"a whole contact, Enter included", contact, false, 0, 1},
      {"44 keys typed ahead, again during each of two rewrites", typed, false, 2, 3},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Begin({{"14200", "CW", "", "", "", "599001", ""}});
    for (int i = 1; i < kColCall; ++i) headless::QueueKeyDown(kVkRight);
    Run();
    const int64_t before = Report.Rewrites;
    BurstKeys = &c.keys;
    BurstsLeft = c.burstsDuringRewrites;
    SetBeforeWaitHook(SettleWhileABurstArrives);
    for (int key : c.keys) {
      headless::QueueKey(key);
      if (c.pauseAfterEach) headless::QueuePause();
    }
    Run();
    EXPECT_EQ(Report.Rewrites - before, c.rewrites);
    EXPECT_EQ(BurstsLeft, 0);
    EXPECT_EQ(ReadFileBytes(ReportPath()), BuildReportText());
  }
}

#ifndef _WIN32
// Killed at any moment while bursts of keys arrive during its rewrites, the
// program leaves a whole report on the disk: the one of its last wait, or
// the next one when the kill came after that one's rename. The child sends
// the text it settles ('S') and the text the wait found settled ('W').
void SendRecord(int fd, char kind, const std::string& text) {
  const std::string record = kind + std::to_string(text.size()) + ":" + text;
  if (write(fd, record.data(), record.size()) != static_cast<ssize_t>(record.size())) _exit(3);
}

int RecordPipe = -1;
std::vector<int> Retyping;  // nine Backspaces and a new call each burst
int BurstNumber = 0;

void SettleAndRetype() {
  SendRecord(RecordPipe, 'S', BuildReportText());
  SettleBeforeWait();
  SendRecord(RecordPipe, 'W', BuildReportText());
  ++BurstNumber;
  for (int i = 0; i < 9; ++i) headless::QueueKey(kVkBackspace);
  for (int i = 0; i < 9; ++i) headless::QueueKey('A' + (BurstNumber * 7 + i) % 26);
}

TEST_F(GroupedRewriteTest, KilledDuringABurstFindsTheReportOfTheLastWait) {
  std::mt19937 random(20261209);
  for (int run = 0; run < 30; ++run) {
    SCOPED_TRACE(run);
    Begin({{"14200", "CW", "", "", "", "599001", ""}});
    for (int i = 1; i < kColCall; ++i) headless::QueueKeyDown(kVkRight);
    Run();
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipeEnds[0]);
      RecordPipe = pipeEnds[1];
      SendRecord(RecordPipe, 'W', BuildReportText());
      SetBeforeWaitHook(SettleAndRetype);
      Run();
      _exit(2);  // never: every wait brings the next burst
    }
    close(pipeEnds[1]);
    std::string records;
    char chunk[4096];
    // The kill comes at a random moment once the child has begun.
    const ssize_t first = read(pipeEnds[0], chunk, sizeof chunk);
    if (first > 0) records.append(chunk, static_cast<std::size_t>(first));
    usleep(std::uniform_int_distribution<useconds_t>(0, 40000)(random));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    for (ssize_t got; (got = read(pipeEnds[0], chunk, sizeof chunk)) > 0;)
      records.append(chunk, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    // The last whole 'W' record, and the 'S' record after it if one is whole.
    std::string waited, settling;
    int bursts = 0;
    for (std::size_t at = 0; at < records.size();) {
      const std::size_t colon = records.find(':', at);
      if (colon == std::string::npos) break;
      const std::size_t size = std::stoul(records.substr(at + 1, colon - at - 1));
      if (colon + 1 + size > records.size()) break;
      const std::string text = records.substr(colon + 1, size);
      if (records[at] == 'W') {
        waited = text;
        settling.clear();
        ++bursts;
      } else {
        settling = text;
      }
      at = colon + 1 + size;
    }
    ASSERT_FALSE(waited.empty());
    const std::string onDisk = ReadFileBytes(ReportPath());
    EXPECT_TRUE(onDisk == waited || (!settling.empty() && onDisk == settling))
        << "after " << bursts << " waits the disk holds " << onDisk.size() << " bytes";
  }
}
#endif

// The program is killed while it waits after an event: the report on the
// disk is exactly what memory held when the wait began. The child sends that
// text from inside the wait, then sleeps until it is killed.
#ifndef _WIN32
TEST_F(GroupedRewriteTest, KilledWhileWaitingFindsTheWholeChangeOnTheDisk) {
  const std::vector<int> script = {'U',      'A',      '1', 'A', kVkTab,    '5',      '9',     '9',
                                   kVkEnter, kVkComma, 'R', '3', kVkDelete, kVkQuote, kVkEnter};
  for (std::size_t events = 1; events <= script.size(); ++events) {
    SCOPED_TRACE(events);
    Begin({{"14200", "CW", "", "", "", "599001", ""}});
    for (int i = 1; i < kColCall; ++i) headless::QueueKeyDown(kVkRight);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (std::size_t i = 0; i < events; ++i) headless::QueueKeyDown(script[i]);
      headless::QueueProbe([&pipeEnds] {
        const std::string text = BuildReportText();
        if (write(pipeEnds[1], text.data(), text.size()) < 0) _exit(3);
        close(pipeEnds[1]);
        for (;;) pause();
      });
      Run();
      _exit(2);  // the probe never returns
    }
    close(pipeEnds[1]);
    std::string expected;
    char chunk[4096];
    for (ssize_t got; (got = read(pipeEnds[0], chunk, sizeof chunk)) > 0;)
      expected.append(chunk, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ReadFileBytes(ReportPath()), expected);
  }
}
#endif

}  // namespace
