// The duplicate scan: one pass over the log from row 1 to the current row that
// warns when the current row repeats a contact of the same sub-tour on the
// same band, and lists the stations worked on that band in other sub-tours
// but not yet in this one. It changes no log field.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/app.h"
#include "base/date.h"
#include "base/text.h"
#include "log/log.h"
#include "settings/settings.h"
#include "ui/window.h"

namespace {

constexpr int32_t kQuietBack = 0xD8E8E8;    // grey

// Informer entries are the call signs as repeats compare them.
static_assert(kInformerEntryWidth == kRepeatCallWidth);
std::string Entry(std::string_view call) { return RepeatCallEntry(call); }

}  // namespace

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

  std::vector<std::string> informer;  // entries in scan order
  std::vector<std::string> subTourCalls, subTourTimes;
  bool repeated = false;
  std::string earlierTime;
  for (int i = 1; i <= cur; ++i) {
    const QsoRecord& row = Log.QsoLog[static_cast<std::size_t>(i)];
    if (ClassifyBand(row[kColBand]) != referenceBand) continue;
    const std::string call = TrimSpaces(row[kColCall]);
    const std::string entry = Entry(call);
    const auto listed = std::find(informer.begin(), informer.end(), entry);
    if (!call.empty() && listed == informer.end()) informer.push_back(entry);
    const SubTourKey key = i < cur ? SubTourOfTime(row[kColTime], minutes) : reference;
    if (!(key == reference)) continue;
    informer.erase(std::remove(informer.begin(), informer.end(), entry), informer.end());
    if (i < cur) {
      subTourCalls.push_back(entry);
      subTourTimes.push_back(Entry(TrimSpaces(row[kColTime])));
    } else if (!call.empty()) {
      const auto earlier = std::find(subTourCalls.begin(), subTourCalls.end(), entry);
      if (earlier != subTourCalls.end()) {
        repeated = true;
        earlierTime = subTourTimes[static_cast<std::size_t>(earlier - subTourCalls.begin())];
      }
    }
  }

  if (repeated) {
    SetControlText(kStatusLineId, std::string("ВНИМАНИЕ: Повтор связи!"_cp) + SpaceRun(8) +
                                      std::string("Время: "_cp) + earlierTime);
    SetControlColour(kStatusLineId, kColourText, kWarningText);
    SetControlColour(kStatusLineId, kColourBack, kWarningBack);
  } else {
    SetControlText(kStatusLineId, "");
    SetControlColour(kStatusLineId, kColourBack, kQuietBack);
  }

  // The list holds the first entries in scan order up to its capacity.
  if (informer.size() > static_cast<std::size_t>(kInformerCapacity))
    informer.resize(static_cast<std::size_t>(kInformerCapacity));
  std::string text;
  for (const std::string& entry : informer) text += entry;
  if (text != App.InformerText) {
    App.InformerText = std::move(text);
    RebuildInformer();
  }
}
