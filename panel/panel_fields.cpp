#include "panel/panel_fields.h"

namespace {

const FieldFamilyInfo& Family(FieldFamily family) {
  for (const FieldFamilyInfo& info : kFieldFamilies)
    if (info.family == family) return info;
  return kFieldFamilies[0];
}

}  // namespace

std::vector<PanelField> AllPanelFields() {
  std::vector<PanelField> fields;
  for (const FieldFamilyInfo& info : kFieldFamilies)
    for (int i = 0; i < info.count; ++i) fields.push_back({info.family, i});
  return fields;
}

std::string FieldName(PanelField field) {
  return std::string(Family(field.family).name) + std::to_string(field.index + 1);
}

std::optional<PanelField> FieldNamed(std::string_view name) {
  for (const FieldFamilyInfo& info : kFieldFamilies) {
    if (name.size() != info.name.size() + 1 || !name.starts_with(info.name)) continue;
    const int index = name.back() - '1';
    if (index >= 0 && index < info.count) return PanelField{info.family, index};
  }
  return std::nullopt;
}

std::string FieldCommandName(PanelField field) {
  switch (field.family) {
    case FieldFamily::kKey:
      return KeyReadCommand(field.index + 1);
    case FieldFamily::kNumber:
      return NumberReadCommand(field.index + 1);
    case FieldFamily::kDial:
    case FieldFamily::kDay:
      break;
  }
  return std::string(kFlagsReadCommand);
}

std::vector<PanelField> FieldsOfCommand(std::string_view command) {
  const std::string name = CommandName(command);
  std::vector<PanelField> fields;
  for (const PanelField& field : AllPanelFields())
    if (FieldCommandName(field) == name) fields.push_back(field);
  return fields;
}
