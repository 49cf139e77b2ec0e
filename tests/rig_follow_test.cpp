// The entry row follows a real radio: Hamlib's dummy radio served by rigctld
// on a loopback port, the program set up for Hamlib's network model, the
// dummy tuned with rigctl, and the real event loop ticking on queued timer
// events with real time between them for the poller thread.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "rig/rig.h"
#include "tests/entry_script.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTickPeriod = std::chrono::milliseconds(1000);  // the program's timer

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= folders.size();) {
    const std::size_t end = std::min(folders.find(':', at), folders.size());
    if (access((folders.substr(at, end - at) + "/" + program).c_str(), X_OK) == 0) return true;
    at = end + 1;
  }
  return false;
}

// A loopback port that nothing listens on just now.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

class RigFollowTest : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    if (!RigControlBuilt()) GTEST_SKIP() << "built without Hamlib";
    if (!OnPath("rigctld") || !OnPath("rigctl"))
      GTEST_SKIP() << "rigctld or rigctl is not installed (Debian: libhamlib-utils)";
    port_ = FreePort();
    ASSERT_NE(port_, 0);
  }
  void TearDown() override {
    StopDaemon();
    StopRigPoller();
    EntryTest::TearDown();
  }

  // rigctld with Hamlib's dummy radio (model 1) on the loopback port.
  void StartDaemon() {
    const std::string port = DecimalText(port_);
    daemon_ = fork();
    if (daemon_ == 0) {
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execlp("rigctld", "rigctld", "-m", "1", "-T", "127.0.0.1", "-t", port.c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(daemon_, 0);
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (!Accepts(port_) && Clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(Accepts(port_)) << "rigctld did not listen on " << port_;
  }
  void StopDaemon() {
    if (daemon_ <= 0) return;
    kill(daemon_, SIGKILL);
    waitpid(daemon_, nullptr, 0);
    daemon_ = -1;
  }
  // rigctl's commands to the dummy through the daemon, e.g. "F 14025000 M USB 0".
  void Tune(const std::string& commands) {
    const std::string line = "timeout 10 rigctl -m 2 -r 127.0.0.1:" + DecimalText(port_) + " " +
                             commands + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(line.c_str()), 0) << line;
  }

 public:
  // One tick of the program's timer after its real period; returns how long
  // the program's thread took over it.
  static Clock::duration Tick() {
    std::this_thread::sleep_for(kTickPeriod);
    headless::QueueTimer();
    const auto start = Clock::now();
    Run();
    return Clock::now() - start;
  }
 protected:
  // Ticks until `done` holds, at most `ticks` of them; the ticks taken, or
  // ticks + 1 when it never held.
  template <class Done>
  static int TicksUntil(int ticks, Done done) {
    for (int k = 1; k <= ticks; ++k) {
      Tick();
      if (done()) return k;
    }
    return ticks + 1;
  }

  std::string EntryRow() const {  // band and mode of the entry row, log and grid
    return Field(2, kColBand) + "/" + Field(2, kColMode) + " " + Cell(2, kColBand) + "/" +
           Cell(2, kColMode);
  }
  static std::string StatusText() { return headless::Control(kStatusLineId)->text; }

  int port_ = 0;
  pid_t daemon_ = -1;
};

TEST_F(RigFollowTest, TheEntryRowFollowsTheDummyRadio) {
  // A report whose entry row (row 2) is on 80 m CW.
  const Qso first{"3600", "CW", "2010-03-07", "08:59", "RA3AA", "001", "005"};
  const Qso entry{"3600", "CW", "", "", "", "002", ""};
  Prepare({first, entry});
  StartDaemon();
  WriteFileBytes(kOptionsFileName,
                 "[Rig]\r\nModel = 2\r\nPort = 127.0.0.1:" + DecimalText(port_) + "\r\n");
  ASSERT_TRUE(StartUp());
  Run();
  ASSERT_EQ(Log.QsoCount, 2);

  // Tuned to 20 m SSB: the entry row follows within two ticks, into the report.
  Tune("F 14025000 M USB 0");
  const int followedAfter = TicksUntil(2, [&] { return EntryRow() == "14025/PH 14025/PH"; });
  EXPECT_LE(followedAfter, 2) << EntryRow();
  Qso want = entry;
  want.band = "14025";
  want.mode = "PH";
  EXPECT_EQ(FileQsoLines().back(), QsoLine(want));
  EXPECT_EQ(FileQsoLines().front(), QsoLine(first)) << "an older row is not touched";

  // The band and mode keys win while the radio stays where it is.
  Run({kVkDown, kVkComma, kVkQuote});
  const std::string keyed = EntryRow();
  EXPECT_NE(Field(2, kColBand), "14025");
  EXPECT_NE(Field(2, kColMode), "PH");
  Tick();
  Tick();
  EXPECT_EQ(EntryRow(), keyed);

  // While a call sign is typed the row is not touched; once it is erased,
  // the row takes what the radio changed to meanwhile.
  Run({kVkTab});
  Run("UA1AAA");
  ASSERT_EQ(Field(2, kColCall), "UA1AAA");
  Tune("F 7074000 M CW 0");
  Tick();
  Tick();
  EXPECT_EQ(EntryRow(), keyed);
  Run({kVkBackspace, kVkBackspace, kVkBackspace, kVkBackspace, kVkBackspace, kVkBackspace});
  ASSERT_EQ(TrimSpaces(Field(2, kColCall)), "");
  EXPECT_LE(TicksUntil(2, [&] { return EntryRow() == "7074/CW 7074/CW"; }), 2) << EntryRow();
  EXPECT_NE(StatusText(), kRigSilentText);

  // A frequency outside the log's bands and a data mode leave the cells alone.
  Tune("F 10136000 M PKTUSB 0");
  Tick();
  Tick();
  EXPECT_EQ(EntryRow(), "7074/CW 7074/CW");

  // The daemon gone: the warning comes, and every tick is over at once.
  StopDaemon();
  Clock::duration longest{};
  const int silentAfter = TicksUntil(5, [&] {
    return StatusText() == kRigSilentText;
  });
  EXPECT_LE(silentAfter, 3) << StatusText();
  for (int k = 0; k < 3; ++k) longest = std::max(longest, Tick());
  EXPECT_EQ(StatusText(), kRigSilentText);
  EXPECT_EQ(headless::Control(kStatusLineId)->backColour, kWarningBack);
  EXPECT_LT(longest, std::chrono::milliseconds(100)) << "a tick waited for the radio";
  EXPECT_EQ(EntryRow(), "7074/CW 7074/CW");

  // The daemon back (its dummy starts anew): readings come back by themselves.
  StartDaemon();
  Tune("F 21074000 M LSB 0");
  const int backAfter = TicksUntil(5, [&] { return EntryRow() == "21074/PH 21074/PH"; });
  EXPECT_LE(backAfter, 4) << EntryRow();
  EXPECT_NE(StatusText(), kRigSilentText);
  want.band = "21074";
  EXPECT_EQ(FileQsoLines().back(), QsoLine(want));
  std::printf("followed after %d ticks, silent after %d ticks, the longest tick %lld us, readings back after %d ticks\n",
              followedAfter, silentAfter,
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::microseconds>(longest).count()),
              backAfter);
}

TEST_F(RigFollowTest, NoRigConfiguredChangesNothing) {
  const Qso entry{"3600", "CW", "", "", "", "002", ""};
  Prepare({entry});
  StartDaemon();
  Tune("F 14025000 M USB 0");
  // options.ini with the Rig group off, beside the daemon that would answer.
  WriteFileBytes(kOptionsFileName,
                 "[Rig]\r\nModel = 0\r\nPort = 127.0.0.1:" + DecimalText(port_) + "\r\n");
  ASSERT_TRUE(StartUp());
  Run();
  Tick();
  Tick();
  EXPECT_EQ(Field(1, kColBand) + "/" + Field(1, kColMode), "3600/CW");
  EXPECT_EQ(TakeRigReading().link, kRigOff);
  EXPECT_NE(StatusText(), kRigSilentText);
}

// A radio on a serial line that never answers (a pseudo-terminal nobody
// reads): Hamlib's calls block for seconds, and the program does not.
class DeadLineTest : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    if (!RigControlBuilt()) GTEST_SKIP() << "built without Hamlib";
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    line_ = ptsname(master_);
  }
  void TearDown() override {
    StopRigPoller();
    if (master_ >= 0) close(master_);  // a poller left in Hamlib gets its error now
    EntryTest::TearDown();
  }
  int master_ = -1;
  std::string line_;
};

TEST_F(DeadLineTest, TicksGoOnAndTheWarningComes) {
  const Qso entry{"3600", "CW", "", "", "", "002", ""};
  Prepare({entry});
  // Icom's IC-7300 (Hamlib model 3073), whose driver asks the radio at once.
  WriteFileBytes(kOptionsFileName, "[Rig]\r\nModel = 3073\r\nPort = " + line_ + "\r\n");
  ASSERT_TRUE(StartUp());
  Run();
  Clock::duration longest{};
  int warnedAfter = 0;
  for (int k = 1; k <= 5 && warnedAfter == 0; ++k) {
    longest = std::max(longest, RigFollowTest::Tick());
    if (headless::Control(kStatusLineId)->text == kRigSilentText) warnedAfter = k;
  }
  EXPECT_GE(warnedAfter, 2) << "no answer is said only after kRigAnswerMs";
  EXPECT_LE(warnedAfter, 4) << headless::Control(kStatusLineId)->text;
  EXPECT_LT(longest, std::chrono::milliseconds(100)) << "a tick waited for the radio";
  EXPECT_EQ(Field(1, kColBand) + "/" + Field(1, kColMode), "3600/CW");

  // The end does not wait for Hamlib longer than kRigStopWaitMs.
  const auto start = Clock::now();
  StopRigPoller();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kRigStopWaitMs + 500));
  std::printf("warned after %d ticks, the longest tick %lld us, stopped in %lld ms\n", warnedAfter,
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::microseconds>(longest).count()),
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         Clock::now() - start)
                                         .count()));
}

}  // namespace
