// The duplicate scan: one pass over the log from row 1 to the current row that
// warns when the current row repeats a contact of the same sub-tour on the
// same band, and lists the stations worked on that band in other sub-tours
// but not yet in this one. It changes no log field. Without a warning the
// status line shows the count of contacts.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "app/app.h"
#include "base/date.h"
#include "base/text.h"
#include "log/log.h"
#include "settings/settings.h"
#include "ui/window.h"

namespace {

constexpr int32_t kQuietBack = 0xD8E8E8;  // grey
constexpr std::size_t kEntryWidth = kInformerEntryWidth;
static_assert(kEntryWidth > 8 && kEntryWidth <= 16, "an entry is hashed as two words");

// A call as the informer lists it: cut or padded with spaces to the entry
// width, which is the call sign as repeats compare it (RepeatCallEntry).
static_assert(kInformerEntryWidth == kRepeatCallWidth);
struct CallEntry {
  std::array<char, kEntryWidth> bytes;
  bool operator==(const CallEntry&) const = default;
};

CallEntry EntryOf(std::string_view call) {
  CallEntry entry;
  entry.bytes.fill(' ');
  std::copy_n(call.begin(), std::min(call.size(), kEntryWidth), entry.bytes.begin());
  return entry;
}

// The entry's bytes mixed into a number for the tables below.
uint64_t HashOf(const CallEntry& entry) {
  uint64_t low = 0, high = 0;
  std::memcpy(&low, entry.bytes.data(), 8);
  std::memcpy(&high, entry.bytes.data() + 8, kEntryWidth - 8);
  const uint64_t mixed = (low ^ (high * 0x9E3779B97F4A7C15u)) * 0xFF51AFD7ED558CCDu;
  return mixed ^ (mixed >> 29);
}

// Entries mapped to a row-order number, for one scan: open addressing over
// more slots than the log has rows; a slot counts only when it was written in
// the current scan, so nothing is cleared between scans.
class EntryTable {
 public:
  struct Slot {
    CallEntry entry;
    int value = 0;
    uint32_t scan = 0;  // the scan that wrote it; 0: never
  };
  void Begin() { ++scan_; }
  // The slot of `entry` (whose hash is `hash`): the one holding it, or the
  // free one it would take.
  Slot& Find(const CallEntry& entry, uint64_t hash) {
    for (std::size_t i = hash & (kSlots - 1);; i = (i + 1) & (kSlots - 1)) {
      Slot& slot = slots_[i];
      if (slot.scan != scan_ || slot.entry == entry) return slot;
    }
  }
  bool Holds(const Slot& slot) const { return slot.scan == scan_; }
  void Put(Slot& slot, const CallEntry& entry, int value) {
    slot = {entry, value, scan_};
  }

 private:
  static constexpr std::size_t kSlots = 2048;  // a power of two, over twice the rows
  static_assert(kSlots > 2 * kLogRows && (kSlots & (kSlots - 1)) == 0);
  std::array<Slot, kSlots> slots_{};
  uint32_t scan_ = 0;
};

// What the scan works out from one row, kept until the row changes.
struct RowFacts {
  int64_t stamp = -1;  // the row's stamp when worked out; -1: never
  int64_t epoch = -1;
  int32_t minutes = 0;
  int bandClass = 0;
  SubTourKey key;  // of the row's own time
  CallEntry entry;
  uint64_t hash = 0;
  bool hasCall = false;
};

// What one scan works in, kept between scans so that a scan allocates nothing
// per row.
struct ScanScratch {
  std::array<RowFacts, kLogRows + 1> rows;
  EntryTable listed;    // informer entries -> their place in `order`
  EntryTable subTour;   // calls of the current sub-tour -> their first row
  std::array<CallEntry, kLogRows + 1> order;  // informer entries in scan order
  std::array<bool, kLogRows + 1> kept;        // still in the informer
  std::string text;
};
ScanScratch Scratch;

constexpr int32_t kCountText = -1;  // the default text colour

}  // namespace

ContactCount CountContacts(int rows, std::string_view band) {
  const std::string_view wanted = TrimmedSpaces(band);
  const int wantedClass = ClassifyBand(wanted);
  ContactCount count;
  // Rows mostly share their band text: it is read again only when it differs.
  std::string_view lastText, lastBand;
  int lastClass = ClassifyBand(lastBand);
  for (int i = 1; i <= std::min(rows, kLogRows); ++i) {
    const QsoRecord& row = Log.QsoLog[static_cast<std::size_t>(i)];
    if (OnlySpaces(row[kColCall]) || OnlySpaces(row[kColTime])) continue;
    ++count.all;
    if (row[kColBand] != lastText) {
      lastText = row[kColBand];
      lastBand = TrimmedSpaces(lastText);
      lastClass = ClassifyBand(lastBand);
    }
    if (lastClass == wantedClass && (lastClass != 0 || lastBand == wanted)) ++count.onBand;
  }
  return count;
}

std::string ContactCountText(const ContactCount& count, std::string_view band) {
  constexpr std::string_view kAll = "Связей: "_cp, kOnBand = ", на "_cp;
  std::string text(kAll);
  text += DecimalText(count.all);
  if (!band.empty()) {
    text += kOnBand;
    text += band;
    text += ": ";
    text += DecimalText(count.onBand);
  }
  return text;
}

void ShowContactCount() {
  if (App.StatusWarns) return;
  if (App.RigSilent) {
    SetControlText(kStatusLineId, kRigSilentText);
    SetControlColour(kStatusLineId, kColourText, kWarningText);
    SetControlColour(kStatusLineId, kColourBack, kWarningBack);
    return;
  }
  const int last = std::max(1, std::min(Log.QsoCount, kLogRows));
  const int cur = std::clamp(Log.TopOffset + Log.CurrentRow, 1, last);
  const std::string_view band = TrimmedSpaces(Log.QsoLog[static_cast<std::size_t>(cur)][kColBand]);
  // Counted again only when a row or the band asked for has changed since.
  if (App.CountEdits != Log.Edits || App.CountRows != Log.QsoCount || App.CountBand != band) {
    App.CountText = ContactCountText(CountContacts(Log.QsoCount, band), band);
    App.CountEdits = Log.Edits;
    App.CountRows = Log.QsoCount;
    App.CountBand = band;
  }
  // The same words and colours set again repaint nothing.
  SetControlText(kStatusLineId, App.CountText);
  SetControlColour(kStatusLineId, kColourText, kCountText);
  SetControlColour(kStatusLineId, kColourBack, kQuietBack);
}

void LogScan() {
  const int last = std::max(1, std::min(Log.QsoCount, kLogRows));
  const int cur = std::clamp(Log.TopOffset + Log.CurrentRow, 1, last);
  const int32_t minutes = SubTourMinutes(AppSettings.TimeMin);
  const QsoRecord& current = Log.QsoLog[static_cast<std::size_t>(cur)];
  const int referenceBand = ClassifyBand(current[kColBand]);
  SubTourKey reference;
  if (TextLength(TrimSpaces(current[kColTime])) < 5) {
    const DateValue now = CurrentDateValue();
    reference = {HourOf(now), MinuteOf(now) / minutes};
  } else {
    reference = SubTourOfTime(current[kColTime], minutes);
  }

  // The informer: calls of the band in scan order, each once, less those
  // of the current sub-tour; a call met again after it left goes to the end.
  ScanScratch& s = Scratch;
  s.listed.Begin();
  s.subTour.Begin();
  int entries = 0;
  int earlierRow = 0;  // the current call's first row in this sub-tour
  for (int i = 1; i <= cur; ++i) {
    RowFacts& facts = s.rows[static_cast<std::size_t>(i)];
    if (facts.stamp != Log.RowStamps[static_cast<std::size_t>(i)] || facts.epoch != Log.Epoch ||
        facts.minutes != minutes) {
      const QsoRecord& row = Log.QsoLog[static_cast<std::size_t>(i)];
      const std::string_view call = TrimmedSpaces(row[kColCall]);
      facts = {Log.RowStamps[static_cast<std::size_t>(i)],
               Log.Epoch,
               minutes,
               ClassifyBand(row[kColBand]),
               SubTourOfTime(row[kColTime], minutes),
               EntryOf(call),
               0,
               !call.empty()};
      facts.hash = HashOf(facts.entry);
    }
    if (facts.bandClass != referenceBand) continue;
    const CallEntry& entry = facts.entry;
    EntryTable::Slot& listed = s.listed.Find(entry, facts.hash);
    const bool isListed = s.listed.Holds(listed) && s.kept[static_cast<std::size_t>(listed.value)];
    if (facts.hasCall && !isListed) {
      s.order[static_cast<std::size_t>(entries)] = entry;
      s.kept[static_cast<std::size_t>(entries)] = true;
      s.listed.Put(listed, entry, entries++);
    }
    const SubTourKey key = i < cur ? facts.key : reference;
    if (!(key == reference)) continue;
    if (s.listed.Holds(listed)) s.kept[static_cast<std::size_t>(listed.value)] = false;
    EntryTable::Slot& worked = s.subTour.Find(entry, facts.hash);
    if (i < cur) {
      if (!s.subTour.Holds(worked)) s.subTour.Put(worked, entry, i);
    } else if (facts.hasCall && s.subTour.Holds(worked)) {
      earlierRow = worked.value;
    }
  }

  if (earlierRow > 0) {
    const std::string_view time = TrimmedSpaces(Log.QsoLog[static_cast<std::size_t>(earlierRow)][kColTime]);
    SetControlText(kStatusLineId, std::string("ВНИМАНИЕ: Повтор связи!"_cp) + SpaceRun(8) +
                                      std::string("Время: "_cp) + AlignLeft(time, kInformerEntryWidth));
    SetControlColour(kStatusLineId, kColourText, kWarningText);
    SetControlColour(kStatusLineId, kColourBack, kWarningBack);
    App.StatusWarns = true;
  } else {
    App.StatusWarns = false;
    ShowContactCount();
  }

  // The list holds the first entries in scan order up to its capacity.
  s.text.clear();
  int shown = 0;
  for (int k = 0; k < entries && shown < kInformerCapacity; ++k) {
    if (!s.kept[static_cast<std::size_t>(k)]) continue;
    s.text.append(s.order[static_cast<std::size_t>(k)].bytes.data(), kEntryWidth);
    ++shown;
  }
  if (s.text != App.InformerText) {
    App.InformerText = s.text;
    RebuildInformer();
  }
}
