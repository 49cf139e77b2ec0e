// "Трансивер": the radio's model from Hamlib's list, its port and speed, or
// "Отключено". Save writes the Rig group of options.ini (the other groups stay
// as they are) and hands the poller the new setup at once. Built without
// Hamlib, the dialog only says so.
#include <string>
#include <vector>

#include "base/text.h"
#include "rig/rig.h"
#include "settings/options.h"
#include "ui/modal.h"

namespace {

constexpr int kModelList = 1941;
constexpr int kPortField = 1942;
constexpr int kSpeedField = 1943;
constexpr int kOffBox = 1944;
constexpr int kSaveButton = 1945;
constexpr int kCloseButton = 1946;
constexpr int kWidth = 520, kHeight = 230;

// What the model list shows, entry index -> model number.
struct ModelChoice {
  std::vector<int32_t> models;
};

void AddLabel(int id, int y, std::string_view text) {
  CreateLabel(id, 20, y + 2, 90, 20, text, kLabelLeft);
}

// The list of models, with the configured model selected (a model Hamlib
// does not list is kept as an entry of its own, so that Save keeps it).
// With no rig the network model is offered, as rigctld serves most radios.
ModelChoice FillModelList(const std::vector<RigModelEntry>& known) {
  ModelChoice choice;
  const int32_t wanted = Options.RigModel != 0 ? Options.RigModel : kRigNetworkModel;
  int selected = -1;
  for (const RigModelEntry& entry : known) {
    if (entry.model == wanted) selected = static_cast<int>(choice.models.size());
    choice.models.push_back(entry.model);
    AppendListEntry(kModelList,
                    entry.maker + " " + entry.name + " (" + DecimalText(entry.model) + ")");
  }
  if (selected < 0 && Options.RigModel != 0) {
    selected = static_cast<int>(choice.models.size());
    choice.models.push_back(Options.RigModel);
    AppendListEntry(kModelList, std::string("Модель "_cp) + DecimalText(Options.RigModel));
  }
  SetControlValue(kModelList, selected);
  return choice;
}

void ShowOff(bool off) {
  for (int id : {kModelList, kPortField, kSpeedField}) SetControlDisabled(id, off ? 1 : 0);
}

ModelChoice CreateControls() {
  AddLabel(1947, 20, "Модель:"_cp);
  CreateDropDownList(kModelList, 110, 20, 390, 200);
  const ModelChoice choice = FillModelList(ListRigModels());
  AddLabel(1948, 55, "Порт:"_cp);
  CreateTextField(kPortField, 110, 55, 160, 22, Options.RigPort);
  CreateLabel(1949, 280, 57, 230, 20, "/dev/ttyUSB0 или адрес:порт"_cp, kLabelLeft);
  AddLabel(1950, 90, "Скорость:"_cp);
  CreateTextField(kSpeedField, 110, 90, 80, 22, DecimalText(Options.RigSpeed));
  CreateLabel(1951, 200, 92, 300, 20, "0 - по умолчанию для модели"_cp, kLabelLeft);
  CreateCheckBox(kOffBox, 110, 125, 200, 20, "Отключено"_cp);
  const bool off = Options.RigModel == 0;
  SetControlValue(kOffBox, off ? 1 : 0);
  ShowOff(off);
  CreatePushButton(kSaveButton, 190, 170, 140, 25, "Сохранить"_cp);
  return choice;
}

// "Сохранить": the controls into Options, then options.ini and the poller.
void StoreRig(const ModelChoice& choice) {
  const int index = GetControlValue(kModelList);
  const bool chosen = index >= 0 && index < static_cast<int>(choice.models.size());
  Options.RigModel =
      GetControlValue(kOffBox) == 0 && chosen ? choice.models[static_cast<std::size_t>(index)] : 0;
  Options.RigPort = TrimSpaces(GetControlText(kPortField));
  const int32_t speed = ParseDecimal(GetControlText(kSpeedField));
  Options.RigSpeed = speed > 0 ? speed : 0;
  SaveOptionsGroup(kRigGroup);
  ConfigureRig(Options.RigModel, Options.RigPort, Options.RigSpeed);
}

}  // namespace

void RigDialog() {
  if (OpenModalWindow(kRigWindowId, kWidth, kHeight, "Трансивер"_cp) == 0) return;
  ModelChoice choice;
  if (RigControlBuilt()) {
    choice = CreateControls();
  } else {
    CreateLabel(1947, 20, 40, 480, 60,
                "Программа собрана без библиотеки Hamlib: управление трансивером недоступно."_cp,
                kLabelCentred);
    CreatePushButton(kCloseButton, 190, 170, 140, 25, "Закрыть"_cp);
  }

  bool done = false;
  while (!done) {
    const int code = WaitForEvent();
    if (EventWindowId() != kRigWindowId) continue;
    if (IsDialogCancel(code)) {
      done = true;
    } else if (code == kEventControl && EventSourceId() == kOffBox) {
      ShowOff(GetControlValue(kOffBox) != 0);
    } else if (code == kEventControl && EventSourceId() == kSaveButton) {
      StoreRig(choice);
      done = true;
    } else if (code == kEventControl && EventSourceId() == kCloseButton) {
      done = true;
    }
  }
  CloseModalWindow(kRigWindowId);
}
