#include "keys/key_functions.h"

#include "app/platform/desktop_launch.h"
#include "util/text.h"

namespace brumkey {

bool IsRemapKind(int t) { return t == kFnDisabled || t == kFnKey || t == kFnExtendedKey; }
bool IsFunctionKind(int t) { return t == kFnMacro || t == kFnShortcut; }

int TipLabelString(int type) {
  switch (type) {
    case kFnDisabled: return 202;
    case kFnKey:
    case kFnExtendedKey: return 205;
    case kFnMacro: return 206;
    case kFnMouse: return 207;
    case kFnMedia: return 208;
    case kFnShortcut: return 209;
    case kFnRunProgram: return 210;
    case kFnOpenWebsite: return 211;
    case kFnTypeText: return 212;
    default: return 0;
  }
}

void KeyFunctionModel::MarkKey(const KeyFunction& kf) {
  view_.SetKeyCheck(kf.key_code, true);
  view_.Redraw();
  const int label = TipLabelString(kf.macro_type);
  if (label != 0) view_.SetTip(kf.key_code, label, kf.macro_type == kFnDisabled ? L"" : kf.macro_desc);
}

int KeyFunctionModel::Assign(KeyFunction kf) {
  kf.profile = profile_;
  kf.key_code = selected_;
  kf.fn_layer = fnLayer_;
  const int rc = store_.SaveKeyFunction(kf);
  if (rc < 1) {
    view_.SetTip(selected_, 0, L"");
    view_.SetKeyCheck(selected_, false);
    view_.Deselect();
    view_.Redraw();
    view_.SelectPickerItem(0, 0, 0);
  } else {
    MarkKey(kf);
    if (kf.macro_type == kFnKey || kf.macro_type == kFnExtendedKey)
      view_.SelectPickerItem(kf.macro_value, kf.macro_value2, kf.macro_value3);
  }
  view_.RequestKeyMapSend(selected_);
  return rc;
}

int KeyFunctionModel::CountRemapKeys(int exceptKey) {
  std::vector<KeyFunction> rows;
  store_.LoadKeyFunctions(profile_, fnLayer_, rows);
  int n = 0;
  for (const KeyFunction& k : rows)
    if (IsRemapKind(k.macro_type) && k.key_code != exceptKey) ++n;
  return n;
}

int KeyFunctionModel::CountFunctionKeys(int exceptKey) {
  std::vector<KeyFunction> rows;
  store_.LoadKeyFunctions(profile_, fnLayer_, rows);
  int n = 0;
  for (const KeyFunction& k : rows)
    if (IsFunctionKind(k.macro_type) && k.key_code != exceptKey) ++n;
  return n;
}

bool KeyFunctionModel::AssignPicked(const PickerItem* item) {
  if (selected_ == kNotRemappableKey) {
    view_.ShowMessage(kMsgNotRemappableCaption, kMsgNotRemappableText);
    return false;
  }
  if (CountRemapKeys() >= kMaxRemapKeys) {
    view_.ShowMessage(kMsgRemapLimitCaption, kMsgRemapLimitText);
    return false;
  }
  if (!item) return false;
  KeyFunction kf;
  kf.macro_type = item->code < kExtendedKeyCodeStart ? kFnKey : kFnExtendedKey;
  kf.macro_value = item->code;
  kf.macro_value2 = item->value2;
  kf.macro_value3 = item->value3;
  kf.macro_desc = item->text;
  return Assign(kf) > 0;
}

void KeyFunctionModel::RestoreKey() { Assign(KeyFunction{}); }

void KeyFunctionModel::DisableKey() {
  KeyFunction kf;
  kf.macro_type = kFnDisabled;
  kf.macro_value = 1;
  kf.macro_desc = view_.LangString(kStringDisabled);
  Assign(kf);
  view_.SelectPickerItem(0, 0, 0);
  // The key stays disabled; the message only tells the limit is reached.
  if (CountRemapKeys() >= kMaxRemapKeys)
    view_.ShowMessage(kMsgRemapLimitCaption, kMsgRemapLimitText);
}

bool KeyFunctionModel::CanChooseMacroOrShortcut() {
  if (CountFunctionKeys() > kMaxFunctionKeys - 1) {
    view_.ShowMessage(kMsgFunctionLimitCaption, kMsgFunctionLimitText);
    return false;
  }
  return true;
}

void KeyFunctionModel::ShowKeyFunctions() {
  view_.SelectPickerItem(0, 0, 0);
  view_.ResetAllChecks();
  std::vector<KeyFunction> rows;
  store_.LoadKeyFunctions(profile_, fnLayer_, rows);
  for (const KeyFunction& kf : rows) MarkKey(kf);
}

bool KeyFunctionModel::SelectKeyInView(int keyCode) {
  view_.SelectPickerItem(0, 0, 0);
  selected_ = keyCode;
  if (keyCode == 0) return false;
  if (keyCode == kNotRemappableKey) {
    view_.Deselect();
    view_.ShowMessage(kMsgNotRemappableCaption, kMsgNotRemappableText);
    return false;
  }
  KeyFunction kf;
  if (store_.GetKeyFunction(profile_, fnLayer_, keyCode, kf) && kf.macro_type == kFnKey)
    view_.SelectPickerItem(kf.macro_value, kf.macro_value2, kf.macro_value3);
  return true;
}

std::wstring WebActionAddress(const std::wstring& text) {
  if (text.empty() || text.find(L"www.") != std::wstring::npos ||
      text.find(L"://") != std::wstring::npos)
    return text;
  return L"www." + text;
}

bool RunKeyAction(ProfileStore& store, KeyActionHost& host, int id) {
  std::wstring desc, param;
  int type = 0;
  store.GetKeyOtherData(id, desc, param, type);
  switch (type) {
    case kFnRunProgram:
      if (param.empty()) return false;
      host.StartProgram(param);
      return true;
    case kFnOpenWebsite: {
      const std::wstring address = WebActionAddress(desc);
      if (address.empty()) return false;
      host.OpenDocument(address);
      return true;
    }
    case kFnTypeText:
      if (desc.empty()) return false;
      host.TypeText(desc);
      return true;
    case kFnSwitchProfile: {
      const int profile = ParseDecimal(param);
      std::wstring name;
      // A profile that is gone (deleted, or from another machine) is skipped.
      if (profile <= 0 || !store.GetProfileName(profile, name)) return false;
      host.SwitchProfile(profile);
      return true;
    }
    default: return false;
  }
}

}  // namespace brumkey

namespace brumkey {

void DesktopKeyActionHost::OpenDocument(const std::wstring& target) {
  os::OpenWithDesktop(WideToUtf8(target));
}

void DesktopKeyActionHost::StartProgram(const std::wstring& path) {
  os::StartDetached(WideToUtf8(path));
}

}  // namespace brumkey
